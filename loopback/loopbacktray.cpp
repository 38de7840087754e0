#include "loopbacktray.h"
#include "loopbacklog.h"
#include "mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QDebug>
#include <QMenu>
#include <QMessageBox>
#include <QSettings>

static const char kNotifiedTray[] = "notified_tray";

LoopbackTray::LoopbackTray(MainWindow *window, bool trayAvailable, QObject *parent)
    : QObject(parent)
    , m_window(window)
    , m_menu(std::make_unique<QMenu>())
{
    const QIcon icon(QStringLiteral(":/icon.svg"));
    m_window->setWindowIcon(icon);
    m_exitAction = m_menu->addAction(tr("Exit"));
    m_exitAction->setObjectName(QStringLiteral("action_exit"));
    connect(m_exitAction, &QAction::triggered, qApp, &QCoreApplication::quit);

    if (!trayAvailable) {
        qCWarning(lcLoopback) << "no system tray: the window stays and closing it quits";
        m_window->setRunInBackground(false);
        QApplication::setQuitOnLastWindowClosed(true);
        return;
    }

    m_trayIcon = std::make_unique<QSystemTrayIcon>(icon);
    m_trayIcon->setToolTip(tr("Brontel Input Loopback"));
    m_trayIcon->setContextMenu(m_menu.get());
    connect(m_trayIcon.get(), &QSystemTrayIcon::activated, this, &LoopbackTray::onActivated);
    m_trayIcon->setVisible(true);
    m_trayIcon->showMessage(tr("Brontel Input Loopback"), tr("is running in the background"),
        QSystemTrayIcon::Information, 10000);
    m_window->setRunInBackground(true);
    connect(m_window, &MainWindow::onClosed, this, &LoopbackTray::showCloseNotice);
}

LoopbackTray::~LoopbackTray()
{
    // The icon refers to the menu; let it go first.
    m_trayIcon.reset();
}

void LoopbackTray::onActivated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::DoubleClick)
        toggleWindow();
}

void LoopbackTray::toggleWindow()
{
    if (m_window->isHidden()) {
        m_window->show();
        m_window->raise();
        m_window->activateWindow();
    } else {
        m_window->hide();
    }
}

void LoopbackTray::showCloseNotice()
{
    qDebug() << "close";
    QSettings settings;
    if (settings.value(kNotifiedTray, false).toBool())
        return;
    QMessageBox box(QMessageBox::Information, tr("Running in background"),
        tr("Brontel Input Loopback will now run in the background"), QMessageBox::Ok, m_window);
    box.setObjectName(QStringLiteral("box_running_in_background"));
    box.exec();
    settings.setValue(kNotifiedTray, true);
}
