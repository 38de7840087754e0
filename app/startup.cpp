#include "startup.h"

#include "applog.h"
#include "configfile.h"
#include "configuratorresources.h"
#include "deviceconfig.h"
#include "headlesscmdlineprocessor.h"
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

namespace {

bool hasArgument(const QStringList &arguments, const char *name)
{
    // The program name is not an option.
    return arguments.indexOf(QLatin1String(name), 1) > 0;
}

} // namespace

const RoadRule kRoadRules[] = {
    {Road::Help, false,
        [](const QStringList &a) { return hasArgument(a, "--help") || hasArgument(a, "-h"); }},
    {Road::Version, false, [](const QStringList &a) { return hasArgument(a, "--version"); }},
    {Road::CommandLine, false,
        [](const QStringList &a) {
            return HeadlessCmdLineProcessor::parseArguments(a).wantsHeadless();
        }},
    {Road::Window, true, [](const QStringList &) { return true; }},
};
const std::size_t kRoadRuleCount = sizeof kRoadRules / sizeof kRoadRules[0];

QStringList arguments(int argc, char **argv)
{
    QStringList list;
    for (int i = 0; argv && i < argc; ++i)
        list.append(argv[i] ? QString::fromLocal8Bit(argv[i]) : QString());
    return list;
}

const RoadRule &chooseRoad(const QStringList &arguments)
{
    for (std::size_t i = 0; i + 1 < kRoadRuleCount; ++i)
        if (kRoadRules[i].chosenBy(arguments))
            return kRoadRules[i];
    return kRoadRules[kRoadRuleCount - 1];
}

QString usageText()
{
    return QStringLiteral(
        "Usage: tavik-configurator [--port PATH] [--screenshot FILE]\n"
        "       tavik-configurator [-serial NUMBER] -config FILE\n"
        "       tavik-configurator [-serial NUMBER] -revert\n"
        "Configures and monitors the Brontel force-feedback base.\n"
        "\n"
        "Without -config or -revert the window opens (it needs a display):\n"
        "  --port PATH        open this serial device instead of looking for the base\n"
        "                     (also the environment variable TAVIK_PORT)\n"
        "  --screenshot FILE  save a picture of the window once the base's configuration\n"
        "                     has arrived, then quit\n"
        "\n"
        "Command line (no window, no display needed; talks to the base over USB):\n"
        "  -config FILE       apply the .tavconf file FILE to the base's active configuration\n"
        "  -revert            make the base return to its stored configuration\n"
        "                     (ignored together with -config)\n"
        "  -serial NUMBER     use the base with this USB serial number (default: the first)\n"
        "These three are matched exactly; -config and -serial take the next argument.\n"
        "Exit status 0 when the action was carried out, 1 on any failure (message on\n"
        "standard error).\n"
        "\n"
        "  --help             show this text\n"
        "  --version          show the version\n");
}

QString versionText(const QString &packageVersion)
{
    return QStringLiteral("tavik-configurator %1 (tavik %2)\n")
        .arg(QLatin1String(kConfiguratorVersion), packageVersion);
}

void setIdentity()
{
    QApplication::setApplicationName(QString::fromLatin1(kApplication));
    QApplication::setOrganizationName(QString::fromLatin1(kOrganisation));
}

void configureApplication()
{
    initConfiguratorResources();
    if (qobject_cast<QApplication *>(QCoreApplication::instance())) {
        // The application takes ownership of the style.
        QApplication::setStyle(new ProxyStyle);
        if (QFontDatabase::addApplicationFont(QStringLiteral(":/NotoSansSymbols.ttf")) < 0)
            qCWarning(lcApp) << "Symbol font not available; hat and status glyphs may be missing";
    }

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
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return false;
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

} // namespace Startup
