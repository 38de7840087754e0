#pragma once

#include <QObject>
#include <QSystemTrayIcon>

#include <memory>

class MainWindow;
class QAction;
class QMenu;

// The tray icon and its menu, the double click that shows or hides the window, and the
// one-time notice that closing the window keeps the program running. Without a system tray
// the window stays the way in and out of the program.
class LoopbackTray : public QObject
{
    Q_OBJECT

public:
    LoopbackTray(MainWindow *window, bool trayAvailable, QObject *parent = nullptr);
    ~LoopbackTray() override;

    bool trayAvailable() const { return m_trayIcon != nullptr; }
    QSystemTrayIcon *trayIcon() const { return m_trayIcon.get(); }
    QAction *exitAction() const { return m_exitAction; }

public Q_SLOTS:
    void toggleWindow();
    void showCloseNotice();

private Q_SLOTS:
    void onActivated(QSystemTrayIcon::ActivationReason reason);

private:
    MainWindow *m_window;
    std::unique_ptr<QMenu> m_menu;
    std::unique_ptr<QSystemTrayIcon> m_trayIcon;
    QAction *m_exitAction = nullptr;
};
