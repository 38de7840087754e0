// tavik-sim: a simulated base on a pseudo-terminal. Prints the slave path as the first line
// of standard output; --link also points a symbolic link at it.

#include "simulatedbase.h"
#include "terminationsignals.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

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

    // SIGTERM, SIGINT and SIGHUP end the loop, so the link and the flash file are cleaned up.
    TerminationSignals terminationSignals;
    if (!terminationSignals.isActive()) {
        std::fprintf(stderr, "tavik-sim: cannot install the signal handlers\n");
        return 1;
    }
    QObject::connect(
        &terminationSignals, &TerminationSignals::received, &app, [] { QCoreApplication::quit(); });

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
