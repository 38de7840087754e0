#include "startup.h"

#include "applog.h"
#include "configuratorresources.h"
#include "deviceconfig.h"
#include "proxystyle.h"

#include <QApplication>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QSettings>

#include <clocale>

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
        else if (i + 1 < arguments.size() && argument == QLatin1String("--tab"))
            options.tab = arguments.at(++i);
    }
    return options;
}

bool displayAvailable()
{
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

} // namespace Startup
