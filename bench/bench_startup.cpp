// Start-up time: from exec to the first window shown, median of RUNS starts of
// tavik-configurator --startup-probe (under the platform in QT_QPA_PLATFORM), beside the same
// measure for an empty Qt window (this program started with --baseline).
//   bench_startup PATH-TO-TAVIK-CONFIGURATOR [RUNS]

#include "benchsupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstring>

namespace {

class FirstPaint : public QWidget
{
protected:
    bool event(QEvent *e) override
    {
        if (e->type() == QEvent::Paint && !m_done) {
            m_done = true;
            std::printf("startup: window shown\n");
            std::fflush(stdout);
            QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        }
        return QWidget::event(e);
    }

private:
    bool m_done = false;
};

// Wall milliseconds from start() until the program printed its probe line; -1 on failure.
double timeToProbe(const QString &program, const QStringList &arguments, const QString &home)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("*=false"));
    process.setProcessEnvironment(environment);
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    double shownMs = -1;
    QByteArray out;
    while (process.state() != QProcess::NotRunning || process.bytesAvailable()) {
        process.waitForReadyRead(20);
        out += process.readAllStandardOutput();
        if (shownMs < 0 && out.contains("startup: window shown"))
            shownMs = double(timer.nsecsElapsed()) / 1e6;
        if (timer.elapsed() > 60000)
            break;
    }
    process.waitForFinished(10000);
    return shownMs;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc > 1 && std::strcmp(argv[1], "--baseline") == 0) {
        QApplication app(argc, argv);
        FirstPaint window;
        window.resize(800, 600);
        window.show();
        return app.exec();
    }
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_startup PATH-TO-TAVIK-CONFIGURATOR [RUNS]\n");
        return 2;
    }
    const QString configurator = QString::fromLocal8Bit(argv[1]);
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
    QTemporaryDir home;
    std::vector<double> program, baseline;
    for (int i = 0; i < runs; ++i) {
        // Alternate, so that both see the same load.
        program.push_back(timeToProbe(configurator,
            {QStringLiteral("--startup-probe"), QStringLiteral("--port"), home.filePath("none")},
            home.path()));
        baseline.push_back(timeToProbe(
            QCoreApplication::applicationFilePath(), {QStringLiteral("--baseline")}, home.path()));
    }
    const double p = bench::median(program), b = bench::median(baseline);
    std::printf("start-up to first window, median of %d: %.0f ms (empty Qt window: %.0f ms, "
                "ratio %.2f)\n",
        runs, p, b, b > 0 ? p / b : 0.0);
    return *std::min_element(program.begin(), program.end()) < 0 ? 1 : 0;
}
