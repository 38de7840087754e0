#include "applog.h"
#include "datapacket.h"
#include "deviceconfig.h"
#include "effectlistmodel.h"
#include "headlesscmdlineprocessor.h"
#include "mainwindow.h"
#include "startup.h"
#include "tavikcomm.h"

#include <QApplication>
#include <QMessageBox>
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

} // namespace

int main(int argc, char **argv)
{
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QApplication app(argc, argv);
    Startup::setIdentity();

    // The process-wide objects, in this order; the classes that need them get pointers.
    DataPacket dataPacket;
    DeviceConfig deviceConfig;
    EffectListModel effectList;
    HeadlessCmdLineProcessor headless(&deviceConfig);
    TavikComm comm(&deviceConfig, &dataPacket, &effectList);

    Startup::configureApplication();
    // Expires effects the base no longer reports.
    effectList.startExpiryTimer();

    // The USB bus is searched only when an option asks for headless work (the processor
    // prepares libusb itself then).
    if (HeadlessCmdLineProcessor::wantsHeadless(argc, argv)) {
        try {
            if (headless.process(argc, argv))
                return headless.exitCode();
        } catch (const QString &message) {
            QTextStream(stderr) << message << (message.endsWith(QLatin1Char('\n')) ? "" : "\n");
            if (Startup::displayAvailable())
                QMessageBox::critical(nullptr, QStringLiteral("Commandline Processing Error"),
                    message, QMessageBox::Ok);
            return 1;
        }
    }

    const Startup::Options options
        = Startup::parseOptions(app.arguments(), qEnvironmentVariable("TAVIK_PORT"));
    if (!options.port.isEmpty())
        comm.setPortOverride(options.port);

    MainWindow window(&deviceConfig, &comm, &dataPacket, &effectList);
    if (!options.screenshot.isEmpty())
        arrangeScreenshot(&window, &comm, options.screenshot);
    window.show();
    // The first port check runs at once and may show the device chooser; rejecting it
    // queues the end of the program, which exec() then carries out with status 0.
    comm.start();
    return app.exec();
}
