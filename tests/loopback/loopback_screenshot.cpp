// Renders the loopback window with a virtual joystick's buttons held and a mock base as the
// output, for the README. Run it under umockdev-wrapper (tools/screenshot-loopback.sh).
#include "mockbase.h"
#include "virtualstick.h"

#include "loopbacklibraries.h"
#include "mainwindow.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>

#include <memory>

static bool waitFor(const std::function<bool()> &condition)
{
    QDeadlineTimer deadline(5000);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
        return 2;
    }
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    qputenv("SDL_VIDEODRIVER", "dummy");
    qputenv("SDL_AUDIODRIVER", "dummy");
    QApplication::setAttribute(Qt::AA_DisableHighDpiScaling);
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tavik"));
    QApplication::setApplicationName(QStringLiteral("BrontelLoopback"));

    UMockdevTestbed *testbed = umockdev_testbed_new();
    if (!umockdev_in_mock_environment()) {
        fprintf(stderr, "run this under umockdev-wrapper\n");
        return 1;
    }
    auto base = std::make_unique<MockHidDevice>(
        testbed, 0, QStringLiteral("Brontel FFB Base"), QStringLiteral("5E7A01C3"));
    int status = 1;
    {
        LoopbackLibraries libraries;
        VirtualStick stick(QStringLiteral("Virtual Flight Stick"), 24, 1);
        QSettings().setValue(QStringLiteral("savedInput"), MainWindow::guidText(stick.guid()));
        QSettings().setValue(QStringLiteral("savedOutput"), base->serial());
        MainWindow window;
        window.show();
        const int pressed[] = {0, 3, 4, 10, 17, 22};
        for (int button : pressed) {
            stick.setButton(button, true);
            // The library samples the state: let it see each change before the next.
            waitFor([&] {
                return window.buttonIndicators().value(button)
                    && window.buttonIndicators().value(button)->isChecked();
            });
        }
        if (window.buttonIndicators().size() == 24 && window.buttonIndicators().at(22)->isChecked()
            && window.isOutputOpen()) {
            QCoreApplication::processEvents();
            if (window.grab().save(QString::fromLocal8Bit(argv[1])))
                status = 0;
        } else {
            fprintf(stderr, "the window did not reach the expected state\n");
        }
    }
    base.reset();
    g_object_unref(testbed);
    return status;
}
