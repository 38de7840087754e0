#pragma once
// The link layer's prompts as widgets: the device chooser dialog and the modal "Error" box.
// Installs itself while it exists.

#include "linkprompts.h"

class WidgetLinkPrompts : public LinkPrompts
{
public:
    // Object name of the warning boxes raised for a received configuration.
    static constexpr const char *kErrorBoxName = "tavik_config_error_box";

    WidgetLinkPrompts();
    ~WidgetLinkPrompts() override;
    WidgetLinkPrompts(const WidgetLinkPrompts &) = delete;
    WidgetLinkPrompts &operator=(const WidgetLinkPrompts &) = delete;

    bool chooseDevice(const QStringList &texts, int *row) override;
    void showConfigError(const QString &text, bool richText) override;

private:
    LinkPrompts *m_previous;
};
