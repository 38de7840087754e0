// Configuration snapshots (canonical values, differences, display units) and the automatic
// backup folder: naming, skipping identical backups, keeping the newest, and files that are
// not this base's backups.

#include "backupstore.h"
#include "configfile.h"
#include "configsnapshot.h"
#include "configtestutil.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

const QDateTime kStart(QDate(2026, 12, 11), QTime(14, 15, 0));

ConfigSnapshot snapshotWithGain(int gain)
{
    DeviceConfig config;
    config.set_master_gain(uint8_t(gain));
    return ConfigSnapshot::fromConfig(config);
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

QStringList fileNames(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files, QDir::Name);
}

} // namespace

class TestBackupStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { registerConfigMetaTypes(); }

    void snapshotDocumentIsTheExport();
    void documentIsCanonicalised();
    void badDocumentsAreRefused_data();
    void badDocumentsAreRefused();
    void differencesOfAPartialFile();
    void applyGoesThroughTheSetters();
    void displayUnits_data();
    void displayUnits();

    void folderNames_data();
    void folderNames();
    void writesAnImportableFile();
    void identicalBackupIsNotRepeated();
    void sameSecondGetsASequence();
    void keepsTheNewestHundred();
    void foreignFilesAreReportedAndKept();
    void unwritableFolderIsReported();
};

void TestBackupStore::snapshotDocumentIsTheExport()
{
    QuietLog quiet;
    DeviceConfig config;
    config.setFirmware(QStringLiteral("1.2.3"));
    config.set_config_name(DeviceName::fromString(QStringLiteral("Evening")));
    config.set_default_spring_coef_pos_x(-1234);
    config.set_button_inv_mask(0xA5A5A5A5A5A5ULL);
    DeviceMappingData curve;
    curve.x[1] = -50;
    config.set_damper_mapping_y(curve);
    const ConfigSnapshot s = ConfigSnapshot::fromConfig(config);
    QVERIFY(s.isComplete());
    QCOMPARE(s.toDocument(QStringLiteral("TVK-7"), kStart),
        configToJson(config, QStringLiteral("TVK-7"), kStart));
    QCOMPARE(s.configName(), QStringLiteral("Evening"));

    ConfigSnapshot back;
    QVERIFY(ConfigSnapshot::fromDocument(
        QByteArray::fromStdString(s.toDocument(QStringLiteral("TVK-7"), kStart)), &back));
    QVERIFY(back == s);
    QCOMPARE(back.serialNumber, QStringLiteral("TVK-7"));
    QCOMPARE(back.firmwareVersion, QStringLiteral("1.2.3"));
}

void TestBackupStore::documentIsCanonicalised()
{
    // true, 1.0 and 1 are the same flag; a short curve is the identity curve with the points
    // given; a long name is cut to 20 bytes: exactly as the import would store them.
    ConfigSnapshot s;
    QVERIFY(ConfigSnapshot::fromDocument(R"({"config": {"swap_xy": true, "master_gain": 7.0,
        "spring_mapping": [[10, 20]], "config_name": "abcdefghijklmnopqrstuvwxyz"}})",
        &s));
    QCOMPARE(s.count(), 4);
    QuietLog quiet;
    DeviceConfig config;
    config.set_swap_xy(1);
    config.set_master_gain(7);
    DeviceMappingData curve;
    curve.x[0] = 10;
    curve.x[1] = 20;
    config.set_spring_mapping(curve);
    config.set_config_name(DeviceName::fromString(QStringLiteral("abcdefghijklmnopqrst")));
    QVERIFY(configDifferences(s, ConfigSnapshot::fromConfig(config)).isEmpty());
    QCOMPARE(configDifferences(s, ConfigSnapshot::fromConfig(DeviceConfig())).size(), 4);
}

void TestBackupStore::badDocumentsAreRefused_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QString>("error");
    QTest::newRow("not json") << QByteArray("{") << QStringLiteral("Not valid JSON");
    QTest::newRow("no config") << QByteArray("{\"x\": 1}") << QStringLiteral("no \"config\"");
    QTest::newRow("array") << QByteArray("[1]") << QStringLiteral("no \"config\"");
    QTest::newRow("out of range") << QByteArray(R"({"config": {"master_gain": 300}})")
                                  << QStringLiteral("\"master_gain\"");
    QTest::newRow("wrong type") << QByteArray(R"({"config": {"swap_xy": "1"}})")
                                << QStringLiteral("\"swap_xy\"");
}

void TestBackupStore::badDocumentsAreRefused()
{
    QFETCH(QByteArray, document);
    QFETCH(QString, error);
    ConfigSnapshot s = snapshotWithGain(5);
    const ConfigSnapshot before = s;
    const ConfigFileResult r = ConfigSnapshot::fromDocument(document, &s);
    QVERIFY(!r);
    QVERIFY2(r.error.contains(error), qPrintable(r.error));
    QVERIFY(s == before);
}

void TestBackupStore::differencesOfAPartialFile()
{
    // Parameters the file does not name are no difference.
    QuietLog quiet;
    DeviceConfig config;
    config.set_master_gain(40);
    config.set_swap_xy(1);
    ConfigSnapshot file;
    QVERIFY(ConfigSnapshot::fromDocument(
        R"({"config": {"master_gain": 41, "swap_xy": 1, "spring_lpf_hz": 55, "grip_type": 3}})",
        &file));
    const QVector<int> diff = configDifferences(ConfigSnapshot::fromConfig(config), file);
    QStringList names;
    for (int i : diff)
        names << QString::fromLatin1(configParameter(i).name);
    QCOMPARE(names,
        (QStringList {QStringLiteral("master_gain"), QStringLiteral("grip_type"),
            QStringLiteral("spring_lpf_hz")}));
}

void TestBackupStore::applyGoesThroughTheSetters()
{
    QuietLog quiet;
    ConfigSnapshot file;
    QVERIFY(
        ConfigSnapshot::fromDocument(R"({"config": {"master_gain": 41, "swap_xy": 0}})", &file));
    DeviceConfig config;
    QSignalSpy gain(&config, &DeviceConfig::master_gainChanged);
    QSignalSpy swap(&config, &DeviceConfig::swap_xyChanged);
    file.applyAllTo(config);
    QCOMPARE(int(config.master_gain()), 41);
    QCOMPARE(gain.count(), 1);
    QCOMPARE(swap.count(), 0); // equal value: silent
    QVERIFY(config.parametersModified());
    QVERIFY(!file.applyTo(config, findConfigParameter("grip_type")->index));
}

void TestBackupStore::displayUnits_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("json");
    QTest::addColumn<QString>("shown");
    QTest::newRow("percent") << "default_spring_coef_pos_x"
                             << "2048"
                             << "50 %";
    QTest::newRow("percent rounds") << "neutral_damping_comp"
                                    << "410"
                                    << "10 %";
    QTest::newRow("gain") << "master_gain"
                          << "80"
                          << "80 %";
    QTest::newRow("global gain") << "global_damper_gain"
                                 << "-5"
                                 << "-5 %";
    QTest::newRow("filter") << "spring_lpf_hz"
                            << "125"
                            << "12.5 Hz";
    QTest::newRow("psu") << "max_psu_current"
                         << "35"
                         << "3.5 A";
    QTest::newRow("motor") << "max_drive_current"
                           << "12"
                           << "12 A";
    QTest::newRow("hires") << "hires_mode_scale"
                           << "128"
                           << "× 0.50";
    QTest::newRow("friction") << "frictionP"
                              << "250"
                              << "2.50";
    QTest::newRow("flag") << "swap_xy"
                          << "1"
                          << "on";
    QTest::newRow("grip") << "grip_type"
                          << "6"
                          << "VPC Constellation Alpha+Prime";
    QTest::newRow("pot") << "pot_2_func"
                         << "99"
                         << "unknown (99)";
    QTest::newRow("mask") << "button_tgl_mask"
                          << "5"
                          << "0x000000000005";
    QTest::newRow("name") << "device_name"
                          << "\"Base\""
                          << "\"Base\"";
    QTest::newRow("curve")
        << "spring_mapping"
        << "[[-127,-64,0,64,127,0,0,0,0,0],[-127,-32,0,32,127,0,0,0,0,0]]"
        << "(-1.00, -1.00) (-0.50, -0.25) (0.00, 0.00) (0.50, 0.25) (1.00, 1.00)";
    QTest::newRow("plain") << "x_angle_max"
                           << "-300"
                           << "-300";
}

void TestBackupStore::displayUnits()
{
    QFETCH(QString, name);
    QFETCH(QString, json);
    QFETCH(QString, shown);
    ConfigSnapshot s;
    QVERIFY(ConfigSnapshot::fromDocument(
        QStringLiteral("{\"config\": {\"%1\": %2}}").arg(name, json).toUtf8(), &s));
    QCOMPARE(s.displayValue(findConfigParameter(name)->index), shown);
}

void TestBackupStore::folderNames_data()
{
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QString>("folder");
    QTest::newRow("plain") << "TVK-0042"
                           << "TVK-0042";
    QTest::newRow("empty") << ""
                           << "no-serial-number";
    QTest::newRow("slashes") << "../../etc"
                             << ".._.._etc";
    QTest::newRow("dots") << ".."
                          << "_..";
    QTest::newRow("spaces") << "A B\tC"
                            << "A_B_C";
    QTest::newRow("long") << QString(100, QLatin1Char('x')) << QString(64, QLatin1Char('x'));
}

void TestBackupStore::folderNames()
{
    QFETCH(QString, serial);
    QFETCH(QString, folder);
    QCOMPARE(BackupStore::folderName(serial), folder);
}

void TestBackupStore::writesAnImportableFile()
{
    QTemporaryDir dir;
    BackupStore store(dir.path());
    const ConfigSnapshot s = snapshotWithGain(33);
    const BackupStore::Result r = store.write(s, QStringLiteral("TVK-1"), kStart);
    QCOMPARE(r.status, BackupStore::Result::Written);
    QCOMPARE(r.path, dir.path() + QStringLiteral("/TVK-1/2026-12-11_141500.tavconf"));
    QCOMPARE(fileNames(dir.path() + QStringLiteral("/TVK-1")),
        QStringList(QStringLiteral("2026-12-11_141500.tavconf")));

    QuietLog quiet;
    DeviceConfig imported;
    QVERIFY(importConfig(imported, r.path));
    QCOMPARE(int(imported.master_gain()), 33);

    QStringList problems;
    const QVector<BackupStore::Entry> entries = store.list(QStringLiteral("TVK-1"), &problems);
    QVERIFY(problems.isEmpty());
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries.first().time, kStart);
    QVERIFY(entries.first().snapshot == s);
    QVERIFY(store.list(QStringLiteral("TVK-2")).isEmpty());
}

void TestBackupStore::identicalBackupIsNotRepeated()
{
    QTemporaryDir dir;
    BackupStore store(dir.path());
    const QString serial = QStringLiteral("TVK-1");
    QCOMPARE(store.write(snapshotWithGain(1), serial, kStart).status, BackupStore::Result::Written);
    const BackupStore::Result again = store.write(snapshotWithGain(1), serial, kStart.addSecs(60));
    QCOMPARE(again.status, BackupStore::Result::Unchanged);
    QCOMPARE(store.list(serial).size(), 1);
    // Equal to an older one but not to the newest: written.
    QCOMPARE(store.write(snapshotWithGain(2), serial, kStart.addSecs(120)).status,
        BackupStore::Result::Written);
    QCOMPARE(store.write(snapshotWithGain(1), serial, kStart.addSecs(180)).status,
        BackupStore::Result::Written);
    QCOMPARE(store.list(serial).size(), 3);
}

void TestBackupStore::sameSecondGetsASequence()
{
    QTemporaryDir dir;
    BackupStore store(dir.path());
    const QString serial = QStringLiteral("S");
    for (int gain = 1; gain <= 3; ++gain)
        QVERIFY(store.write(snapshotWithGain(gain), serial, kStart));
    // A clock set back still files the next one as the newest.
    QVERIFY(store.write(snapshotWithGain(4), serial, kStart.addSecs(-3600)));
    const QVector<BackupStore::Entry> entries = store.list(serial);
    QCOMPARE(entries.size(), 4);
    QStringList names;
    for (const auto &e : entries)
        names << QFileInfo(e.path).fileName();
    QCOMPARE(names,
        (QStringList {QStringLiteral("2026-12-11_141500_4.tavconf"),
            QStringLiteral("2026-12-11_141500_3.tavconf"),
            QStringLiteral("2026-12-11_141500_2.tavconf"),
            QStringLiteral("2026-12-11_141500.tavconf")}));
    QCOMPARE(
        entries.first().snapshot.json(findConfigParameter("master_gain")->index), QByteArray("4"));
}

void TestBackupStore::keepsTheNewestHundred()
{
    QTemporaryDir dir;
    BackupStore store(dir.path());
    const QString serial = QStringLiteral("TVK-9");
    for (int i = 0; i < BackupStore::kKeepPerBase; ++i)
        QVERIFY(store.write(snapshotWithGain(i), serial, kStart.addSecs(i)));
    QCOMPARE(store.list(serial).size(), BackupStore::kKeepPerBase);
    const QString oldest = dir.path() + QStringLiteral("/TVK-9/2026-12-11_141500.tavconf");
    QVERIFY(QFile::exists(oldest));

    QCOMPARE(store.write(snapshotWithGain(200), serial, kStart.addSecs(1000)).status,
        BackupStore::Result::Written);
    const QVector<BackupStore::Entry> entries = store.list(serial);
    QCOMPARE(entries.size(), BackupStore::kKeepPerBase);
    QVERIFY(!QFile::exists(oldest));
    QCOMPARE(entries.last().time, kStart.addSecs(1));
    QCOMPARE(entries.first().time, kStart.addSecs(1000));
}

void TestBackupStore::foreignFilesAreReportedAndKept()
{
    QTemporaryDir dir;
    BackupStore store(dir.path());
    const QString serial = QStringLiteral("TVK-1");
    QVERIFY(store.write(snapshotWithGain(1), serial, kStart));
    const QString folder = store.folder(serial);
    const QByteArray otherBase = QByteArray::fromStdString(
        snapshotWithGain(2).toDocument(QStringLiteral("TVK-2"), kStart));
    struct Stray
    {
        const char *name;
        QByteArray content;
        const char *reason;
    };
    const Stray strays[] = {
        {"notes.txt", "my notes", "is not a backup"},
        {"2026-12-11_141501.tavconf", "{\"config\": ", "cannot be read"},
        {"2026-12-11_141502.tavconf", R"({"config": {"master_gain": 3}})", "holds only 1 of 181"},
        {"2026-12-11_141503.tavconf", otherBase, "serial number \"TVK-2\""},
    };
    for (const Stray &s : strays)
        QVERIFY(writeFile(folder + QLatin1Char('/') + QLatin1String(s.name), s.content));

    QStringList problems;
    const QVector<BackupStore::Entry> entries = store.list(serial, &problems);
    QCOMPARE(entries.size(), 1);
    QCOMPARE(problems.size(), 4);
    for (const Stray &s : strays) {
        const QString line = problems.filter(QLatin1String(s.name)).value(0);
        QVERIFY2(line.contains(QLatin1String(s.reason)), qPrintable(line));
    }

    // The newest real backup decides what is identical; strays are never removed.
    QCOMPARE(store.write(snapshotWithGain(1), serial, kStart.addSecs(10)).status,
        BackupStore::Result::Unchanged);
    for (int i = 2; i < BackupStore::kKeepPerBase + 5; ++i)
        QVERIFY(store.write(snapshotWithGain(i), serial, kStart.addSecs(10 + i)));
    for (const Stray &s : strays)
        QCOMPARE(readAll(folder + QLatin1Char('/') + QLatin1String(s.name)), s.content);
    QCOMPARE(store.list(serial).size(), BackupStore::kKeepPerBase);
}

void TestBackupStore::unwritableFolderIsReported()
{
    // A file where the base's folder should be: the backup fails with the reason, and the file
    // stays as it was.
    QTemporaryDir dir;
    BackupStore store(dir.path());
    const QString blocker = store.folder(QStringLiteral("TVK-1"));
    QVERIFY(writeFile(blocker, "in the way"));
    const BackupStore::Result r = store.write(snapshotWithGain(1), QStringLiteral("TVK-1"), kStart);
    QCOMPARE(r.status, BackupStore::Result::Failed);
    QVERIFY2(r.error.contains(QStringLiteral("cannot create the folder")), qPrintable(r.error));
    QCOMPARE(readAll(blocker), QByteArray("in the way"));
    QVERIFY(store.list(QStringLiteral("TVK-1")).isEmpty());

    // A root below a file fails the same way.
    BackupStore below(blocker + QStringLiteral("/deeper"));
    QVERIFY(!below.write(snapshotWithGain(1), QStringLiteral("X"), kStart));
}

QTEST_GUILESS_MAIN(TestBackupStore)
#include "tst_backupstore.moc"
