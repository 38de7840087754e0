#pragma once
// Application-wide set-up of the configurator, shared by the program and its tests.

#include <QString>
#include <QStringList>

namespace Startup {

constexpr const char *kOrganisation = "Tavik";
constexpr const char *kApplication = "BrontelFFB";

// Options of the windowed start (the headless options are the command-line processor's).
struct Options
{
    QString port; // --port PATH, else the environment variable TAVIK_PORT
    QString screenshot; // --screenshot FILE: save a picture of the window and quit
    QString tab; // --tab NAME: the tab (object name, e.g. tab_effects) shown at start
};

// Sets the identity; call right after the application object exists.
void setIdentity();
// Style, symbol font, type aliases, numeric locale and the "path" settings key.
void configureApplication();
Options parseOptions(const QStringList &arguments, const QString &portFromEnvironment);
// False under the offscreen and minimal platforms, where no one could answer a message box.
bool displayAvailable();

} // namespace Startup
