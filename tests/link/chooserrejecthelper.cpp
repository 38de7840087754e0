// A minimal program around the serial port manager, started by the discovery test: it rejects
// the device chooser and reports how the program ended.

#include "devicechooserdialog.h"
#include "serialportmanager.h"
#include "widgetlinkprompts.h"

#include <QApplication>
#include <QTextStream>
#include <QTimer>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("TavikTest"));
    QCoreApplication::setApplicationName(QStringLiteral("chooserrejecthelper"));
    const bool startInLoop = app.arguments().value(1) == QLatin1String("in-exec");

    QTextStream out(stdout);
    WidgetLinkPrompts prompts;
    SerialPortManager manager;
    QTimer reject;
    reject.setInterval(10);
    QObject::connect(&reject, &QTimer::timeout, [&out] {
        const auto widgets = QApplication::topLevelWidgets();
        for (QWidget *widget : widgets) {
            auto *dialog = qobject_cast<DeviceChooserDialog *>(widget);
            if (dialog && dialog->isVisible()) {
                out << "chooser rejected" << Qt::endl;
                dialog->reject();
            }
        }
    });
    reject.start();
    // Keeps a broken quit from hanging the test.
    QTimer::singleShot(20000, [] { QCoreApplication::exit(3); });

    if (startInLoop)
        QTimer::singleShot(0, &manager, &SerialPortManager::start);
    else
        manager.start();
    const int status = app.exec();
    out << "event loop returned " << status << Qt::endl;
    return status;
}
