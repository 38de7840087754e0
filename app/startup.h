#pragma once
// Application-wide set-up of the configurator, shared by the program and its tests.

#include <QString>
#include <QStringList>

#include <cstddef>
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

// The roads a start can take. They are decided from the arguments alone, before any
// application object exists, because only the window road needs a display.
enum class Road {
    Help, // --help: usage text on standard output, status 0
    Version, // --version
    CommandLine, // -config FILE or -revert: USB only, messages on standard error
    Window,
};

struct RoadRule
{
    Road road;
    bool needsDisplay;
    // True when the arguments (program name first) ask for this road.
    bool (*chosenBy)(const QStringList &arguments);
};

// Checked in order, the first rule that matches is taken; the last (the window) always
// matches. A new road is one more row.
extern const RoadRule kRoadRules[];
extern const std::size_t kRoadRuleCount;

// The arguments as main() received them, in the local 8-bit encoding.
QStringList arguments(int argc, char **argv);
const RoadRule &chooseRoad(const QStringList &arguments);
// The text --help prints.
QString usageText();
// The text --version prints.
QString versionText(const QString &packageVersion);

// Sets the identity; call right after the application object exists.
void setIdentity();
// Style and symbol font (only under a widget application: the command-line road runs under a
// core application), type aliases, numeric locale and the "path" settings key.
void configureApplication();
Options parseOptions(const QStringList &arguments, const QString &portFromEnvironment);
// Prints "startup: window shown after N ms" (since the process started) on standard output once
// window has painted for the first time, then ends the program with status 0.
void probeFirstShow(QWidget *window);
// False under the offscreen and minimal platforms, where no one could answer a message box.
bool displayAvailable();

} // namespace Startup
