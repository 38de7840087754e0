#include "applog.h"
#include "datapacket.h"
#include "deviceconfig.h"
#include "displayprobe.h"
#include "effectlistmodel.h"
#include "headlesscmdlineprocessor.h"
#include "mainwindow.h"
#include "startup.h"
#include "tavikcomm.h"
#include "terminationsignals.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QTabWidget>
#include <QTextStream>
#include <QTimer>

#include <memory>

namespace {

// Time the window gets to show the received values before its picture is taken.
constexpr int kScreenshotSettleMs = 1500;
constexpr int kScreenshotTimeoutMs = 30000;

// --screenshot FILE: saves a picture of the window once a configuration has arrived, then
// quits (status 0; 2 when no configuration arrived or the file could not be written).
void arrangeScreenshot(MainWindow *window, TavikComm *comm, const QString &file)
{
    auto taken = std::make_shared<bool>(false);
    QObject::connect(comm, &TavikComm::configReceived, window, [window, file, taken] {
        if (*taken)
            return;
        *taken = true;
        QTimer::singleShot(kScreenshotSettleMs, window, [window, file] {
            const bool saved = window->grab().save(file);
            if (saved)
                qCInfo(lcApp).noquote() << "Screenshot saved to" << file;
            else
                qCWarning(lcApp).noquote() << "Cannot write the screenshot" << file;
            // Closing the window ends the program the usual way, settings saved.
            if (saved)
                window->close();
            else
                QCoreApplication::exit(2);
        });
    });
    QTimer::singleShot(kScreenshotTimeoutMs, window, [taken] {
        if (*taken)
            return;
        qCWarning(lcApp) << "No configuration received; no screenshot taken";
        QCoreApplication::exit(2);
    });
}

// -config FILE / -revert. Runs under a core application, so that it works over SSH, from
// cron or a service; the message box is added only when someone can see it.
int runCommandLine(int argc, char **argv, bool displayReal)
{
    std::unique_ptr<QCoreApplication> app;
    if (displayReal) {
        QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
        app = std::make_unique<QApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    Startup::setIdentity();

    DataPacket dataPacket;
    DeviceConfig deviceConfig;
    EffectListModel effectList;
    HeadlessCmdLineProcessor headless(&deviceConfig);
    Startup::configureApplication();

    try {
        if (headless.process(argc, argv))
            return headless.exitCode();
        // Unreachable: this road is chosen only when an option asks for an action.
        QTextStream(stderr) << "tavik-configurator: nothing to do\n";
        return 1;
    } catch (const QString &message) {
        QTextStream(stderr) << message << (message.endsWith(QLatin1Char('\n')) ? "" : "\n");
        if (Startup::displayAvailable())
            QMessageBox::critical(
                nullptr, QStringLiteral("Commandline Processing Error"), message, QMessageBox::Ok);
        return 1;
    }
}

int runWindow(int argc, char **argv)
{
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QApplication app(argc, argv);
    Startup::setIdentity();

    // The process-wide objects, in this order; the classes that need them get pointers.
    DataPacket dataPacket;
    DeviceConfig deviceConfig;
    EffectListModel effectList;
    TavikComm comm(&deviceConfig, &dataPacket, &effectList);

    Startup::configureApplication();
    // Expires effects the base no longer reports.
    effectList.startExpiryTimer();

    const Startup::Options options
        = Startup::parseOptions(app.arguments(), qEnvironmentVariable("TAVIK_PORT"));
    if (!options.port.isEmpty())
        comm.setPortOverride(options.port);

    MainWindow window(&deviceConfig, &comm, &dataPacket, &effectList);
    if (!options.tab.isEmpty()) {
        // The tab pages are named tab_effects, tab_settings, tab_debug and tab_mapping.
        auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("tabWidget"));
        auto *page = window.findChild<QWidget *>(QStringLiteral("tab_") + options.tab);
        if (tabs && page && tabs->indexOf(page) >= 0)
            tabs->setCurrentWidget(page);
        else
            qCWarning(lcApp).noquote() << "No tab" << options.tab;
    }
    if (!options.screenshot.isEmpty())
        arrangeScreenshot(&window, &comm, options.screenshot);
    if (options.startupProbe)
        Startup::probeFirstShow(&window);

    // A logout or `systemctl stop` cannot answer the close question: keep the window's
    // settings and end; edits never applied stay unapplied, as they would on the base.
    TerminationSignals terminationSignals;
    bool terminated = false;
    QObject::connect(
        &terminationSignals, &TerminationSignals::received, &window, [&window, &terminated] {
            if (window.hasUnappliedChanges())
                qCWarning(lcApp) << "Ending on a signal: changes never applied to the base are "
                                    "discarded";
            window.saveWindowSettings();
            terminated = true;
            QCoreApplication::exit(0);
        });

    window.show();
    if (options.scope)
        window.showScope();
    // The first port check runs at once and may show the device chooser; rejecting it
    // queues the end of the program, which exec() then carries out with status 0.
    comm.start();
    // A signal taken in the chooser's loop ended that loop; exec() would forget it.
    if (terminated)
        return 0;
    return app.exec();
}

} // namespace

int main(int argc, char **argv)
{
    const QStringList arguments = Startup::arguments(argc, argv);
    const Startup::RoadRule &road = Startup::chooseRoad(arguments);
    switch (road.road) {
    case Startup::Road::Help:
        QTextStream(stdout) << Startup::usageText();
        return 0;
    case Startup::Road::Version:
        QTextStream(stdout) << Startup::versionText(QStringLiteral(TAVIK_PACKAGE_VERSION));
        return 0;
    default:
        break;
    }

    // Decided before any application object exists: a widget application without a display
    // aborts the process inside Qt.
    const DisplayProbe::Display display = DisplayProbe::detect(argc, argv);
    if (road.needsDisplay && display == DisplayProbe::Display::None) {
        QTextStream(stderr)
            << "tavik-configurator: no display available, so the window cannot open "
               "(DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM name no display that can be "
               "reached). From a script use -config FILE or -revert; see --help.\n";
        return 1;
    }
    if (road.road == Startup::Road::CommandLine)
        return runCommandLine(argc, argv, display == DisplayProbe::Display::Real);
    return runWindow(argc, argv);
}
