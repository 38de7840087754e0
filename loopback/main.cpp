#include "loopbacklibraries.h"
#include "loopbacktray.h"
#include "mainwindow.h"

#include <QApplication>
#include <QSystemTrayIcon>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

int main(int argc, char **argv)
{
#ifdef Q_OS_WIN
    SetProcessDPIAware();
#endif
    QApplication::setAttribute(Qt::AA_DisableHighDpiScaling);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("BrontelLoopback"));
    QApplication::setOrganizationName(QStringLiteral("Tavik"));
    QApplication::setQuitOnLastWindowClosed(false);

    LoopbackLibraries libraries;
    MainWindow window;
    LoopbackTray tray(&window, QSystemTrayIcon::isSystemTrayAvailable());
    window.show();
    return app.exec();
}
