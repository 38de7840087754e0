#pragma once
// Application-wide set-up of the configurator, shared by the program and its tests.

#include <QString>
#include <QStringList>

class QWidget;

namespace Startup {

constexpr const char *kOrganisation = "Tavik";
constexpr const char *kApplication = "BrontelFFB";

// Options of the windowed start (the headless options are the command-line processor's).
struct Options
{
    QString port; // --port PATH, else the environment variable TAVIK_PORT
    QString screenshot; // --screenshot FILE: save a picture of the window and quit
    bool startupProbe = false; // --startup-probe: report when the window first shows, then quit
    bool scope = false; // --scope: open the Scope window at start
    QString tab; // --tab NAME: effects, settings, debug or mapping shown first
};

// Sets the identity; call right after the application object exists.
void setIdentity();
// Style, symbol font, type aliases, numeric locale and the "path" settings key.
void configureApplication();
Options parseOptions(const QStringList &arguments, const QString &portFromEnvironment);
// Prints "startup: window shown after N ms" (since the process started) on standard output once
// window has painted for the first time, then ends the program with status 0.
void probeFirstShow(QWidget *window);
// False under the offscreen and minimal platforms, where no one could answer a message box.
bool displayAvailable();

} // namespace Startup
