#include "startup.h"

#include "applog.h"
#include "configuratorresources.h"
#include "deviceconfig.h"
#include "proxystyle.h"

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QSettings>
#include <QTimer>
#include <QWidget>

#include <clocale>
#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace Startup {

void setIdentity()
{
    QApplication::setApplicationName(QString::fromLatin1(kApplication));
    QApplication::setOrganizationName(QString::fromLatin1(kOrganisation));
}

void configureApplication()
{
    // The application takes ownership of the style.
    QApplication::setStyle(new ProxyStyle);

    initConfiguratorResources();
    if (QFontDatabase::addApplicationFont(QStringLiteral(":/NotoSansSymbols.ttf")) < 0)
        qCWarning(lcApp) << "Symbol font not available; hat and status glyphs may be missing";

    registerConfigMetaTypes();

    // Numbers formatted by the C library (the data log) always use a decimal point.
    std::setlocale(LC_NUMERIC, "C");

    QSettings().setValue(QStringLiteral("path"), QCoreApplication::applicationFilePath());
}

Options parseOptions(const QStringList &arguments, const QString &portFromEnvironment)
{
    Options options;
    options.port = portFromEnvironment;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (i + 1 < arguments.size() && argument == QLatin1String("--port"))
            options.port = arguments.at(++i);
        else if (i + 1 < arguments.size() && argument == QLatin1String("--screenshot"))
            options.screenshot = arguments.at(++i);
        else if (argument == QLatin1String("--startup-probe"))
            options.startupProbe = true;
        else if (argument == QLatin1String("--scope"))
            options.scope = true;
        else if (i + 1 < arguments.size() && argument == QLatin1String("--tab"))
            options.tab = arguments.at(++i);
    }
    return options;
}

namespace {

// Milliseconds since this process started, from the kernel's record of its start.
qint64 msSinceProcessStart()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    // Field 22 (start time in clock ticks since boot) follows the parenthesised command name.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 20)
        return -1;
    const qint64 startTicks = fields.at(19).toLongLong();
    timespec now {};
    clock_gettime(CLOCK_BOOTTIME, &now);
    const qint64 nowMs = qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
    return nowMs - startTicks * 1000 / sysconf(_SC_CLK_TCK);
}

class FirstPaintProbe : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !m_reported) {
            m_reported = true;
            std::printf("startup: window shown after %lld ms\n", qlonglong(msSinceProcessStart()));
            std::fflush(stdout);
            QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_reported = false;
};

} // namespace

void probeFirstShow(QWidget *window)
{
    window->installEventFilter(new FirstPaintProbe(window));
}

bool displayAvailable()
{
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

} // namespace Startup
