// tavik-sim: a simulated base on a pseudo-terminal. Prints the slave path as the first line
// of standard output; --link also points a symbolic link at it.

#include "simulatedbase.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

int s_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    // Only async-signal-safe work here: wake the event loop.
    const ssize_t ignored = ::write(s_signalPipe[1], &byte, 1);
    (void)ignored;
}

bool installSignalHandlers()
{
    if (::pipe(s_signalPipe) != 0)
        return false;
    for (int fd : s_signalPipe)
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    struct sigaction sa
    {
    };
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    return sigaction(SIGINT, &sa, nullptr) == 0 && sigaction(SIGTERM, &sa, nullptr) == 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tavik-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION_STRING));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Simulated Brontel base on a pseudo-terminal."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption linkOption(QStringLiteral("link"),
        QStringLiteral("Also make a symbolic link to the port at <path>."), QStringLiteral("path"));
    const QCommandLineOption rateOption(QStringLiteral("rate"),
        QStringLiteral("Telemetry messages per second (0-1000, default 1000)."),
        QStringLiteral("hz"), QStringLiteral("1000"));
    const QCommandLineOption seedOption(QStringLiteral("seed"),
        QStringLiteral("Seed of the simulated motion (default 1)."), QStringLiteral("n"),
        QStringLiteral("1"));
    const QCommandLineOption flashOption(QStringLiteral("flash"),
        QStringLiteral("Keep the stored configuration in <file>."), QStringLiteral("file"));
    parser.addOption(linkOption);
    parser.addOption(rateOption);
    parser.addOption(seedOption);
    parser.addOption(flashOption);
    parser.process(app);

    bool ok = false;
    const int rate = parser.value(rateOption).toInt(&ok);
    if (!ok || rate < 0 || rate > 1000) {
        std::fprintf(stderr, "tavik-sim: --rate must be a number from 0 to 1000\n");
        return 2;
    }
    const quint32 seed = parser.value(seedOption).toUInt(&ok);
    if (!ok) {
        std::fprintf(stderr, "tavik-sim: --seed must be an unsigned number\n");
        return 2;
    }

    if (!installSignalHandlers()) {
        std::fprintf(stderr, "tavik-sim: cannot install the signal handlers\n");
        return 1;
    }
    QSocketNotifier signalNotifier(s_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [] {
        char buf[16];
        while (::read(s_signalPipe[0], buf, sizeof buf) > 0) { }
        QCoreApplication::quit();
    });

    SimulatedBase base(parser.value(flashOption));
    base.setSeed(seed);
    base.setTelemetryRate(rate);
    QString slave;
    if (!base.open(&slave)) {
        std::fprintf(stderr, "tavik-sim: cannot create the pseudo-terminal\n");
        return 1;
    }
    if (parser.isSet(linkOption) && !base.setLink(parser.value(linkOption))) {
        std::fprintf(
            stderr, "tavik-sim: cannot create the link %s\n", qPrintable(parser.value(linkOption)));
        return 1;
    }
    std::printf("%s\n", qPrintable(slave));
    std::fflush(stdout);

    const int rc = app.exec();
    base.close();
    return rc;
}
