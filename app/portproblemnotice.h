#pragma once
// Says in the window's status bar, once, why a base that is present cannot be used (the
// device node denies access, or another program holds the port) and what fixes it; the
// link's log line stays. Cleared when the port opens.

#include "serialportmanager.h"

#include <QObject>
#include <QPointer>
#include <QString>

class QStatusBar;

class PortProblemNotice : public QObject
{
    Q_OBJECT

public:
    PortProblemNotice(SerialPortManager *manager, QStatusBar *statusBar, QObject *parent = nullptr);

    static QString text(const QString &location, SerialPortManager::OpenProblem problem);

private:
    void show(const QString &location, SerialPortManager::OpenProblem problem);
    void onConnectedChanged(bool connected);

    QPointer<QStatusBar> m_statusBar;
    QString m_shown;
};
