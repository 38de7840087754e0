#include "loopbackapp.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

int main(int argc, char **argv)
{
#ifdef Q_OS_WIN
    SetProcessDPIAware();
#endif
    return LoopbackApp::run(argc, argv, QStringLiteral(TAVIK_PACKAGE_VERSION));
}
