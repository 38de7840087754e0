// The headless path over the real libusb, against simulated bases on an emulated USB bus:
// each base's vendor requests are answered by the simulator's firmware model.
#include "usbbasefixture.h"

#include "firmwaremodel.h"
#include "headlesscmdlineprocessor.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int kMasterGain = 17; // byte offset of master_gain in the image
constexpr int kFlags = 3; // x_input_invert .. default_friction_en
constexpr int kAngleMaxX = 4;
constexpr int kConfigName = 165;

enum Fault { None, Silent, ShortRead, WrongVersion, ShortWrite, StallWrites };

// A base whose active image differs from the defaults in several fields, so that keeping
// "the base's values" cannot be confused with writing defaults.
QByteArray distinctiveImage(const QByteArray &defaults)
{
    QByteArray image = defaults;
    image[kAngleMaxX] = char(0x34);
    image[kAngleMaxX + 1] = char(0x12);
    image[kMasterGain] = char(91);
    image[kFlags] = char(0x81);
    const QByteArray name("Evening profile");
    for (int i = 0; i < 20; ++i)
        image[kConfigName + i] = i < name.size() ? name[i] : '\0';
    return image;
}

QString describe(const QVector<UsbBaseFixture::Request> &requests)
{
    QStringList parts;
    for (const auto &r : requests)
        parts << QStringLiteral("%1/%2/%3")
                     .arg(r.requestType, 2, 16, QLatin1Char('0'))
                     .arg(r.request)
                     .arg(r.length);
    return parts.join(QLatin1Char(' ')).toUpper();
}

} // namespace

class TestHeadlessUsb : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void configAppliesOnlyWhatTheFileNames_data();
    void configAppliesOnlyWhatTheFileNames();
    void serialSelectsTheBase_data();
    void serialSelectsTheBase();
    void revertSendsRequest21();
    void configWithRevertDoesNotRevert();
    void failures_data();
    void failures();
    void noQualifyingBase_data();
    void noQualifyingBase();

private:
    int addBase(uint16_t product, const QString &serial, uint16_t vendor = 0xFFFF);
    QString writeFile(const QByteArray &content);
    // Runs the processor; returns the thrown message (empty when none) and sets result.
    QString run(const QStringList &args, bool *result = nullptr);

    std::unique_ptr<UsbBaseFixture> m_bus;
    std::unique_ptr<QTemporaryDir> m_dir;
    QTemporaryDir m_dataHome;
};

void TestHeadlessUsb::initTestCase()
{
    // Every parameter write and image field logs a line; keep the test log readable.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    // -config backs up the base's configuration into the user's data directory: this run's own.
    QVERIFY(m_dataHome.isValid());
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dataHome.path()));
}

void TestHeadlessUsb::init()
{
    m_bus = std::make_unique<UsbBaseFixture>();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestHeadlessUsb::cleanup()
{
    m_bus.reset();
    m_dir.reset();
}

int TestHeadlessUsb::addBase(uint16_t product, const QString &serial, uint16_t vendor)
{
    QString error;
    const int base = m_bus->addBase(product, serial, vendor, &error);
    if (base < 0)
        qWarning("umockdev refused the base: %s", qPrintable(error));
    bool applied = false;
    m_bus->withModel(base, [&](FirmwareModel &m) {
        applied = m.applyImage(distinctiveImage(FirmwareModel::defaultImage()));
    });
    if (!applied)
        qWarning("the model refused the test image");
    return base;
}

QString TestHeadlessUsb::writeFile(const QByteArray &content)
{
    const QString path = m_dir->filePath(QStringLiteral("profile.tavconf"));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
        qWarning("cannot write %s", qPrintable(path));
    return path;
}

QString TestHeadlessUsb::run(const QStringList &args, bool *result)
{
    // A fresh processor, so libusb starts after the bases were plugged in.
    HeadlessCmdLineProcessor processor;
    processor.setTimeoutMs(250);
    QStringList argv {QStringLiteral("tavik-configurator")};
    argv += args;
    try {
        const bool r = processor.process(HeadlessCmdLineProcessor::parseArguments(argv));
        if (result)
            *result = r;
    } catch (const QString &message) {
        if (result)
            *result = false;
        return message;
    }
    return QString();
}

void TestHeadlessUsb::configAppliesOnlyWhatTheFileNames_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("value"); // -1: no byte changes

    QTest::newRow("master_gain") << QByteArray(R"({"config": {"master_gain": 77}})") << kMasterGain
                                 << 77;
    QTest::newRow("swap_xy, with other top-level members")
        << QByteArray(R"({"firmware_ver": "x", "serial_number": "other",
                          "config": {"swap_xy": true, "no_such_parameter": 5}})")
        << kFlags << (0x81 | 0x04);
    QTest::newRow("empty config") << QByteArray(R"({"config": {}})") << 0 << -1;
}

void TestHeadlessUsb::configAppliesOnlyWhatTheFileNames()
{
    QFETCH(QByteArray, file);
    QFETCH(int, offset);
    QFETCH(int, value);

    const int base = addBase(0x2000, QStringLiteral("TVK-0001"));
    QVERIFY(base >= 0);
    const QByteArray before = m_bus->activeImage(base);
    QCOMPARE(before.size(), 463);

    bool result = false;
    QCOMPARE(run({QStringLiteral("-config"), writeFile(file)}, &result), QString());
    QVERIFY(result);

    QCOMPARE(describe(m_bus->vendorRequests(base)), QStringLiteral("C0/20/1024 40/20/463"));
    QByteArray expected = before;
    if (value >= 0)
        expected[offset] = char(value);
    const QByteArray after = m_bus->activeImage(base);
    QCOMPARE(after.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        if (after[i] != expected[i])
            QFAIL(qPrintable(QStringLiteral("byte %1: %2, expected %3")
                                 .arg(i)
                                 .arg(uint8_t(after[i]))
                                 .arg(uint8_t(expected[i]))));
    }
}

void TestHeadlessUsb::serialSelectsTheBase_data()
{
    QTest::addColumn<QString>("serial");
    QTest::addColumn<int>("chosen");
    QTest::newRow("first") << "TVK-AAAA" << 0;
    QTest::newRow("second") << "TVK-BBBB" << 1;
}

void TestHeadlessUsb::serialSelectsTheBase()
{
    QFETCH(QString, serial);
    QFETCH(int, chosen);

    QCOMPARE(addBase(0x2001, QStringLiteral("TVK-AAAA")), 0);
    QCOMPARE(addBase(0x2055, QStringLiteral("TVK-BBBB")), 1);
    const QByteArray before[2] = {m_bus->activeImage(0), m_bus->activeImage(1)};

    const QString file = writeFile(R"({"config": {"master_gain": 12}})");
    bool result = false;
    QCOMPARE(run({"-serial", serial, "-config", file}, &result), QString());
    QVERIFY(result);

    const int other = 1 - chosen;
    QCOMPARE(describe(m_bus->vendorRequests(chosen)), QStringLiteral("C0/20/1024 40/20/463"));
    QVERIFY(m_bus->vendorRequests(other).isEmpty());
    QCOMPARE(uint8_t(m_bus->activeImage(chosen)[kMasterGain]), uint8_t(12));
    QCOMPARE(m_bus->activeImage(other), before[other]);

    // A serial number no base has: nothing is sent anywhere.
    m_bus->clearVendorRequests(chosen);
    const QString message = run({"-serial", "TVK-CCCC", "-config", file}, &result);
    QCOMPARE(message, QStringLiteral("No base found with serial number TVK-CCCC"));
    QVERIFY(m_bus->vendorRequests(0).isEmpty());
    QVERIFY(m_bus->vendorRequests(1).isEmpty());
}

void TestHeadlessUsb::revertSendsRequest21()
{
    const int base = addBase(0x2001, QStringLiteral("TVK-0001"));
    QByteArray stored;
    m_bus->withModel(base, [&](FirmwareModel &m) {
        m.store();
        stored = m.storedImage();
        QByteArray changed = stored;
        changed[kMasterGain] = char(3);
        QVERIFY(m.applyImage(changed));
    });
    QVERIFY(m_bus->activeImage(base) != stored);

    bool result = false;
    QCOMPARE(run({"-revert"}, &result), QString());
    QVERIFY(result);
    QCOMPARE(describe(m_bus->vendorRequests(base)), QStringLiteral("40/21/0"));
    const auto request = m_bus->vendorRequests(base).value(0);
    QCOMPARE(request.value, uint16_t(0));
    QCOMPARE(request.index, uint16_t(0));
    QCOMPARE(m_bus->activeImage(base), stored);
}

void TestHeadlessUsb::configWithRevertDoesNotRevert()
{
    const int base = addBase(0x2001, QStringLiteral("TVK-0001"));
    QByteArray stored;
    m_bus->withModel(base, [&](FirmwareModel &m) { stored = m.storedImage(); });
    const QString file = writeFile(R"({"config": {"master_gain": 66}})");
    bool result = false;
    QCOMPARE(run({"-revert", "-config", file}, &result), QString());
    QVERIFY(result);
    QCOMPARE(describe(m_bus->vendorRequests(base)), QStringLiteral("C0/20/1024 40/20/463"));
    QCOMPARE(uint8_t(m_bus->activeImage(base)[kMasterGain]), uint8_t(66));
    QVERIFY(m_bus->activeImage(base) != stored);
}

void TestHeadlessUsb::failures_data()
{
    QTest::addColumn<QStringList>("args"); // "FILE" stands for the written file
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("message"); // the thrown text starts with this
    QTest::addColumn<QString>("requests");

    const QByteArray good(R"({"config": {"master_gain": 50}})");
    const QStringList config {"-config", "FILE"};
    QTest::newRow("462-byte read") << config << good << int(ShortRead) << "Bad FW config size 462"
                                   << "C0/20/1024";
    QTest::newRow("wrong version")
        << config << good << int(WrongVersion) << "Incompatible FW config version, please update"
        << "C0/20/1024";
    QTest::newRow("missing file") << QStringList {"-config", "/nonexistent/profile.tavconf"} << good
                                  << int(None) << "The config file could not be found!"
                                  << "";
    QTest::newRow("unparsable file") << config << QByteArray("{\"config\": {\"master_gain\": 5")
                                     << int(None) << "Unable to parse configuration file!"
                                     << "C0/20/1024";
    QTest::newRow("wrong member type")
        << config << QByteArray(R"({"config": {"master_gain": 1, "swap_xy": "1"}})") << int(None)
        << "Unable to parse configuration file!"
        << "C0/20/1024";
    QTest::newRow("silent base, read")
        << config << good << int(Silent)
        << "Error: LIBUSB_ERROR_TIMEOUT (the base did not answer within 250 ms)"
        << "C0/20/1024";
    QTest::newRow("silent base, revert")
        << QStringList {"-revert"} << good << int(Silent)
        << "USB Request failed: LIBUSB_ERROR_TIMEOUT (the base did not answer within 250 ms)"
        << "40/21/0";
    QTest::newRow("write stalled")
        << config << good << int(StallWrites) << "Error:LIBUSB_ERROR_PIPE"
        << "C0/20/1024 40/20/463";
    QTest::newRow("revert stalled") << QStringList {"-revert"} << good << int(StallWrites)
                                    << "USB Request failed: LIBUSB_ERROR_PIPE"
                                    << "40/21/0";
    QTest::newRow("short write") << config << good << int(ShortWrite)
                                 << "Error: the base took only 100 of 463 bytes"
                                 << "C0/20/1024 40/20/463";
}

void TestHeadlessUsb::failures()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, file);
    QFETCH(int, fault);
    QFETCH(QString, message);
    QFETCH(QString, requests);

    const int base = addBase(0x2001, QStringLiteral("TVK-0001"));
    const QByteArray before = m_bus->activeImage(base);
    const QString path = writeFile(file);
    args.replaceInStrings(QStringLiteral("FILE"), path);

    switch (Fault(fault)) {
    case None:
        break;
    case Silent:
        m_bus->setSilent(base, true);
        break;
    case ShortRead:
        m_bus->setReadOverride(base, before.left(462));
        break;
    case WrongVersion: {
        QByteArray image = before;
        image[0] = char(180);
        m_bus->setReadOverride(base, image);
        break;
    }
    case ShortWrite:
        m_bus->setWriteLimit(base, 100);
        break;
    case StallWrites:
        m_bus->setStallWrites(base, true);
        break;
    }

    bool result = true;
    const QString thrown = run(args, &result);
    QVERIFY2(thrown.startsWith(message), qPrintable(thrown));
    QVERIFY(!result);
    QCOMPARE(describe(m_bus->vendorRequests(base)), requests);
    // Whatever failed, the base keeps its configuration.
    QCOMPARE(m_bus->activeImage(base), before);
}

void TestHeadlessUsb::noQualifyingBase_data()
{
    QTest::addColumn<int>("vendor"); // 0: no device at all
    QTest::addColumn<int>("product");
    QTest::addColumn<QStringList>("args");
    QTest::newRow("empty bus, config") << 0 << 0 << QStringList {"-config", "FILE"};
    QTest::newRow("empty bus, revert") << 0 << 0 << QStringList {"-revert"};
    QTest::newRow("product above range") << 0xFFFF << 0x2056 << QStringList {"-revert"};
    QTest::newRow("other vendor") << 0x1209 << 0x2001 << QStringList {"-config", "FILE"};
}

void TestHeadlessUsb::noQualifyingBase()
{
    QFETCH(int, vendor);
    QFETCH(int, product);
    QFETCH(QStringList, args);
    int base = -1;
    if (vendor)
        base = addBase(uint16_t(product), QStringLiteral("TVK-0001"), uint16_t(vendor));
    args.replaceInStrings(QStringLiteral("FILE"), writeFile(R"({"config": {}})"));
    bool result = true;
    QCOMPARE(run(args, &result), QStringLiteral("No base found"));
    QVERIFY(!result);
    if (base >= 0)
        QVERIFY(m_bus->vendorRequests(base).isEmpty());
}

QTEST_GUILESS_MAIN(TestHeadlessUsb)
#include "tst_headlessusb.moc"
