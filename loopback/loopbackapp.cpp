#include "loopbackapp.h"

#include "displayprobe.h"
#include "loopbacklibraries.h"
#include "loopbacklog.h"
#include "loopbacktray.h"
#include "mainwindow.h"
#include "terminationsignals.h"

#include <QApplication>
#include <QSystemTrayIcon>
#include <QTextStream>

#include <cstring>

namespace LoopbackApp {

namespace {

bool hasArgument(int argc, char **argv, const char *name)
{
    for (int i = 1; argv && i < argc; ++i)
        if (argv[i] && std::strcmp(argv[i], name) == 0)
            return true;
    return false;
}

} // namespace

QString usageText()
{
    return QStringLiteral(
        "Usage: tavik-loopback\n"
        "Forwards the buttons and hats of another joystick to the Brontel base, from the\n"
        "system tray. The joystick and the base are chosen in the window and remembered.\n"
        "Ends through the tray menu's Exit, or on SIGTERM, SIGINT or SIGHUP; either way the\n"
        "base is sent a report with every button released first.\n"
        "\n"
        "  --help     show this text\n"
        "  --version  show the version\n");
}

QString versionText(const QString &packageVersion)
{
    return QStringLiteral("tavik-loopback v0.2 (tavik %1)\n").arg(packageVersion);
}

int run(int argc, char **argv, const QString &packageVersion)
{
    if (hasArgument(argc, argv, "--help") || hasArgument(argc, argv, "-h")) {
        QTextStream(stdout) << usageText();
        return 0;
    }
    if (hasArgument(argc, argv, "--version")) {
        QTextStream(stdout) << versionText(packageVersion);
        return 0;
    }
    // A widget application without a display aborts inside Qt; say why instead.
    if (DisplayProbe::detect(argc, argv) == DisplayProbe::Display::None) {
        QTextStream(stderr) << "tavik-loopback: no display available (DISPLAY, WAYLAND_DISPLAY "
                               "and QT_QPA_PLATFORM name no display that can be reached)\n";
        return 1;
    }

    QApplication::setAttribute(Qt::AA_DisableHighDpiScaling);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("BrontelLoopback"));
    QApplication::setOrganizationName(QStringLiteral("Tavik"));
    QApplication::setQuitOnLastWindowClosed(false);

    LoopbackLibraries libraries;
    // After the libraries, whose set-up may install handlers of its own.
    TerminationSignals terminationSignals;
    MainWindow window;
    LoopbackTray tray(&window, QSystemTrayIcon::isSystemTrayAvailable());
    QObject::connect(&terminationSignals, &TerminationSignals::received, &window, [&window] {
        // Nothing may stay pressed on the base once the program is gone.
        window.sendNeutralReport();
        QCoreApplication::exit(0);
    });
    window.show();
    return app.exec();
}

} // namespace LoopbackApp
