// tavik-loopback's own start (LoopbackApp::run) as a process of its own, with a virtual
// joystick whose button 0 is held, chosen and forwarded to the base named on the command
// line. The virtual joystick exists only inside this process, hence this program.
//   loopback_signal_helper SERIAL

#include "loopbackapp.h"
#include "mainwindow.h"
#include "virtualstick.h"

#include <SDL.h>

#include <QSettings>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s SERIAL\n", argv[0]);
        return 2;
    }
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    if (SDL_Init(SDL_INIT_JOYSTICK) != 0) {
        std::fprintf(stderr, "SDL_Init: %s\n", SDL_GetError());
        return 2;
    }
    // Lives until the process ends: the program's own clean-up shuts the library down, after
    // which the stick could not be detached any more.
    auto *stick = new VirtualStick(QStringLiteral("Held Stick"), 8, 1);
    if (!stick->isValid())
        return 2;
    stick->setButton(0, true);

    // The choices a user made earlier, so the program reopens both by itself.
    {
        QSettings settings(QStringLiteral("Tavik"), QStringLiteral("BrontelLoopback"));
        settings.setValue(QStringLiteral("savedInput"), MainWindow::guidText(stick->guid()));
        settings.setValue(QStringLiteral("savedOutput"), QString::fromLocal8Bit(argv[1]));
    }
    // The serial number is not one of the program's arguments.
    char *programArgs[] = {argv[0], nullptr};
    return LoopbackApp::run(1, programArgs, QStringLiteral("test"));
}
