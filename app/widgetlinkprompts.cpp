#include "widgetlinkprompts.h"

#include "devicechooserdialog.h"

#include <QDialog>
#include <QMessageBox>
#include <QStringListModel>

WidgetLinkPrompts::WidgetLinkPrompts()
    : m_previous(LinkPrompts::instance())
{
    LinkPrompts::setInstance(this);
}

WidgetLinkPrompts::~WidgetLinkPrompts()
{
    if (LinkPrompts::instance() == this)
        LinkPrompts::setInstance(m_previous);
}

bool WidgetLinkPrompts::chooseDevice(const QStringList &texts, int *row)
{
    QStringListModel model(texts);
    DeviceChooserDialog dialog;
    dialog.setModel(&model);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    *row = dialog.currentRow();
    return true;
}

void WidgetLinkPrompts::showConfigError(const QString &text, bool richText)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Error"), text);
    box.setObjectName(QLatin1String(kErrorBoxName));
    box.setTextFormat(richText ? Qt::RichText : Qt::PlainText);
    if (richText)
        box.setTextInteractionFlags(Qt::TextBrowserInteraction);
    box.exec();
}
