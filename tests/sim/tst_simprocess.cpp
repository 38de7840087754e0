// tavik-sim as a separate process: the endpoint connects through its --link, and SIGTERM
// ends it cleanly.

#include "datapacket.h"
#include "deviceconfig.h"
#include "effectlistmodel.h"
#include "tavikcomm.h"

#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <memory>

namespace {

QString simBinary()
{
    const QString fromBuild
        = qEnvironmentVariable("TAVIK_BUILD_DIR") + QStringLiteral("/sim/tavik-sim");
    if (QFileInfo::exists(fromBuild))
        return fromBuild;
    return QStringLiteral(TAVIK_SIM_BINARY);
}

// Starts the simulator and waits for the slave path on its first line.
bool startSim(QProcess &process, const QStringList &arguments, QString *slave)
{
    process.setProgram(simBinary());
    process.setArguments(arguments);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start();
    if (!process.waitForStarted(5000))
        return false;
    QElapsedTimer t;
    t.start();
    while (!process.canReadLine() && t.elapsed() < 5000)
        process.waitForReadyRead(100);
    if (!process.canReadLine())
        return false;
    *slave = QString::fromLocal8Bit(process.readLine()).trimmed();
    return !slave->isEmpty();
}

bool terminate(QProcess &process)
{
    ::kill(pid_t(process.processId()), SIGTERM);
    return process.waitForFinished(5000) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
}

} // namespace

class TestSimProcess : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void endpointAgainstTheProcess();
    void badArguments_data();
    void badArguments();
};

void TestSimProcess::endpointAgainstTheProcess()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString link = dir.filePath(QStringLiteral("tavik"));
    const QString flash = dir.filePath(QStringLiteral("flash.bin"));
    const QStringList args {QStringLiteral("--link"), link, QStringLiteral("--rate"),
        QStringLiteral("200"), QStringLiteral("--seed"), QStringLiteral("3"),
        QStringLiteral("--flash"), flash};

    QProcess sim;
    QString slave;
    QVERIFY2(startSim(sim, args, &slave), qPrintable(sim.readAllStandardError()));
    QVERIFY(slave.startsWith(QStringLiteral("/dev/")));
    QCOMPARE(QFileInfo(link).symLinkTarget(), slave);

    {
        DataPacket data;
        DeviceConfig config;
        EffectListModel effects;
        TavikComm comm(&config, &data, &effects);
        QSignalSpy received(&comm, &TavikComm::configReceived);
        QSignalSpy packets(&comm, &TavikComm::dataPacketReceived);
        comm.setPortOverride(link);
        comm.start();
        QTRY_VERIFY(comm.isConnected());
        QTRY_COMPARE(received.count(), 1);
        QTRY_VERIFY(!config.firmware().isEmpty());
        QTRY_VERIFY(packets.count() > 10);
        QCOMPARE(config.master_gain(), uint8_t(100));
        config.set_master_gain(44);
        QVERIFY(comm.storeConfig());
        QTest::qWait(200);
    }
    QVERIFY(terminate(sim));
    QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());

    // A new run starts from the stored configuration in the flash file.
    QProcess again;
    QVERIFY(startSim(again, args, &slave));
    {
        DataPacket data;
        DeviceConfig config;
        EffectListModel effects;
        TavikComm comm(&config, &data, &effects);
        QSignalSpy received(&comm, &TavikComm::configReceived);
        comm.setPortOverride(link);
        comm.start();
        QTRY_COMPARE(received.count(), 1);
        QCOMPARE(config.master_gain(), uint8_t(44));
    }
    ::kill(pid_t(again.processId()), SIGINT);
    QVERIFY(again.waitForFinished(5000));
    QCOMPARE(again.exitCode(), 0);
}

void TestSimProcess::badArguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("rate not a number")
        << QStringList {QStringLiteral("--rate"), QStringLiteral("fast")};
    QTest::newRow("rate too high")
        << QStringList {QStringLiteral("--rate"), QStringLiteral("5000")};
    QTest::newRow("seed") << QStringList {QStringLiteral("--seed"), QStringLiteral("-1")};
}

void TestSimProcess::badArguments()
{
    QFETCH(QStringList, args);
    QProcess sim;
    sim.start(simBinary(), args);
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitCode(), 2);
    QCOMPARE(sim.readAllStandardOutput(), QByteArray());
}

QTEST_MAIN(TestSimProcess)
#include "tst_simprocess.moc"
