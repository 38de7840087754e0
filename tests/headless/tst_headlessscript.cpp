// The script options --dump and --diff, and the backup a -config makes, over the real libusb
// against simulated bases on an emulated USB bus (umockdev).
#include "usbbasefixture.h"

#include "backupstore.h"
#include "configfile.h"
#include "configsnapshot.h"
#include "deviceconfig.h"
#include "firmwaremodel.h"
#include "headlesscmdlineprocessor.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int kMasterGain = 17; // byte offset of master_gain in the image
constexpr int kSpringLpf = 215;
constexpr int kConfigName = 165;
const QDateTime kDate(QDate(2026, 12, 11), QTime(15, 0, 0));

QByteArray distinctiveImage(int gain)
{
    QByteArray image = FirmwareModel::defaultImage();
    image[kMasterGain] = char(gain);
    image[kSpringLpf] = char(123);
    const QByteArray name("Day");
    for (int i = 0; i < 20; ++i)
        image[kConfigName + i] = i < name.size() ? name[i] : '\0';
    return image;
}

QByteArray documentOf(const QByteArray &image, const QString &serial)
{
    DeviceConfig config;
    config.loadImage(image);
    return QByteArray::fromStdString(configToJson(config, serial, kDate));
}

} // namespace

class TestHeadlessScript : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void dumpWritesTheBaseConfiguration_data();
    void dumpWritesTheBaseConfiguration();
    void dumpReplacesAFileWhole();
    void dumpToAnUnwritablePathFails();
    void diff_data();
    void diff();
    void badDiffFileTouchesNoBase();
    void configBacksUpTheBaseFirst();

private:
    int addBase(uint16_t product, const QString &serial, int gain);
    QString writeFile(const QString &name, const QByteArray &content);
    // Runs the processor; returns the thrown message (empty when none).
    QString run(const QStringList &args, int *exitCode = nullptr);

    std::unique_ptr<UsbBaseFixture> m_bus;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<BackupStore> m_backups;
    QByteArray m_output;
};

void TestHeadlessScript::initTestCase()
{
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
}

void TestHeadlessScript::init()
{
    m_bus = std::make_unique<UsbBaseFixture>();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_backups = std::make_unique<BackupStore>(m_dir->filePath(QStringLiteral("backups")));
    m_output.clear();
}

void TestHeadlessScript::cleanup()
{
    m_bus.reset();
    m_backups.reset();
    m_dir.reset();
}

int TestHeadlessScript::addBase(uint16_t product, const QString &serial, int gain)
{
    const int base = m_bus->addBase(product, serial);
    bool applied = false;
    m_bus->withModel(
        base, [&](FirmwareModel &m) { applied = m.applyImage(distinctiveImage(gain)); });
    return applied ? base : -1;
}

QString TestHeadlessScript::writeFile(const QString &name, const QByteArray &content)
{
    const QString path = m_dir->filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
        qWarning("cannot write %s", qPrintable(path));
    return path;
}

QString TestHeadlessScript::run(const QStringList &args, int *exitCode)
{
    HeadlessCmdLineProcessor processor;
    processor.setTimeoutMs(250);
    processor.setBackupStore(m_backups.get());
    processor.setDumpDate(kDate);
    QBuffer output(&m_output);
    output.open(QIODevice::WriteOnly | QIODevice::Append);
    processor.setOutput(&output);
    QStringList argv {QStringLiteral("tavik-configurator")};
    argv += args;
    try {
        if (!processor.process(HeadlessCmdLineProcessor::parseArguments(argv)))
            return QStringLiteral("(no headless work)");
        if (exitCode)
            *exitCode = processor.exitCode();
    } catch (const QString &message) {
        return message;
    }
    return QString();
}

void TestHeadlessScript::dumpWritesTheBaseConfiguration_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("chosen");
    QTest::addColumn<bool>("toFile");
    QTest::newRow("stdout, first base") << QStringList {"--dump", "-serial", "TVK-A"} << 0 << false;
    QTest::newRow("dash, second base")
        << QStringList {"-serial", "TVK-B", "--dump", "-"} << 1 << false;
    QTest::newRow("file, second base")
        << QStringList {"--dump", "@FILE", "-serial", "TVK-B"} << 1 << true;
}

void TestHeadlessScript::dumpWritesTheBaseConfiguration()
{
    QFETCH(QStringList, args);
    QFETCH(int, chosen);
    QFETCH(bool, toFile);
    const int bases[2] = {
        addBase(0x2000, QStringLiteral("TVK-A"), 11), addBase(0x2055, QStringLiteral("TVK-B"), 22)};
    QVERIFY(bases[0] >= 0 && bases[1] >= 0);
    const QString file = m_dir->filePath(QStringLiteral("dump.tavconf"));
    args.replaceInStrings(QStringLiteral("@FILE"), file);

    int exit = -1;
    QCOMPARE(run(args, &exit), QString());
    QCOMPARE(exit, 0);
    const int base = bases[chosen];
    const QByteArray expected = documentOf(
        m_bus->activeImage(base), chosen ? QStringLiteral("TVK-B") : QStringLiteral("TVK-A"));
    if (toFile) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), expected);
        QVERIFY(m_output.isEmpty());
    } else {
        QCOMPARE(m_output, expected);
    }
    // One read, nothing written; the other base untouched.
    QCOMPARE(m_bus->vendorRequests(base).size(), 1);
    QCOMPARE(int(m_bus->vendorRequests(base).first().requestType), 0xC0);
    QCOMPARE(m_bus->vendorRequests(bases[1 - chosen]).size(), 0);
    QVERIFY(m_backups->list(QStringLiteral("TVK-A")).isEmpty());
    QVERIFY(m_backups->list(QStringLiteral("TVK-B")).isEmpty());
}

void TestHeadlessScript::dumpReplacesAFileWhole()
{
    const int base = addBase(0x2001, QStringLiteral("TVK-1"), 44);
    QVERIFY(base >= 0);
    const QString file = writeFile(QStringLiteral("old.tavconf"), QByteArray(50000, 'x'));
    QCOMPARE(run({"--dump", file}), QString());
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), documentOf(m_bus->activeImage(base), QStringLiteral("TVK-1")));
}

void TestHeadlessScript::dumpToAnUnwritablePathFails()
{
    QVERIFY(addBase(0x2001, QStringLiteral("TVK-1"), 44) >= 0);
    // A folder of that name, and a path below a file: neither can take the dump.
    const QString folder = m_dir->filePath(QStringLiteral("taken.tavconf"));
    QVERIFY(QDir().mkpath(folder + QStringLiteral("/inside")));
    const QString blocker = writeFile(QStringLiteral("plain"), "keep me");
    for (const QString &path : {folder, blocker + QStringLiteral("/dump.tavconf")}) {
        const QString message = run({"--dump", path});
        QVERIFY2(message.startsWith(QStringLiteral("Cannot write ") + path), qPrintable(message));
    }
    QVERIFY(QFileInfo(folder + QStringLiteral("/inside")).isDir());
    QFile f(blocker);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("keep me"));
}

void TestHeadlessScript::diff_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("exit");
    QTest::addColumn<QByteArray>("printed");
    QTest::newRow("same values") << QByteArray(
        R"({"config": {"master_gain": 55, "spring_lpf_hz": 123}})")
                                 << 0 << QByteArray();
    QTest::newRow("unnamed are no difference")
        << QByteArray(R"({"config": {}})") << 0 << QByteArray();
    QTest::newRow("two differ") << QByteArray(R"({"config": {"spring_lpf_hz": 7, "master_gain": 56,
            "config_name": "Night"}})")
                                << 3
                                << QByteArray(
                                       "master_gain: 55 -> 56\nconfig_name: \"Day\" -> \"Night\"\n"
                                       "spring_lpf_hz: 123 -> 7\n");
    QTest::newRow("one of three") << QByteArray(R"({"config": {"spring_lpf_hz": 123,
            "master_gain": 1.0, "config_name": "Day"}})")
                                  << 3 << QByteArray("master_gain: 55 -> 1\n");
}

void TestHeadlessScript::diff()
{
    QFETCH(QByteArray, file);
    QFETCH(int, exit);
    QFETCH(QByteArray, printed);
    const int base = addBase(0x2010, QStringLiteral("TVK-7"), 55);
    QVERIFY(base >= 0);
    const QByteArray before = m_bus->activeImage(base);
    int status = -1;
    QCOMPARE(
        run({"--diff", writeFile(QStringLiteral("f.tavconf"), file), "-serial", "TVK-7"}, &status),
        QString());
    QCOMPARE(status, exit);
    QCOMPARE(m_output, printed);
    QCOMPARE(m_bus->activeImage(base), before);
    QCOMPARE(m_bus->vendorRequests(base).size(), 1);
}

void TestHeadlessScript::badDiffFileTouchesNoBase()
{
    const int base = addBase(0x2010, QStringLiteral("TVK-7"), 55);
    QVERIFY(base >= 0);
    const QString message
        = run({"--diff", writeFile(QStringLiteral("bad.tavconf"), "{\"config\": 1}")});
    QVERIFY2(message.startsWith(QStringLiteral("Unable to parse configuration file!")),
        qPrintable(message));
    const QString missing = run({"--diff", m_dir->filePath(QStringLiteral("absent.tavconf"))});
    QVERIFY2(missing.contains(QStringLiteral("Cannot read")), qPrintable(missing));
    QCOMPARE(m_bus->vendorRequests(base).size(), 0);
    QVERIFY(m_output.isEmpty());
}

void TestHeadlessScript::configBacksUpTheBaseFirst()
{
    const int base = addBase(0x2000, QStringLiteral("TVK-0042"), 66);
    QVERIFY(base >= 0);
    const QByteArray before = m_bus->activeImage(base);
    const QString file
        = writeFile(QStringLiteral("p.tavconf"), R"({"config": {"master_gain": 9}})");
    QCOMPARE(run({"-config", file}), QString());
    QVector<BackupStore::Entry> backups = m_backups->list(QStringLiteral("TVK-0042"));
    QCOMPARE(backups.size(), 1);
    DeviceConfig expected;
    expected.loadImage(before);
    QVERIFY(backups.first().snapshot == ConfigSnapshot::fromConfig(expected));
    QCOMPARE(int(uint8_t(m_bus->activeImage(base)[kMasterGain])), 9);

    // The next -config backs up the image it changes (master_gain 9), not the first again.
    QCOMPARE(run({"-config",
                 writeFile(QStringLiteral("q.tavconf"), R"({"config": {"master_gain": 8}})")}),
        QString());
    backups = m_backups->list(QStringLiteral("TVK-0042"));
    QCOMPARE(backups.size(), 2);
    QCOMPARE(
        backups.first().snapshot.json(findConfigParameter("master_gain")->index), QByteArray("9"));

    // A backup that cannot be written does not stop the script; the base still gets the file.
    QVERIFY(QFile::remove(backups.first().path) && QFile::remove(backups.last().path));
    QVERIFY(QDir().rmdir(m_backups->folder(QStringLiteral("TVK-0042"))));
    writeFile(QStringLiteral("backups/TVK-0042"), "in the way");
    QCOMPARE(run({"-config", file}), QString());
    QCOMPARE(int(uint8_t(m_bus->activeImage(base)[kMasterGain])), 9);
}

QTEST_GUILESS_MAIN(TestHeadlessScript)
#include "tst_headlessscript.moc"
