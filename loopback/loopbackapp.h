#pragma once
// The whole of tavik-loopback's start, shared by the program and the tests that run it as a
// process of its own.

#include <QString>

namespace LoopbackApp {

QString usageText();
QString versionText(const QString &packageVersion);

// Returns the exit status: 0 after "Exit" or a termination signal, 1 without a display.
int run(int argc, char **argv, const QString &packageVersion);

} // namespace LoopbackApp
