#include "scopewindow.h"

#include "scopepanel.h"

#include <QVBoxLayout>

ScopeWindow::ScopeWindow(TelemetryRecorder *recorder, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_panel(new ScopePanel(recorder, this))
{
    setObjectName(QStringLiteral("scope_window"));
    setWindowTitle(tr("Scope"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_panel);
}
