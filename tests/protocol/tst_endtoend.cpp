// The protocol endpoint (through QSerialPort) against the simulated base, both in this
// process, over a real pseudo-terminal.

#include "configimage.h"
#include "datapacket.h"
#include "deviceconfig.h"
#include "effectlistmodel.h"
#include "protocoltesting.h"
#include "simulatedbase.h"
#include "tavikcomm.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using namespace testing;

class TestEndToEnd : public QObject, protected EndpointFixture
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void connectFetchesConfigAndFirmware();
    void storeKeepsTheChange();
    void resetConfigRestoresDefaults();
    void storedConfigMarksDifferences();
    void samplesFromTheBase();
    void calibrationFitMatchesTheModel();
    void wrongVersionFromTheBase();
    void effectsAppear();
    void spiRegisterFile();
    void motorResetWalksTheStates();
    void fanAndCrashLog();

private:
    QVector<QByteArray> receivedTypes(std::initializer_list<int> types) const;

    std::unique_ptr<SimulatedBase> m_sim;
    std::unique_ptr<TavikComm> m_comm;
    std::unique_ptr<QSignalSpy> m_text;
};

void TestEndToEnd::init()
{
    QVERIFY(makeObjects());
    m_sim = std::make_unique<SimulatedBase>(m_dir->filePath(QStringLiteral("flash.bin")));
    m_sim->setSeed(7);
    m_sim->setTelemetryRate(200);
    QVERIFY(m_sim->open());
    m_comm = std::make_unique<TavikComm>(m_config.get(), m_data.get(), m_effects.get());
    m_comm->setSampleFileName(m_dir->filePath(QStringLiteral("samples.csv")));
    m_text = std::make_unique<QSignalSpy>(m_comm.get(), &TavikComm::textDataReceived);
    QSignalSpy received(m_comm.get(), &TavikComm::configReceived);
    m_comm->setPortOverride(m_sim->slavePath());
    m_comm->start();
    QTRY_VERIFY(m_comm->isConnected());
    QTRY_COMPARE(received.count(), 1);
    QTRY_VERIFY(!m_config->firmware().isEmpty());
}

void TestEndToEnd::cleanup()
{
    m_text.reset();
    m_comm.reset();
    m_sim.reset();
    dropObjects();
}

QVector<QByteArray> TestEndToEnd::receivedTypes(std::initializer_list<int> types) const
{
    QVector<QByteArray> out;
    for (const QByteArray &p : m_sim->receivedPayloads())
        if (std::find(types.begin(), types.end(), uint8_t(p[0])) != types.end())
            out << p;
    return out;
}

void TestEndToEnd::connectFetchesConfigAndFirmware()
{
    // Exactly 03 then 0C on connection.
    QCOMPARE(m_sim->receivedPayloads().mid(0, 2), (QVector<QByteArray> {hex("03"), hex("0c")}));
    QCOMPARE(m_config->firmware(), m_sim->model().firmwareVersion());
    QCOMPARE(buildConfigImage(*m_config), m_sim->model().activeImage());
    QCOMPARE(m_config->master_gain(), uint8_t(100));
    QCOMPARE(m_config->config_name().toString(), QStringLiteral("Factory default"));
    QVERIFY(!m_config->parametersModified());

    // The connection notice and the base's greeting, then live telemetry.
    QTRY_VERIFY(m_text->count() >= 2);
    QStringList texts;
    for (const QList<QVariant> &args : std::as_const(*m_text))
        texts << args.at(0).toString();
    QVERIFY(texts.contains(QStringLiteral("* USB Connected\n")));
    QVERIFY(texts.filter(QStringLiteral("Brontel FFB base (simulated)")).size() == 1);
    QSignalSpy packets(m_comm.get(), &TavikComm::dataPacketReceived);
    QTRY_VERIFY(packets.count() >= 5);
    QCOMPARE(m_data->mot_fault(), uint8_t(0));
    QVERIFY(m_data->Vbus() > 2000);
}

void TestEndToEnd::storeKeepsTheChange()
{
    m_config->set_master_gain(63);
    QVERIFY(m_comm->storeConfig());
    QTRY_COMPARE(uint8_t(m_sim->model().storedImage()[17]), uint8_t(63));
    QCOMPARE(m_sim->model().activeImage(), buildConfigImage(*m_config));
    const QVector<QByteArray> sent = receivedTypes({2, 9});
    QCOMPARE(sent.size(), 2);
    QCOMPARE(sent[0].size(), 464);
    QCOMPARE(sent[1], hex("09"));
    // Kept in the flash file across runs.
    FirmwareModel later(m_dir->filePath(QStringLiteral("flash.bin")));
    QCOMPARE(uint8_t(later.storedImage()[17]), uint8_t(63));
    QCOMPARE(uint8_t(later.activeImage()[17]), uint8_t(63));
}

void TestEndToEnd::resetConfigRestoresDefaults()
{
    m_config->set_master_gain(20);
    QVERIFY(m_comm->sendConfig());
    QTRY_COMPARE(uint8_t(m_sim->model().activeImage()[17]), uint8_t(20));
    m_sim->clearReceivedPayloads();
    QSignalSpy received(m_comm.get(), &TavikComm::configReceived);
    QVERIFY(m_comm->resetConfig());
    QTRY_COMPARE(received.count(), 1);
    QCOMPARE(
        m_sim->receivedPayloads(), (QVector<QByteArray> {hex("0eaabb"), hex("03"), hex("0c")}));
    QCOMPARE(m_config->master_gain(), uint8_t(100));
    QCOMPARE(buildConfigImage(*m_config), FirmwareModel::defaultImage());
    QVERIFY(!m_config->parametersModified());
}

void TestEndToEnd::storedConfigMarksDifferences()
{
    m_config->set_master_gain(30);
    QVERIFY(m_comm->sendConfig()); // active only; the stored image keeps 100
    QTRY_COMPARE(uint8_t(m_sim->model().activeImage()[17]), uint8_t(30));
    QSignalSpy received(m_comm.get(), &TavikComm::configReceived);
    QVERIFY(m_comm->getStoredConfig());
    QTRY_COMPARE(received.count(), 1);
    QCOMPARE(m_config->master_gain(), uint8_t(100));
    QVERIFY(m_config->parametersModified()); // differs from what the base runs
    QCOMPARE(receivedTypes({19, 12}).mid(receivedTypes({19, 12}).size() - 2),
        (QVector<QByteArray> {hex("13"), hex("0c")}));
}

void TestEndToEnd::samplesFromTheBase()
{
    // Start just before the 16-bit time stamp wraps.
    m_sim->model().setElapsedMs(65300);
    m_comm->startSampling();
    QTRY_VERIFY(m_sim->model().sampling());
    QTRY_VERIFY_WITH_TIMEOUT(m_sim->model().elapsedMs() > 65536 + 100, 5000);
    m_comm->stopSampling();
    QTRY_VERIFY(!m_sim->model().sampling());
    QTest::qWait(50); // samples still on the way are ignored once the file is closed

    QFile file(m_comm->sampleFileName());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QVERIFY(lines.size() > 100);
    QVERIFY(lines.last().isEmpty()); // every line ends with CR LF
    const QRegularExpression format(QStringLiteral(
        "^(\\d+),x=-?\\d+,y=-?\\d+,dx=-?\\d+,dy=-?\\d+,d2x=-?\\d+,d2y=-?\\d+,fx=-?\\d+,fy=-?\\d+,"
        "-?\\d+\\.\\d\\d,-?\\d+\\.\\d\\d,-?\\d+\\.\\d\\d\\d\\r$"));
    qint64 previous = -1;
    bool sawWrap = false;
    for (int i = 0; i + 1 < lines.size(); ++i) {
        const QRegularExpressionMatch m = format.match(QString::fromLatin1(lines[i]));
        QVERIFY2(m.hasMatch(), lines[i].constData());
        const qint64 stamp = m.captured(1).toLongLong();
        // One sample per millisecond of the base's clock (a heavily loaded host may make the
        // simulator skip time, never go back), extended past 65535 instead of wrapping to 0.
        if (previous >= 0)
            QVERIFY2(stamp > previous && stamp < previous + 1000, lines[i].constData());
        if (previous >= 0 && previous <= 65535 && stamp > 65535)
            sawWrap = true;
        previous = stamp;
    }
    QVERIFY(sawWrap);
}

void TestEndToEnd::calibrationFitMatchesTheModel()
{
    m_text->clear();
    m_comm->setCalibrationTimeScale(0.05);
    m_comm->startAutoCalibration();
    QStringList lines;
    for (const QList<QVariant> &args : std::as_const(*m_text))
        lines << args.at(0).toString();
    lines = lines.filter(QRegularExpression(QStringLiteral("^(-?\\d+,-?\\d+\\n|fit: )")));
    QCOMPARE(lines.size(), 24);

    const double expected[2]
        = {m_sim->model().calibrationSlope(1), m_sim->model().calibrationSlope(0)};
    QCOMPARE(expected[0], -2048.0); // the default spring, full master gain
    for (int axis = 0; axis < 2; ++axis) { // Y first, then X
        for (int i = 0; i < 11; ++i) {
            const QStringList pair = lines[axis * 12 + i].trimmed().split(QLatin1Char(','));
            QCOMPARE(pair[0].toInt(), -2500 + 500 * i); // the stick stood at each set-point
        }
        const QRegularExpression fit(QStringLiteral("^fit: y = (-?[\\d.]+)x\\+(-?[\\d.]+)\\n$"));
        const QRegularExpressionMatch m = fit.match(lines[axis * 12 + 11]);
        QVERIFY2(m.hasMatch(), qPrintable(lines[axis * 12 + 11]));
        QVERIFY2(qAbs(m.captured(1).toDouble() - expected[axis]) < 2.0, qPrintable(m.captured(0)));
        QVERIFY(qAbs(m.captured(2).toDouble()) < 2.0);
    }
    // The last set-point stays.
    const QVector<QByteArray> points = receivedTypes({20});
    QCOMPARE(points.size(), 24);
    QCOMPARE(points.last(), hex("14c4090000"));
}

void TestEndToEnd::wrongVersionFromTheBase()
{
    QSignalSpy refused(m_comm.get(), &TavikComm::configRefused);
    QByteArray image = m_sim->model().activeImage();
    image[0] = char(0xB6);
    image[17] = char(1);
    QTest::ignoreMessage(QtDebugMsg, "Wrong configuration version B6, expected B5");
    m_sim->sendPayload(hex("03") + image);
    QTRY_COMPARE(refused.count(), 1);
    QTRY_COMPARE(m_boxes->boxes.size(), 1);
    QVERIFY(m_boxes->boxes[0].startsWith(
        QStringLiteral("Error|Wrong firmware configuration version 182")));
    m_boxes->boxes.clear();
    QCOMPARE(m_config->master_gain(), uint8_t(100));
    QVERIFY(!m_comm->isConfigCompatible());
    m_sim->clearReceivedPayloads();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Not sending the configuration"));
    QVERIFY(!m_comm->storeConfig());
    QTest::qWait(50);
    QCOMPARE(receivedTypes({2, 9}).size(), 0);
    QVERIFY(m_comm->isConnected());

    QSignalSpy received(m_comm.get(), &TavikComm::configReceived);
    m_comm->getConfig();
    QTRY_COMPARE(received.count(), 1);
    QVERIFY(m_comm->isConfigCompatible());
}

void TestEndToEnd::effectsAppear()
{
    QSignalSpy centre(m_effects.get(), &EffectListModel::centerPositionChanged);
    QTRY_VERIFY_WITH_TIMEOUT(m_effects->rowCount() >= 1, 5000);
    QTRY_VERIFY(centre.count() >= 2);
    QCOMPARE(m_effects->data(m_effects->index(0), EffectListModel::EffectNameRole).toString(),
        QStringLiteral("Spring"));
}

void TestEndToEnd::spiRegisterFile()
{
    QCOMPARE(m_comm->spiWrite(hex("10a1b2c3"), 2).toHex(), QByteArray("110400"));
    QCOMPARE(m_comm->spiRead(3, 3).toHex(), QByteArray("12a1b2c3"));
    QCOMPARE(m_sim->model().spiRegister(0x11), uint8_t(0xB2));
    // A text command, answered by the next read with its length first.
    m_comm->spiTransfer(17, QByteArray("$R12"));
    const QByteArray reply = m_comm->spiRead(16, 3);
    QCOMPARE(reply.size(), 17);
    QVERIFY(uint8_t(reply[1]) > 0);
    QVERIFY(reply.mid(2, uint8_t(reply[1])).startsWith("W12="));
}

void TestEndToEnd::motorResetWalksTheStates()
{
    QList<int> states;
    connect(
        m_data.get(), &DataPacket::mot_faultChanged, this, [&states](uint8_t v) { states << v; });
    m_comm->resetMotors();
    QTRY_VERIFY_WITH_TIMEOUT(states.size() >= 3, 3000);
    QCOMPARE(states.mid(0, 3), (QList<int> {0xFF, 0x55, 0x00}));
    QCOMPARE(m_sim->model().receivedCount(21), 1);
}

void TestEndToEnd::fanAndCrashLog()
{
    m_text->clear();
    m_comm->setFanPower(true);
    QTRY_VERIFY(m_sim->model().fanOn());
    m_comm->sendPacket(hex("0f"));
    m_comm->sendPacket(hex("10"));
    m_comm->sendPacket(hex("0f"));
    QTRY_VERIFY(m_sim->model().receivedCount(15) == 2);
    QStringList texts;
    QTRY_VERIFY([&] {
        texts.clear();
        for (const QList<QVariant> &args : std::as_const(*m_text))
            texts << args.at(0).toString();
        return texts.contains(QStringLiteral("Crash log empty\n"));
    }());
    QCOMPARE(texts.first(), QStringLiteral("Fan on\n"));
    QVERIFY(texts.filter(QStringLiteral("crash 1:")).size() == 1);
    QVERIFY(texts.contains(QStringLiteral("Crash log erased\n")));
    QVERIFY(m_sim->model().crashLog().isEmpty());
}

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
