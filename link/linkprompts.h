#pragma once
// What the link layer asks of the person at the screen: to pick one of several bases, and to
// take note that a received configuration was refused. The link itself has no widgets; the
// application installs an implementation (WidgetLinkPrompts in app/). Without one the link
// picks no base and reports errors in its log only, as a tool or benchmark needs.

#include <QString>
#include <QStringList>

class LinkPrompts
{
public:
    virtual ~LinkPrompts() = default;

    // One text per base. False when the user declined to choose; otherwise row receives the
    // chosen index (-1 when none was current). May run a nested event loop (a modal dialog).
    virtual bool chooseDevice(const QStringList &texts, int *row) = 0;
    // The modal warning titled "Error" for a received configuration.
    virtual void showConfigError(const QString &text, bool richText) = 0;

    // The installed prompts, or null.
    static LinkPrompts *instance() { return s_instance; }
    static void setInstance(LinkPrompts *prompts) { s_instance = prompts; }

private:
    static inline LinkPrompts *s_instance = nullptr;
};
