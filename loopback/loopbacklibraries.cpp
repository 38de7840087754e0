#include "loopbacklibraries.h"
#include "loopbacklog.h"
#include "mainwindow.h"

#include <SDL.h>
#include <hidapi/hidapi.h>

#include <QMetaType>

LoopbackLibraries::LoopbackLibraries()
{
    // The tool forwards input while another program has the focus.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    // SIGTERM and SIGINT are the program's (TerminationSignals): the library's own handlers
    // would only queue a quit event nobody reads, and the program would ignore the signal.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    m_sdl = SDL_Init(SDL_INIT_JOYSTICK) == 0;
    if (m_sdl)
        SDL_JoystickEventState(SDL_ENABLE);
    else
        qCWarning(lcLoopback) << "SDL_Init failed:" << SDL_GetError();
    qRegisterMetaType<SDL_Event>("SDL_Event");
    m_hid = hid_init() == 0;
    if (!m_hid)
        qCWarning(lcLoopback) << "hid_init failed";
}

LoopbackLibraries::~LoopbackLibraries()
{
    if (m_hid)
        hid_exit();
    if (m_sdl)
        SDL_Quit();
}
