#include "portproblemnotice.h"

#include <QStatusBar>

PortProblemNotice::PortProblemNotice(
    SerialPortManager *manager, QStatusBar *statusBar, QObject *parent)
    : QObject(parent)
    , m_statusBar(statusBar)
{
    connect(manager, &SerialPortManager::portUnavailable, this, &PortProblemNotice::show);
    connect(manager, &SerialPortManager::connectedChanged, this,
        &PortProblemNotice::onConnectedChanged);
}

QString PortProblemNotice::text(const QString &location, SerialPortManager::OpenProblem problem)
{
    switch (problem) {
    case SerialPortManager::OpenProblem::AccessDenied:
        return QStringLiteral("Base found at %1, but access is denied: install the udev rules "
                              "(70-tavik-base.rules), then re-plug the base")
            .arg(location);
    case SerialPortManager::OpenProblem::Busy:
        return QStringLiteral("Base found at %1, but another program holds the port: close "
                              "that program (ModemManager: install the udev rules, re-plug)")
            .arg(location);
    case SerialPortManager::OpenProblem::Other:
        break;
    }
    return QString();
}

void PortProblemNotice::show(const QString &location, SerialPortManager::OpenProblem problem)
{
    const QString message = text(location, problem);
    if (message.isEmpty() || !m_statusBar)
        return;
    m_shown = message;
    // No timeout: the fix needs the user; the message goes when the port opens.
    m_statusBar->showMessage(message);
}

void PortProblemNotice::onConnectedChanged(bool connected)
{
    if (!connected || m_shown.isEmpty() || !m_statusBar)
        return;
    if (m_statusBar->currentMessage() == m_shown)
        m_statusBar->clearMessage();
    m_shown.clear();
}
