#pragma once
// Tells, before any GUI application object exists, whether Qt's platform set-up would find a
// display. Creating a QApplication without one aborts the process, so the programs ask first
// and take a road that needs none (or end with a clear message).

namespace DisplayProbe {

enum class Display {
    None, // the platform set-up would fail: no reachable X or Wayland server
    Virtual, // a platform without a screen anyone sees (offscreen, minimal)
    Real, // a display a user can see and answer
};

// Looks at the "-platform NAME" argument, QT_QPA_PLATFORM, DISPLAY and WAYLAND_DISPLAY,
// and tries to reach the named server's socket.
Display detect(int argc, char **argv);

} // namespace DisplayProbe
