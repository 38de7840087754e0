// The option scan, and the steps of the headless path that an emulated USB bus cannot
// produce (libusb failing to start, the device list failing, a base that refuses to open):
// those go through the transport interface, one level below libusb.
#include "headlesscmdlineprocessor.h"

#include <QTemporaryDir>
#include <QtTest>

#include <libusb.h>

namespace {

// Stands in for libusb with one qualifying device; every call is counted.
class ScriptedTransport : public UsbTransport
{
public:
    int initResult = 0;
    int enumerateResult = 1;
    int openResult = 0;
    int calls = 0;
    QVector<uint8_t> requests;

    int initialise() override { return ++calls, initResult; }
    int enumerate() override { return ++calls, enumerateResult; }
    int deviceDescriptor(int, DeviceDescriptor *d) override
    {
        ++calls;
        d->vendorId = 0xFFFF;
        d->productId = 0x2000;
        d->serialNumberIndex = 3;
        return 0;
    }
    int open(int) override { return ++calls, openResult; }
    void close(int) override { ++calls; }
    int stringDescriptorAscii(int, uint8_t, char *buffer, int size) override
    {
        ++calls;
        qstrncpy(buffer, "S1", size_t(size));
        return 2;
    }
    int controlTransfer(int, uint8_t, uint8_t request, uint16_t, uint16_t, uint8_t *, uint16_t,
        unsigned int) override
    {
        ++calls;
        requests.append(request);
        return 0;
    }
};

} // namespace

class TestHeadlessOptions : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void scan_data();
    void scan();
    void scriptOptions_data();
    void scriptOptions();
    void qualifies_data();
    void qualifies();
    void noActionTouchesNoUsb_data();
    void noActionTouchesNoUsb();
    void belowLibusb_data();
    void belowLibusb();
};

void TestHeadlessOptions::scan_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("hasConfig");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("hasSerial");
    QTest::addColumn<QString>("serial");
    QTest::addColumn<bool>("revert");
    QTest::addColumn<bool>("headless");

    const QString prog = QStringLiteral("tavik-configurator");
    QTest::newRow("none") << QStringList {prog} << false << "" << false << "" << false << false;
    QTest::newRow("config") << QStringList {prog, "-config", "a.tavconf"} << true << "a.tavconf"
                            << false << "" << false << true;
    QTest::newRow("config last, ignored")
        << QStringList {prog, "-config"} << false << "" << false << "" << false << false;
    QTest::newRow("serial last, ignored")
        << QStringList {prog, "-revert", "-serial"} << false << "" << false << "" << true << true;
    QTest::newRow("serial alone is no action")
        << QStringList {prog, "-serial", "S1"} << false << "" << true << "S1" << false << false;
    QTest::newRow("revert") << QStringList {prog, "-revert"} << false << "" << false << "" << true
                            << true;
    QTest::newRow("later replaces earlier")
        << QStringList {prog, "-config", "a", "-serial", "S1", "-config", "b", "-serial", "S2"}
        << true << "b" << true << "S2" << false << true;
    QTest::newRow("case-sensitive")
        << QStringList {prog, "-Config", "a", "-REVERT", "--revert", "-serial=S1"} << false << ""
        << false << "" << false << false;
    QTest::newRow("argument taken as path") << QStringList {prog, "-config", "-revert"} << true
                                            << "-revert" << false << "" << false << true;
    QTest::newRow("program name matches too")
        << QStringList {"-revert"} << false << "" << false << "" << true << true;
    QTest::newRow("other arguments skipped")
        << QStringList {prog, "-platform", "offscreen", "-config", "c d.tavconf", "x"} << true
        << "c d.tavconf" << false << "" << false << true;
    QTest::newRow("config and revert") << QStringList {prog, "-revert", "-config", "a"} << true
                                       << "a" << false << "" << true << true;
}

void TestHeadlessOptions::scan()
{
    QFETCH(QStringList, args);
    const auto o = HeadlessCmdLineProcessor::parseArguments(args);
    QTEST(o.hasConfig, "hasConfig");
    QTEST(o.configPath, "path");
    QTEST(o.hasSerial, "hasSerial");
    QTEST(o.serialNumber, "serial");
    QTEST(o.revert, "revert");
    QTEST(o.wantsHeadless(), "headless");

    // The argv form gives the same answer.
    std::vector<QByteArray> storage;
    std::vector<char *> argv;
    for (const QString &a : args)
        storage.push_back(a.toLocal8Bit());
    for (QByteArray &a : storage)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    QTEST(HeadlessCmdLineProcessor::wantsHeadless(int(args.size()), argv.data()), "headless");
    QCOMPARE(HeadlessCmdLineProcessor::parseArguments(int(args.size()), argv.data()).configPath,
        o.configPath);
}

void TestHeadlessOptions::scriptOptions_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("dump");
    QTest::addColumn<QString>("dumpPath");
    QTest::addColumn<bool>("diff");
    QTest::addColumn<QString>("diffPath");
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QString>("error");

    const QString prog = QStringLiteral("tavik-configurator");
    const QString none;
    const QString combined = QStringLiteral("cannot be combined");
    QTest::newRow("dump to stdout")
        << QStringList {prog, "--dump"} << true << none << false << none << none << none;
    QTest::newRow("dump dash") << QStringList {prog, "--dump", "-"} << true << none << false << none
                               << none << none;
    QTest::newRow("dump file") << QStringList {prog, "--dump", "a.tavconf"} << true << "a.tavconf"
                               << false << none << none << none;
    QTest::newRow("dump then serial") << QStringList {prog, "--dump", "-serial", "S1"} << true
                                      << none << false << none << "S1" << none;
    QTest::newRow("serial then dump file") << QStringList {prog, "-serial", "S1", "--dump", "b"}
                                           << true << "b" << false << none << "S1" << none;
    // The exact scan takes "--dump" as the serial number; it is no option then.
    QTest::newRow("dump as serial value") << QStringList {prog, "-serial", "--dump"} << false
                                          << none << false << none << "--dump" << none;
    QTest::newRow("diff") << QStringList {prog, "--diff", "f.tavconf", "-serial", "S2"} << false
                          << none << true << "f.tavconf"
                          << "S2" << none;
    QTest::newRow("diff without file") << QStringList {prog, "--diff"} << false << none << false
                                       << none << none << "--diff needs the file";
    QTest::newRow("diff before option")
        << QStringList {prog, "--diff", "-serial", "S"} << false << none << false << none << "S"
        << "--diff needs the file";
    QTest::newRow("dump and diff") << QStringList {prog, "--dump", "--diff", "f"} << true << none
                                   << true << "f" << none << combined;
    QTest::newRow("dump and config") << QStringList {prog, "-config", "c", "--dump"} << true << none
                                     << false << none << none << combined;
    QTest::newRow("diff and revert") << QStringList {prog, "--diff", "f", "-revert"} << false
                                     << none << true << "f" << none << combined;
    QTest::newRow("single dash is not ours") << QStringList {prog, "-dump", "x", "-diff", "y"}
                                             << false << none << false << none << none << none;
}

void TestHeadlessOptions::scriptOptions()
{
    QFETCH(QStringList, args);
    QFETCH(QString, error);
    const auto o = HeadlessCmdLineProcessor::parseArguments(args);
    QTEST(o.dump, "dump");
    QTEST(o.dumpPath, "dumpPath");
    QTEST(o.hasDiff, "diff");
    QTEST(o.diffPath, "diffPath");
    QTEST(o.serialNumber, "serial");
    if (error.isEmpty())
        QVERIFY2(o.error.isEmpty(), qPrintable(o.error));
    else
        QVERIFY2(o.error.contains(error), qPrintable(o.error));
    QCOMPARE(o.wantsHeadless(), o.dump || o.hasDiff || !o.error.isEmpty());

    if (!error.isEmpty()) {
        // Refused before the bus is touched.
        HeadlessCmdLineProcessor processor;
        auto transport = std::make_unique<ScriptedTransport>();
        ScriptedTransport *t = transport.get();
        processor.setTransport(std::move(transport));
        QString thrown;
        try {
            processor.process(o);
        } catch (const QString &message) {
            thrown = message;
        }
        QVERIFY(thrown.contains(error));
        QVERIFY(thrown.contains(QStringLiteral("--dump [FILE]")));
        QCOMPARE(t->calls, 0);
    }
}

void TestHeadlessOptions::qualifies_data()
{
    QTest::addColumn<int>("vendor");
    QTest::addColumn<int>("product");
    QTest::addColumn<bool>("expected");
    QTest::newRow("first") << 0xFFFF << 0x2000 << true;
    QTest::newRow("last") << 0xFFFF << 0x2055 << true;
    QTest::newRow("below") << 0xFFFF << 0x1FFF << false;
    QTest::newRow("above") << 0xFFFF << 0x2056 << false;
    QTest::newRow("other vendor") << 0xFFFE << 0x2001 << false;
}

void TestHeadlessOptions::qualifies()
{
    QFETCH(int, vendor);
    QFETCH(int, product);
    UsbTransport::DeviceDescriptor d;
    d.vendorId = uint16_t(vendor);
    d.productId = uint16_t(product);
    QTEST(HeadlessCmdLineProcessor::qualifies(d), "expected");
}

void TestHeadlessOptions::noActionTouchesNoUsb_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("none") << QStringList {"tavik-configurator"};
    QTest::newRow("serial only") << QStringList {"tavik-configurator", "-serial", "S1"};
    QTest::newRow("config without path") << QStringList {"tavik-configurator", "-config"};
}

void TestHeadlessOptions::noActionTouchesNoUsb()
{
    QFETCH(QStringList, args);
    auto transport = std::make_unique<ScriptedTransport>();
    transport->initResult = LIBUSB_ERROR_OTHER; // would throw if it were reached
    ScriptedTransport *t = transport.get();
    HeadlessCmdLineProcessor processor;
    processor.setTransport(std::move(transport));
    QVERIFY(!processor.process(HeadlessCmdLineProcessor::parseArguments(args)));
    QCOMPARE(t->calls, 0);
}

void TestHeadlessOptions::belowLibusb_data()
{
    QTest::addColumn<int>("initResult");
    QTest::addColumn<int>("enumerateResult");
    QTest::addColumn<int>("openResult");
    QTest::addColumn<bool>("withSerial");
    QTest::addColumn<QString>("message");

    QTest::newRow("libusb does not start")
        << int(LIBUSB_ERROR_OTHER) << 1 << 0 << false
        << "Error: Failed to initialise libusb: LIBUSB_ERROR_OTHER";
    QTest::newRow("no device list")
        << 0 << int(LIBUSB_ERROR_NO_MEM) << 0 << false << "Error: Failed to get USB device list\n";
    QTest::newRow("base refuses to open")
        << 0 << 1 << int(LIBUSB_ERROR_ACCESS) << false << "Error:LIBUSB_ERROR_ACCESS";
    QTest::newRow("base refuses to open, serial asked")
        << 0 << 1 << int(LIBUSB_ERROR_ACCESS) << true
        << "No base found with serial number S1 (1 base(s) could not be opened: "
           "LIBUSB_ERROR_ACCESS)";
}

void TestHeadlessOptions::belowLibusb()
{
    QFETCH(int, initResult);
    QFETCH(int, enumerateResult);
    QFETCH(int, openResult);
    QFETCH(bool, withSerial);
    QFETCH(QString, message);

    auto transport = std::make_unique<ScriptedTransport>();
    transport->initResult = initResult;
    transport->enumerateResult = enumerateResult;
    transport->openResult = openResult;
    ScriptedTransport *t = transport.get();
    HeadlessCmdLineProcessor processor;
    processor.setTransport(std::move(transport));

    QStringList args {"tavik-configurator", "-revert"};
    if (withSerial)
        args << "-serial"
             << "S1";
    QString thrown;
    try {
        processor.process(HeadlessCmdLineProcessor::parseArguments(args));
    } catch (const QString &m) {
        thrown = m;
    }
    QCOMPARE(thrown, message);
    QVERIFY(t->requests.isEmpty());
}

QTEST_GUILESS_MAIN(TestHeadlessOptions)
#include "tst_headlessoptions.moc"
