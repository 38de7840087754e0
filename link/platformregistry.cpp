#include "platformregistry.h"

#include "settingsregistry.h"
#include "windowsregistry.h"

PlatformRegistry::~PlatformRegistry() = default;

std::unique_ptr<PlatformRegistry> PlatformRegistry::create()
{
#ifdef Q_OS_WIN
    return std::make_unique<WindowsRegistry>();
#else
    return std::make_unique<SettingsRegistry>();
#endif
}
