#pragma once

// Initialises the joystick library (joystick events on) and the HID library for the life of
// the object, and registers SDL_Event for queued connections. Build one after QApplication
// and before the window; destroy it after the window.
class LoopbackLibraries
{
public:
    LoopbackLibraries();
    ~LoopbackLibraries();
    LoopbackLibraries(const LoopbackLibraries &) = delete;
    LoopbackLibraries &operator=(const LoopbackLibraries &) = delete;

    bool joysticksAvailable() const { return m_sdl; }
    bool hidAvailable() const { return m_hid; }

private:
    bool m_sdl = false;
    bool m_hid = false;
};
