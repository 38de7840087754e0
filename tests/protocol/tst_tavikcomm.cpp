// The protocol endpoint against a raw pseudo-terminal: what it sends is decoded by the test's
// own frame codec and compared with fixed payloads; what it receives is written as frames
// or handed straight to its packet handler in exact-size buffers.

#include "configimage.h"
#include "datapacket.h"
#include "deviceconfig.h"
#include "effectlistmodel.h"
#include "protocoltesting.h"
#include "tavikcomm.h"

#include <QSignalSpy>
#include <QtTest>

#include <cstring>
#include <memory>

using namespace testing;

namespace {

class TestComm : public TavikComm
{
public:
    using TavikComm::TavikComm;
    // Delivers a payload from an exact-size heap buffer, so reads past it are caught.
    void inject(const QByteArray &payload)
    {
        std::unique_ptr<uint8_t[]> exact(new uint8_t[size_t(qMax(payload.size(), 1))]);
        std::memcpy(exact.get(), payload.constData(), size_t(payload.size()));
        handlePacket(exact.get(), payload.size());
    }
};

QByteArray le16(int v)
{
    QByteArray b(2, '\0');
    b[0] = char(v & 0xFF);
    b[1] = char((v >> 8) & 0xFF);
    return b;
}

QByteArray sample(int stamp, int fill = 0)
{
    QByteArray p(1, char(7));
    p += le16(stamp);
    for (int i = 0; i < 8; ++i)
        p += le16(fill ? fill + i : 0);
    return p;
}

QByteArray imageMessage(uint8_t type, const QByteArray &image)
{
    return QByteArray(1, char(type)) + image;
}

enum Command {
    GetConfig,
    GetStoredConfig,
    ResetConfig,
    FanOn,
    FanOff,
    ResetMotors,
    StartSampling,
    StopSampling,
    SendConfig,
    StoreConfig,
    CrashLogPrint,
};

} // namespace

class TestTavikComm : public QObject, protected EndpointFixture
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void connectRequestsConfigThenFirmware();
    void disconnectNotice();
    void commands_data();
    void commands();
    void deviceText();
    void firmwareVersion();
    void telemetryAndEffects();
    void activeAndStoredConfig();
    void badSizeIsRefused();
    void wrongVersionIsRefusedAndBlocksSending();
    void truncated_data();
    void truncated();
    void sampleLineFormat();
    void sampleTimeExtension();
    void sampleFileOpenFailure();
    void spiReadAndWrite();
    void spiWriteTooLongIsRefused();
    void spiTimeout();
    void calibrationSweepWithoutMotionReportsFailure();
    void fit_data();
    void fit();

private:
    void connectComm();

    std::unique_ptr<TestComm> m_comm;
    std::unique_ptr<RawPty> m_pty;
};

void TestTavikComm::init()
{
    QVERIFY(makeObjects());
    m_comm = std::make_unique<TestComm>(m_config.get(), m_data.get(), m_effects.get());
    m_pty = std::make_unique<RawPty>();
    QVERIFY(m_pty->isValid());
    m_comm->setSampleFileName(m_dir->filePath(QStringLiteral("samples.csv")));
}

void TestTavikComm::cleanup()
{
    m_comm.reset();
    m_pty.reset();
    dropObjects();
}

void TestTavikComm::connectComm()
{
    m_comm->setPortOverride(m_pty->slavePath());
    m_comm->start();
    QTRY_VERIFY(m_comm->isConnected());
    const QVector<QByteArray> greeting = m_pty->readPayloads(2);
    QCOMPARE(greeting.size(), 2);
}

void TestTavikComm::connectRequestsConfigThenFirmware()
{
    QSignalSpy text(m_comm.get(), &TavikComm::textDataReceived);
    m_comm->setPortOverride(m_pty->slavePath());
    QTest::ignoreMessage(QtDebugMsg, "Get config");
    m_comm->start();
    QTRY_VERIFY(m_comm->isConnected());
    QCOMPARE(m_pty->readPayloads(2), (QVector<QByteArray> {hex("03"), hex("0c")}));
    QCOMPARE(text.count(), 1);
    QCOMPARE(text.at(0).at(0).toString(), QStringLiteral("* USB Connected\n"));
}

void TestTavikComm::disconnectNotice()
{
    connectComm();
    QSignalSpy text(m_comm.get(), &TavikComm::textDataReceived);
    m_pty.reset(); // the base goes away
    QTRY_VERIFY(!m_comm->isConnected());
    QVERIFY(!text.isEmpty());
    QCOMPARE(text.last().at(0).toString(), QStringLiteral("* USB Disconnected\n"));
}

void TestTavikComm::commands_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QVector<QByteArray>>("expected");
    QTest::newRow("getConfig") << int(GetConfig) << QVector<QByteArray> {hex("03"), hex("0c")};
    QTest::newRow("getStoredConfig")
        << int(GetStoredConfig) << QVector<QByteArray> {hex("13"), hex("0c")};
    QTest::newRow("resetConfig") << int(ResetConfig)
                                 << QVector<QByteArray> {hex("0eaabb"), hex("03"), hex("0c")};
    QTest::newRow("fan on") << int(FanOn) << QVector<QByteArray> {hex("0d01")};
    QTest::newRow("fan off") << int(FanOff) << QVector<QByteArray> {hex("0d00")};
    QTest::newRow("resetMotors") << int(ResetMotors) << QVector<QByteArray> {hex("15")};
    QTest::newRow("startSampling") << int(StartSampling) << QVector<QByteArray> {hex("05")};
    QTest::newRow("stopSampling") << int(StopSampling) << QVector<QByteArray> {hex("06")};
    QTest::newRow("crash log") << int(CrashLogPrint) << QVector<QByteArray> {hex("0f")};
    // The image itself: 02, B5, then the fields (checked below).
    QTest::newRow("sendConfig") << int(SendConfig) << QVector<QByteArray> {QByteArray("image")};
    QTest::newRow("storeConfig") << int(StoreConfig)
                                 << QVector<QByteArray> {QByteArray("image"), hex("09")};
}

void TestTavikComm::commands()
{
    QFETCH(int, command);
    QFETCH(QVector<QByteArray>, expected);
    connectComm();
    m_config->set_master_gain(77);
    bool result = true;
    switch (Command(command)) {
    case GetConfig:
        result = m_comm->getConfig();
        break;
    case GetStoredConfig:
        result = m_comm->getStoredConfig();
        break;
    case ResetConfig:
        result = m_comm->resetConfig();
        break;
    case FanOn:
        m_comm->setFanPower(true);
        break;
    case FanOff:
        m_comm->setFanPower(false);
        break;
    case ResetMotors:
        m_comm->resetMotors();
        break;
    case StartSampling:
        m_comm->startSampling();
        break;
    case StopSampling:
        m_comm->stopSampling();
        break;
    case SendConfig:
        result = m_comm->sendConfig();
        break;
    case StoreConfig:
        result = m_comm->storeConfig();
        break;
    case CrashLogPrint:
        m_comm->sendPacket(hex("0f"));
        break;
    }
    QVERIFY(result);
    const QVector<QByteArray> sent = m_pty->readPayloads(expected.size());
    QCOMPARE(sent.size(), expected.size());
    for (int i = 0; i < sent.size(); ++i) {
        if (expected[i] == "image") {
            QCOMPARE(sent[i].size(), 464);
            QCOMPARE(uint8_t(sent[i][0]), uint8_t(2));
            QCOMPARE(uint8_t(sent[i][1]), uint8_t(0xB5));
            QCOMPARE(uint8_t(sent[i][1 + 17]), uint8_t(77)); // master_gain at image byte 17
            QCOMPARE(sent[i].mid(1), buildConfigImage(*m_config));
        } else {
            QCOMPARE(sent[i].toHex(), expected[i].toHex());
        }
    }
    QCOMPARE(m_pty->readPayloads(1, 50).size(), 0); // nothing more
}

void TestTavikComm::deviceText()
{
    QSignalSpy text(m_comm.get(), &TavikComm::textDataReceived);
    m_comm->inject(hex("00414243"));
    m_comm->inject(hex("00"));
    QCOMPARE(text.count(), 2);
    QCOMPARE(text.at(0).at(0).toString(), QStringLiteral("ABC"));
    QCOMPARE(text.at(1).at(0).toString(), QString());
}

void TestTavikComm::firmwareVersion()
{
    QSignalSpy firmware(m_config.get(), &BaseConfig::firmwareChanged);
    m_comm->inject(hex("0c312e322e3300"));
    QCOMPARE(m_config->firmware(), QStringLiteral("1.2.3"));
    m_comm->inject(hex("0c312e322e3300ffff")); // bytes after the zero are not part of it
    QCOMPARE(firmware.count(), 2); // also when unchanged
    QCOMPARE(m_config->firmware(), QStringLiteral("1.2.3"));
}

void TestTavikComm::telemetryAndEffects()
{
    QSignalSpy packets(m_comm.get(), &TavikComm::dataPacketReceived);
    QByteArray t(76, '\0');
    t[0] = 1;
    t[1] = 0x10;
    m_comm->inject(t);
    QCOMPARE(packets.count(), 1);
    QCOMPARE(m_data->x(), int16_t(0x10));

    QByteArray e(30, '\0');
    e[0] = 4;
    e[1] = 6;
    e[2] = 4;
    m_comm->inject(e);
    QCOMPARE(m_effects->rowCount(), 1);

    m_comm->inject(hex("63010203")); // unknown type: ignored
    QCOMPARE(packets.count(), 1);
}

void TestTavikComm::activeAndStoredConfig()
{
    QSignalSpy received(m_comm.get(), &TavikComm::configReceived);
    QSignalSpy modified(m_config.get(), &BaseConfig::parametersModifiedChanged);
    DeviceConfig other;
    other.set_master_gain(42);
    const QByteArray image = buildConfigImage(other);

    m_comm->inject(imageMessage(19, image)); // stored: marks differences as modified
    QCOMPARE(received.count(), 1);
    QCOMPARE(m_config->master_gain(), uint8_t(42));
    QVERIFY(m_config->parametersModified());

    m_comm->inject(imageMessage(3, image)); // active: clears the flag, even with no change
    QCOMPARE(received.count(), 2);
    QVERIFY(!m_config->parametersModified());
    QCOMPARE(modified.last().at(0).toBool(), false);
    m_comm->inject(imageMessage(3, image));
    QCOMPARE(modified.last().at(0).toBool(), false);
    QVERIFY(m_comm->isConfigCompatible());
}

void TestTavikComm::badSizeIsRefused()
{
    QSignalSpy received(m_comm.get(), &TavikComm::configReceived);
    const QByteArray before = buildConfigImage(*m_config);
    QByteArray message(400, char(0x11));
    message[0] = 3;
    message[1] = char(0xB5);
    QTest::ignoreMessage(QtDebugMsg, "Received config len:399 463");
    QTest::ignoreMessage(QtDebugMsg, "Bad config size");
    m_comm->inject(message);
    QCOMPARE(m_boxes->boxes, QStringList {QStringLiteral("Error|Bad FW config size")});
    QCOMPARE(m_boxes->objectNames, QStringList {QLatin1String(WidgetLinkPrompts::kErrorBoxName)});
    m_boxes->boxes.clear();
    QCOMPARE(received.count(), 0);
    QCOMPARE(buildConfigImage(*m_config), before);
    QVERIFY(m_comm->isConfigCompatible());
}

void TestTavikComm::wrongVersionIsRefusedAndBlocksSending()
{
    connectComm();
    QSignalSpy received(m_comm.get(), &TavikComm::configReceived);
    QSignalSpy refused(m_comm.get(), &TavikComm::configRefused);
    QSignalSpy compatible(m_comm.get(), &TavikComm::configCompatibleChanged);
    const QByteArray before = buildConfigImage(*m_config);
    QByteArray image = before;
    image[0] = char(180);
    image[17] = char(99);

    // Over the wire, like a real base.
    QTest::ignoreMessage(QtDebugMsg, "Wrong configuration version B4, expected B5");
    m_pty->writePayload(imageMessage(3, image));
    QTRY_COMPARE(m_boxes->boxes.size(), 1);
    QVERIFY(m_boxes->boxes.at(0).startsWith(QStringLiteral(
        "Error|Wrong firmware configuration version 180, expected 181.<br>Please Update "
        "firmware and/or software at ")));
    m_boxes->boxes.clear();
    QTRY_COMPARE(refused.count(), 1);
    QCOMPARE(received.count(), 0);
    QCOMPARE(buildConfigImage(*m_config), before);
    QVERIFY(!m_comm->isConfigCompatible());
    QCOMPARE(compatible.count(), 1);
    QVERIFY(m_comm->isConnected()); // the program and the link go on

    // Nothing built in a format the base does not read is sent.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Not sending the configuration"));
    QVERIFY(!m_comm->sendConfig());
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Not sending the configuration"));
    QVERIFY(!m_comm->storeConfig());
    QCOMPARE(m_pty->readPayloads(1, 100).size(), 0);

    // A compatible image lifts the block.
    m_pty->writePayload(imageMessage(3, before));
    QTRY_COMPARE(received.count(), 1);
    QVERIFY(m_comm->isConfigCompatible());
    QVERIFY(m_comm->sendConfig());
    QCOMPARE(m_pty->readPayloads(1).size(), 1);
}

void TestTavikComm::truncated_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("length");
    const QList<QPair<int, int>> types
        = {{0, 8}, {1, 77}, {3, 465}, {4, 31}, {7, 20}, {12, 8}, {19, 465}};
    for (const auto &t : types) {
        for (int n = 1; n <= t.second; ++n) {
            // Every short length of the small messages; the images around the edges.
            if ((t.first == 3 || t.first == 19) && n > 4 && n < 460)
                continue;
            QTest::addRow("type %d, %d bytes", t.first, n) << t.first << n;
        }
    }
}

void TestTavikComm::truncated()
{
    QFETCH(int, type);
    QFETCH(int, length);
    // A full message of each type whose bytes are all valid-looking, cut to length.
    QByteArray full;
    switch (type) {
    case 0:
        full = hex("00") + QByteArray("hello!!");
        break;
    case 1:
        full = QByteArray(77, char(0x22));
        break;
    case 3:
    case 19: {
        DeviceConfig other;
        other.set_master_gain(55);
        full = imageMessage(uint8_t(type), buildConfigImage(other)) + QByteArray(1, '\x01');
        break;
    }
    case 4:
        full = QByteArray(31, char(0x08));
        break;
    case 7:
        full = sample(7, 100) + QByteArray(1, '\x01');
        break;
    case 12:
        full = hex("0c") + QByteArray("9.9.9") + QByteArray(2, '\0');
        break;
    }
    full[0] = char(type);
    const QByteArray cut = full.left(length);

    m_comm->startSampling();
    const QByteArray imageBefore = buildConfigImage(*m_config);
    QSignalSpy text(m_comm.get(), &TavikComm::textDataReceived);
    QSignalSpy received(m_comm.get(), &TavikComm::configReceived);
    QSignalSpy packets(m_comm.get(), &TavikComm::dataPacketReceived);
    QSignalSpy firmware(m_config.get(), &BaseConfig::firmwareChanged);

    m_comm->inject(cut);
    m_comm->stopSampling();

    const bool fullImage = (type == 3 || type == 19) && length == 464;
    switch (type) {
    case 0:
        QCOMPARE(text.count(), 1);
        QCOMPARE(text.at(0).at(0).toString().toLatin1(), cut.mid(1));
        break;
    case 1:
        QCOMPARE(packets.count(), 1);
        QCOMPARE(m_data->x(), int16_t(length >= 3 ? 0x2222 : (length == 2 ? 0x22 : 0)));
        QCOMPARE(m_data->Slider(), uint8_t(length >= 76 ? 0x22 : 0));
        break;
    case 3:
    case 19:
        QCOMPARE(received.count(), fullImage ? 1 : 0);
        if (fullImage) {
            QCOMPARE(m_config->master_gain(), uint8_t(55));
        } else {
            QCOMPARE(buildConfigImage(*m_config), imageBefore);
            QCOMPARE(m_boxes->boxes, QStringList {QStringLiteral("Error|Bad FW config size")});
            m_boxes->boxes.clear();
        }
        break;
    case 4:
        QCOMPARE(m_effects->rowCount(), length >= 30 ? 1 : 0);
        break;
    case 7: {
        QFile file(m_comm->sampleFileName());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray lines = file.readAll();
        if (length >= 19)
            QVERIFY2(lines.startsWith("7,x=100,y=101,dx=102,dy=103,d2x=104,d2y=105,fx=106,fy=107,"),
                lines.constData());
        else
            QCOMPARE(lines, QByteArray());
        break;
    }
    case 12: {
        QCOMPARE(firmware.count(), 1);
        QByteArray expected = cut.mid(1);
        const int zero = expected.indexOf('\0');
        if (zero >= 0)
            expected.truncate(zero);
        QCOMPARE(m_config->firmware().toLatin1(), expected);
        break;
    }
    }
}

void TestTavikComm::sampleLineFormat()
{
    QByteArray t(76, '\0');
    t[0] = 1;
    t.replace(29, 2, le16(15));
    t.replace(31, 2, le16(-3));
    t.replace(37, 2, le16(1234));
    m_comm->inject(t);
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Opened"));
    m_comm->startSampling();
    m_comm->inject(sample(0));
    m_comm->stopSampling();
    QFile file(m_comm->sampleFileName());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(),
        QByteArray("0,x=0,y=0,dx=0,dy=0,d2x=0,d2y=0,fx=0,fy=0,1.50,-0.30,12.340\r\n"));
}

void TestTavikComm::sampleTimeExtension()
{
    m_comm->inject(sample(5)); // not sampling: ignored, and the extension is untouched
    m_comm->startSampling();
    m_comm->inject(sample(65535));
    m_comm->inject(sample(1));
    m_comm->stopSampling();
    auto lines = [this] {
        QFile file(m_comm->sampleFileName());
        if (!file.open(QIODevice::ReadOnly))
            return QList<QByteArray>();
        QList<QByteArray> out;
        for (const QByteArray &line : file.readAll().split('\n'))
            if (!line.isEmpty())
                out << line.left(line.indexOf(','));
        return out;
    };
    QCOMPARE(lines(), (QList<QByteArray> {"65535", "65537"}));
    m_comm->startSampling(); // the extension survives a restart; the file is truncated
    m_comm->inject(sample(2));
    m_comm->stopSampling();
    QCOMPARE(lines(), QList<QByteArray> {"65538"});
}

void TestTavikComm::sampleFileOpenFailure()
{
    connectComm();
    m_comm->setSampleFileName(m_dir->filePath(QStringLiteral("missing/dir/samples.csv")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Cannot open the data log"));
    m_comm->startSampling();
    QCOMPARE(m_pty->readPayloads(1), QVector<QByteArray> {hex("05")}); // started all the same
    m_comm->inject(sample(1)); // and its samples are ignored
}

void TestTavikComm::spiReadAndWrite()
{
    connectComm();
    QTimer::singleShot(20, [this] { m_pty->writePayload(hex("12aabbccdd")); });
    QCOMPARE(m_comm->spiRead(4, 3).toHex(), QByteArray("12aabbccdd"));
    QCOMPARE(m_pty->readPayloads(1), QVector<QByteArray> {hex("120403")});

    QTimer::singleShot(20, [this] { m_pty->writePayload(hex("110200")); });
    QCOMPARE(m_comm->spiWrite(hex("a0ff"), 2).toHex(), QByteArray("110200"));
    QCOMPARE(m_pty->readPayloads(1), QVector<QByteArray> {hex("110202a0ff")});

    // A transfer: read with flags 1, then the write with flags 2; the read's reply is returned.
    QTimer::singleShot(20, [this] { m_pty->writePayload(hex("120102")); });
    const QByteArray reply = m_comm->spiTransfer(4, hex("a0ff"));
    QCOMPARE(reply.toHex(), QByteArray("120102"));
    QCOMPARE(m_pty->readPayloads(2), (QVector<QByteArray> {hex("120401"), hex("110202a0ff")}));

    // The longest write still carries its true length.
    const QByteArray longest(255, char(0x5A));
    m_comm->spiWrite(longest, 2);
    const QVector<QByteArray> sent = m_pty->readPayloads(1);
    QCOMPARE(sent.size(), 1);
    QCOMPARE(sent[0].left(3).toHex(), QByteArray("11ff02"));
    QCOMPARE(sent[0].size(), 258);
}

void TestTavikComm::spiWriteTooLongIsRefused()
{
    connectComm();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("SPI write of 256 bytes refused"));
    QCOMPARE(m_comm->spiWrite(QByteArray(256, 'x'), 2), QByteArray());
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("SPI read of 256 bytes refused"));
    QCOMPARE(m_comm->spiRead(256, 3), QByteArray());
    QCOMPARE(m_pty->readPayloads(1, 100).size(), 0);
}

void TestTavikComm::spiTimeout()
{
    connectComm();
    // Nobody answers: the wait ends with an empty result and the link stays up.
    QCOMPARE(m_comm->spiRead(16, 3), QByteArray());
    QCOMPARE(m_comm->spiWrite(hex("01"), 2), QByteArray());
    QVERIFY(m_comm->isConnected());
    QCOMPARE(m_pty->readPayloads(2), (QVector<QByteArray> {hex("121003"), hex("11010201")}));
}

void TestTavikComm::calibrationSweepWithoutMotionReportsFailure()
{
    connectComm();
    QSignalSpy text(m_comm.get(), &TavikComm::textDataReceived);
    m_comm->setCalibrationTimeScale(0.002);
    m_comm->startAutoCalibration();

    // Set-points: Y axis first (settle, then -2500..2500), then X; little-endian int16 pairs.
    QVector<QByteArray> expected;
    expected << hex("1400003cf6");
    for (int v = -2500; v <= 2500; v += 500)
        expected << hex("140000") + le16(v);
    expected << hex("143cf60000");
    for (int v = -2500; v <= 2500; v += 500)
        expected << hex("14") + le16(v) + hex("0000");
    QCOMPARE(m_pty->readPayloads(expected.size()), expected);

    // The stick never moved: 11 pairs per axis and a fit that reports its failure.
    QCOMPARE(text.count(), 24);
    for (int i = 0; i < 11; ++i) {
        QCOMPARE(text.at(i).at(0).toString(), QStringLiteral("0,0\n"));
        QCOMPARE(text.at(12 + i).at(0).toString(), QStringLiteral("0,0\n"));
    }
    QVERIFY(text.at(11).at(0).toString().startsWith(QStringLiteral("fit: failed")));
    QVERIFY(text.at(23).at(0).toString().startsWith(QStringLiteral("fit: failed")));
}

void TestTavikComm::fit_data()
{
    QTest::addColumn<QVector<float>>("x");
    QTest::addColumn<QVector<float>>("y");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<float>("slope");
    QTest::addColumn<float>("intercept");
    QTest::newRow("exact line") << QVector<float> {-2, 0, 2, 4} << QVector<float> {-3, 1, 5, 9}
                                << true << 2.0f << 1.0f;
    QTest::newRow("no spread") << QVector<float> {3, 3, 3} << QVector<float> {1, 2, 3} << false
                               << 0.0f << 0.0f;
    QTest::newRow("no points") << QVector<float> {} << QVector<float> {} << false << 0.0f << 0.0f;
    QTest::newRow("one point") << QVector<float> {1} << QVector<float> {1} << false << 0.0f << 0.0f;
}

void TestTavikComm::fit()
{
    QFETCH(QVector<float>, x);
    QFETCH(QVector<float>, y);
    QFETCH(bool, ok);
    QFETCH(float, slope);
    QFETCH(float, intercept);
    float m = -1, b = -1;
    QCOMPARE(TavikComm::fitLine(x.constData(), y.constData(), x.size(), &m, &b), ok);
    if (ok) {
        QCOMPARE(m, slope);
        QCOMPARE(b, intercept);
    }
}

QTEST_MAIN(TestTavikComm)
#include "tst_tavikcomm.moc"
