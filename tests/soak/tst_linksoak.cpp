// The endpoint against tavik-sim streaming at 1 kHz while the link is lost again and again:
// the simulator ended cleanly (its pty closed, a new one at the same link path) or killed
// outright, then restarted. Configurations are applied, and sometimes stored, in between.
// After every reconnection the configuration the endpoint read must be the simulator's (it
// starts from its flash file), and the endpoint must not hold more files open than before.
//
// TAVIK_SOAK_LOSSES (default 20) or TAVIK_SOAK_SECONDS (tools/soak.sh: the long form) set the
// length. Figures go to the log as "soak:" lines: reconnection times, resident memory and open
// descriptors; tools/soak.sh judges them.

#include "configimage.h"
#include "datapacket.h"
#include "deviceconfig.h"
#include "effectlistmodel.h"
#include "firmwaremodel.h"
#include "tavikcomm.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <csignal>
#include <unistd.h>

namespace {

// Generous bounds for a loaded machine; the figures that matter are printed.
constexpr int kWaitMs = 20000;

QString simBinary()
{
    const QString fromBuild
        = qEnvironmentVariable("TAVIK_BUILD_DIR") + QStringLiteral("/sim/tavik-sim");
    if (QFileInfo::exists(fromBuild))
        return fromBuild;
    return QStringLiteral(TAVIK_SIM_BINARY);
}

int openDescriptors()
{
    return int(QDir(QStringLiteral("/proc/self/fd"))
                   .entryList(QDir::NoDotAndDotDot | QDir::System)
                   .size());
}

qint64 residentKiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * (sysconf(_SC_PAGESIZE) / 1024) : -1;
}

// The record a configuration image decodes to, as an image again: equal records give equal
// images.
QByteArray canonical(const QByteArray &image)
{
    DeviceConfig config;
    if (applyConfigImage(
            config, reinterpret_cast<const uint8_t *>(image.constData()), size_t(image.size()))
        != ImageCheck::Ok)
        return QByteArray("not a configuration image");
    return buildConfigImage(config);
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestLinkSoak : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void lossesAndReconnections();

private:
    bool startSim();
    void stopSim(bool kill);

    QTemporaryDir m_dir;
    QString m_link;
    QString m_flash;
    QProcess m_sim;
};

void TestLinkSoak::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_link = m_dir.filePath(QStringLiteral("tavik"));
    m_flash = m_dir.filePath(QStringLiteral("flash.bin"));
    registerConfigMetaTypes();
    // Thousands of commands and connections: keep the debug lines out of the log.
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
}

void TestLinkSoak::cleanup()
{
    if (m_sim.state() != QProcess::NotRunning)
        stopSim(true);
}

bool TestLinkSoak::startSim()
{
    m_sim.setProgram(simBinary());
    m_sim.setArguments({QStringLiteral("--link"), m_link, QStringLiteral("--rate"),
        QStringLiteral("1000"), QStringLiteral("--flash"), m_flash});
    m_sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("*.debug=false"));
    m_sim.setProcessEnvironment(environment);
    m_sim.start();
    if (!m_sim.waitForStarted(kWaitMs))
        return false;
    // The first line (the pty) is printed once the link points at it.
    QElapsedTimer t;
    t.start();
    while (!m_sim.canReadLine() && t.elapsed() < kWaitMs)
        m_sim.waitForReadyRead(50);
    return m_sim.canReadLine() && !m_sim.readLine().trimmed().isEmpty();
}

void TestLinkSoak::stopSim(bool kill)
{
    ::kill(pid_t(m_sim.processId()), kill ? SIGKILL : SIGTERM);
    m_sim.waitForFinished(kWaitMs);
}

void TestLinkSoak::lossesAndReconnections()
{
    const int seconds = qEnvironmentVariableIntValue("TAVIK_SOAK_SECONDS");
    const int losses = seconds > 0 ? INT_MAX
                                   : std::max(1,
                                       qEnvironmentVariableIsSet("TAVIK_SOAK_LOSSES")
                                           ? qEnvironmentVariableIntValue("TAVIK_SOAK_LOSSES")
                                           : 20);
    const quint32 seed = 18;
    QRandomGenerator random(seed);

    DataPacket data;
    DeviceConfig config;
    EffectListModel effects;
    TavikComm comm(&config, &data, &effects);
    QSignalSpy received(&comm, &TavikComm::configReceived);
    QSignalSpy texts(&comm, &TavikComm::textDataReceived);
    auto sawText = [&texts](const QString &line) {
        for (const QList<QVariant> &args : std::as_const(texts))
            if (args.at(0).toString() == line)
                return true;
        return false;
    };

    QVERIFY(startSim());
    comm.setPortOverride(m_link);
    comm.start();
    QTRY_VERIFY_WITH_TIMEOUT(received.count() >= 1, kWaitMs);
    // A first store, so that the simulator always restarts from a flash file.
    texts.clear();
    QVERIFY(comm.storeConfig());
    QTRY_VERIFY_WITH_TIMEOUT(sawText(QStringLiteral("Config stored\n")), kWaitMs);

    const int fdsAtStart = openDescriptors();
    // Memory is compared from after the first few reconnections on, when the caches that one
    // connection fills are in place.
    const int warmUp = seconds > 0 ? 5 : 0;
    qint64 rssAtStart = residentKiB();

    QVector<qint64> reconnectMs;
    QElapsedTimer total;
    total.start();
    int packetsSeen = 0;
    QObject::connect(&comm, &TavikComm::dataPacketReceived, [&packetsSeen] { ++packetsSeen; });
    for (int loss = 0; loss < losses; ++loss) {
        if (seconds > 0 && total.elapsed() > qint64(seconds) * 1000)
            break;
        if (loss == warmUp) {
            rssAtStart = residentKiB();
            qInfo("soak: seed %u, %d open descriptors, %lld KiB resident after %d losses", seed,
                fdsAtStart, rssAtStart, warmUp);
        }
        // Stream for a while, with a configuration applied (and sometimes stored) meanwhile.
        const int before = packetsSeen;
        config.set_master_gain(uint8_t(random.bounded(1, 101)));
        texts.clear();
        QVERIFY(comm.sendConfig());
        QTRY_VERIFY_WITH_TIMEOUT(sawText(QStringLiteral("Config applied\n")), kWaitMs);
        if (random.bounded(2) == 0) {
            texts.clear();
            QVERIFY(comm.storeConfig());
            QTRY_VERIFY_WITH_TIMEOUT(sawText(QStringLiteral("Config stored\n")), kWaitMs);
        }
        QTest::qWait(int(random.bounded(50, 400)));
        QVERIFY2(packetsSeen > before, "no telemetry between two losses");

        // Break the link; the endpoint notices.
        stopSim(random.bounded(2) == 0);
        QTRY_VERIFY_WITH_TIMEOUT(!comm.isConnected(), kWaitMs);
        QTest::qWait(int(random.bounded(0, 300)));

        // Restore it and wait for the configuration to be read again.
        received.clear();
        QVERIFY(startSim());
        QElapsedTimer reconnect;
        reconnect.start();
        QTRY_VERIFY_WITH_TIMEOUT(comm.isConnected() && received.count() >= 1, kWaitMs);
        reconnectMs.append(reconnect.elapsed());
        // The simulator started from its flash file: the endpoint now holds exactly that.
        const QByteArray flash = readFile(m_flash);
        QCOMPARE(flash.size(), kConfigImageSize);
        QCOMPARE(buildConfigImage(config), canonical(flash));
        QVERIFY(!config.parametersModified());
        // Nothing left open from the previous connection.
        QCOMPARE(openDescriptors(), fdsAtStart);
    }

    const qint64 rssAtEnd = residentKiB();
    QVector<qint64> sorted = reconnectMs;
    std::sort(sorted.begin(), sorted.end());
    const qint64 over
        = std::count_if(sorted.begin(), sorted.end(), [](qint64 ms) { return ms > 1100; });
    qInfo("soak: %d losses in %lld s, reconnection median %lld ms, max %lld ms, %lld over 1100 ms",
        int(sorted.size()), total.elapsed() / 1000,
        sorted.isEmpty() ? 0 : sorted[sorted.size() / 2], sorted.isEmpty() ? 0 : sorted.last(),
        over);
    qInfo("soak: %d open descriptors, %lld KiB resident at end (%+.1f %%)", openDescriptors(),
        rssAtEnd,
        rssAtStart > 0 ? 100.0 * double(rssAtEnd - rssAtStart) / double(rssAtStart) : 0.0);
    QVERIFY(!sorted.isEmpty());
    stopSim(false);
}

QTEST_GUILESS_MAIN(TestLinkSoak)
#include "tst_linksoak.moc"
