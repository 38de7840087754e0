// tavik-sim's own cost: CPU time over wall time of the simulator process with no host, with a
// host connected at --rate 0, and with a host reading a 1 kHz stream.
//   bench_sim PATH-TO-TAVIK-SIM [SECONDS]

#include "benchsupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

struct Result
{
    double cpuPercent = -1;
    qint64 bytesRead = 0;
};

Result measure(const QString &program, const QStringList &arguments, bool host, int seconds)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("*.debug=false"));
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    Result result;
    if (!process.waitForStarted(10000) || !process.waitForReadyRead(10000))
        return result;
    const QByteArray slave = process.readLine().trimmed();
    int fd = -1;
    if (host) {
        fd = ::open(slave.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0)
            return result;
    }
    // Let it settle (connection, first messages), then measure.
    QThread::msleep(500);
    const double cpuBefore = bench::cpuMs(process.processId());
    QElapsedTimer wall;
    wall.start();
    char buf[65536];
    while (wall.elapsed() < qint64(seconds) * 1000) {
        if (fd >= 0) {
            for (;;) {
                const ssize_t n = ::read(fd, buf, sizeof buf);
                if (n <= 0)
                    break;
                result.bytesRead += n;
            }
        }
        QThread::msleep(10);
    }
    const double cpuAfter = bench::cpuMs(process.processId());
    result.cpuPercent = 100.0 * (cpuAfter - cpuBefore) / double(wall.elapsed());
    if (fd >= 0)
        ::close(fd);
    process.terminate();
    process.waitForFinished(10000);
    return result;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "--wake-every") == 0) {
        // Baseline: an event loop that wakes as often as asked and does nothing else.
        QTimer timer;
        timer.start(argc > 2 ? std::atoi(argv[2]) : 20);
        std::printf("baseline\n");
        std::fflush(stdout);
        return app.exec();
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_sim PATH-TO-TAVIK-SIM [SECONDS]\n");
        return 2;
    }
    const QString sim = QString::fromLocal8Bit(argv[1]);
    const int seconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
    const QStringList atRest {QStringLiteral("--rate"), QStringLiteral("0")};
    const QString self = QCoreApplication::applicationFilePath();
    const Result idle = measure(sim, atRest, false, seconds);
    const Result rest = measure(sim, atRest, true, seconds);
    const Result streaming
        = measure(sim, {QStringLiteral("--rate"), QStringLiteral("1000")}, true, seconds);
    const Result wake20
        = measure(self, {QStringLiteral("--wake-every"), QStringLiteral("20")}, false, seconds);
    const Result wake1
        = measure(self, {QStringLiteral("--wake-every"), QStringLiteral("1")}, false, seconds);
    std::printf("sim, no host, --rate 0:          %6.2f %% of a core\n", idle.cpuPercent);
    std::printf("sim, host reading, --rate 0:     %6.2f %% of a core\n", rest.cpuPercent);
    std::printf("sim, host reading, --rate 1000:  %6.2f %% of a core (%.0f bytes/s read)\n",
        streaming.cpuPercent, double(streaming.bytesRead) / seconds);
    std::printf("baseline, empty Qt loop waking every 20 ms: %6.2f %%, every 1 ms: %6.2f %%\n",
        wake20.cpuPercent, wake1.cpuPercent);
    return idle.cpuPercent < 0 || rest.cpuPercent < 0 || streaming.cpuPercent < 0 ? 1 : 0;
}
