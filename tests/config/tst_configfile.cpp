// The .tavconf file: document form, import rules, all-or-nothing rejection, atomic export.

#include "configfile.h"
#include "configtestutil.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <nlohmann/json.hpp>

class TestConfigFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void fixtureImports();
    void fixtureReexportsIdentically();
    void documentForm();
    void invalidUtf8NameStillExports();
    void exportImportChangesNothing();
    void importEdgeCases_data();
    void importEdgeCases();
    void rejected_data();
    void rejected();
    void unreadableFiles();
    void exportFailureKeepsExistingFile();

private:
    QString fixturePath() const { return QStringLiteral(TAVIK_CONFIG_TESTDATA "/fixture.tavconf"); }
    static QByteArray readAll(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static const QDateTime kFixtureDate;
};

const QDateTime TestConfigFile::kFixtureDate = QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9));

void TestConfigFile::initTestCase()
{
    registerConfigMetaTypes();
    QVERIFY2(QFile::exists(fixturePath()), qPrintable(fixturePath()));
}

static DeviceMappingData fixtureSpring()
{
    DeviceMappingData c;
    const int8_t x[10] = {-127, -100, -50, 0, 50, 100, 127, 0, 0, 0};
    const int8_t y[10] = {-127, -90, -40, 0, 40, 90, 127, 0, 0, 0};
    std::copy(std::begin(x), std::end(x), c.x);
    std::copy(std::begin(y), std::end(y), c.y);
    return c;
}

// The record the fixture describes, set up parameter by parameter.
static void setFixtureValues(DeviceConfig &config)
{
    config.set_master_gain(200);
    config.set_x_angle_max(1000);
    config.set_x_angle_min(-1000);
    config.set_global_spring_gain(-20);
    config.set_hw_trim_enabled(1);
    config.set_swap_xy(1);
    config.set_usb_vid(65535);
    config.set_usb_pid(8193);
    config.set_frictionP(300);
    config.set_default_damper_deadband_y(-32768);
    config.set_button_inv_mask(Q_UINT64_C(18446462598732840961));
    config.set_button_tgl_mask(Q_UINT64_C(187649984473770));
    config.set_config_name(DeviceName::fromString(QStringLiteral("ABCDEFGHIJKLMNOPQRST")));
    config.set_device_name(DeviceName::fromString(QString::fromUtf8("Brontel \xC3\x9C test")));
    config.set_spring_mapping(fixtureSpring());
    ButtonMapping buttons;
    for (int i = 0; i < ButtonMapping::kSize; ++i)
        buttons.map[i] = uint8_t(i + 1);
    config.set_button_mapping(buttons);
}

void TestConfigFile::fixtureImports()
{
    QuietLog quiet;
    DeviceConfig expected;
    setFixtureValues(expected);
    DeviceConfig config;
    const ConfigFileResult result = importConfig(config, fixturePath());
    QVERIFY2(result.ok, qPrintable(result.error));
    QVERIFY(result.error.isEmpty());
    QCOMPARE(changedParameters(snapshot(expected), snapshot(config)), QStringList());
    QCOMPARE(config.config_name().length(), 20);
    QCOMPARE(config.button_inv_mask(), Q_UINT64_C(0xFFFF000000000001));
    QCOMPARE(config.spring_mapping().count, uint8_t(5));
    QCOMPARE(config.device_name().toString(), QString::fromUtf8("Brontel \xC3\x9C test"));
    QCOMPARE(config.parametersModified(), true);
    // The descriptive members do not reach the record.
    QCOMPARE(config.firmware(), QString());
}

void TestConfigFile::fixtureReexportsIdentically()
{
    QuietLog quiet;
    DeviceConfig config;
    QVERIFY(importConfig(config, fixturePath()).ok);
    config.setFirmware(QStringLiteral("1.2.3"));
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("again.tavconf"));
    const ConfigFileResult result
        = exportConfig(config, out, QStringLiteral("TVK0001"), QDateTime::currentDateTime());
    QVERIFY2(result.ok, qPrintable(result.error));
    auto withoutDate = [](QByteArray text) {
        const int at = text.indexOf("\"export_date\": \"");
        return at < 0 ? text : text.remove(at, text.indexOf('\n', at) - at);
    };
    const QByteArray fixture = readAll(fixturePath());
    const QByteArray written = readAll(out);
    QVERIFY(fixture.contains("\"export_date\""));
    QCOMPARE(withoutDate(written), withoutDate(fixture));
    // With the fixture's date the whole text is the same.
    QCOMPARE(
        QByteArray::fromStdString(configToJson(config, QStringLiteral("TVK0001"), kFixtureDate)),
        fixture);
}

void TestConfigFile::documentForm()
{
    QuietLog quiet;
    DeviceConfig config;
    config.set_config_name(DeviceName::fromString(QString::fromUtf8("Gr\xC3\xBC\xC3\x9F"
                                                                    "e")));
    const std::string text = configToJson(config, QString(), kFixtureDate);
    QVERIFY(!text.empty() && text.back() == '\n' && text[text.size() - 2] == '}');
    // UTF-8 as is, not escaped.
    QVERIFY(text.find("\"config_name\": \"Gr\xC3\xBC\xC3\x9F"
                      "e\"")
        != std::string::npos);
    QVERIFY(text.find("\\u") == std::string::npos);
    QVERIFY(text.rfind("{\n  \"config\": {\n    \"_reserved\": 0,\n", 0) == 0);
    const auto doc = nlohmann::json::parse(text);
    QCOMPARE(doc.size(), size_t(5));
    QCOMPARE(QString::fromStdString(doc.at("software_ver").get<std::string>()),
        QStringLiteral("v1.0.16"));
    QCOMPARE(QString::fromStdString(doc.at("export_date").get<std::string>()),
        QStringLiteral("2024.03.05 14:07:09"));
    QCOMPARE(doc.at("firmware_ver"), nlohmann::json(""));
    QCOMPARE(doc.at("serial_number"), nlohmann::json(""));
    QCOMPARE(doc.at("config").size(), size_t(kConfigParameterCount));
    for (const ConfigParameter &p : configParameters())
        QVERIFY2(doc.at("config").contains(p.name), p.name);
    QCOMPARE(doc.at("config").at("spring_mapping"),
        nlohmann::json::parse("[[-127,-64,0,64,127,0,0,0,0,0],[-127,-64,0,64,127,0,0,0,0,0]]"));
    QCOMPARE(doc.at("config").at("button_mapping").size(), size_t(48));
    QVERIFY(doc.at("config").at("master_gain").is_number_unsigned());
    // Upper-case letters sort before "_" and lower case.
    QVERIFY(text.find("\"frictionP\"") < text.find("\"friction_lpf_hz\""));
}

void TestConfigFile::invalidUtf8NameStillExports()
{
    QuietLog quiet;
    QByteArray img = patternImage();
    img.replace(165, 4,
        QByteArray("\xFF\xFE"
                   "ab",
            4));
    DeviceConfig config;
    config.loadImage(img);
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("bad-name.tavconf"));
    const ConfigFileResult result = exportConfig(config, out);
    QVERIFY2(result.ok, qPrintable(result.error));
    const auto doc = nlohmann::json::parse(readAll(out).toStdString());
    QCOMPARE(QString::fromStdString(doc.at("config").at("config_name").get<std::string>()).left(4),
        // Bytes that are not UTF-8 are a name written by an older tool, read as Latin-1.
        QString::fromLatin1("\xFF\xFE"
                            "ab"));
}

void TestConfigFile::exportImportChangesNothing()
{
    QuietLog quiet;
    DeviceConfig config;
    config.loadImage(patternImage()); // every parameter non-initial, curve counts 3..8
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("all.tavconf"));
    QVERIFY(exportConfig(config, path, QStringLiteral("S1")).ok);
    const QVariantList before = snapshot(config);
    const QByteArray imageBefore = buildConfigImage(config);
    config.setParametersModified(false);
    AllSignalsSpy all(&config);
    QVERIFY(importConfig(config, path).ok);
    // Only the end of the import batch is announced (with no parameter changed).
    QCOMPARE(all.emitted(),
        QStringList {QStringLiteral("changesFinished(BaseConfig::ChangeOrigin,int)")});
    QCOMPARE(snapshot(config), before);
    QCOMPARE(buildConfigImage(config), imageBefore); // counts kept too

    // Into a fresh record: the same values; curves get the count 5.
    DeviceConfig fresh;
    QVERIFY(importConfig(fresh, path).ok);
    QCOMPARE(changedParameters(before, snapshot(fresh)), QStringList());
    QCOMPARE(fresh.spring_mapping().count, uint8_t(5));
}

void TestConfigFile::importEdgeCases_data()
{
    QTest::addColumn<QByteArray>("members"); // the "config" object
    QTest::addColumn<QVariantMap>("expected"); // parameters that change, with their new values

    auto curveWith = [](std::initializer_list<int> xs, std::initializer_list<int> ys) {
        DeviceMappingData c;
        int i = 0;
        for (int v : xs)
            c.x[i++] = int8_t(v);
        i = 0;
        for (int v : ys)
            c.y[i++] = int8_t(v);
        return QVariant::fromValue(c);
    };
    ButtonMapping three;
    three.map[0] = 3;

    QTest::newRow("boolean flag") << QByteArray(R"({"swap_xy": true})")
                                  << QVariantMap {{"swap_xy", QVariant::fromValue<uint8_t>(1)}};
    QTest::newRow("false is zero")
        << QByteArray(R"({"swap_xy": false, "master_gain": 0})") << QVariantMap {};
    QTest::newRow("curve x only") << QByteArray(R"({"spring_mapping": [[10, 20]]})")
                                  << QVariantMap {{"spring_mapping", curveWith({10, 20}, {})}};
    QTest::newRow("curve null x") << QByteArray(R"({"damper_mapping": [null, [1, 2, 3]]})")
                                  << QVariantMap {{"damper_mapping", curveWith({}, {1, 2, 3})}};
    QTest::newRow("curve empty object x") << QByteArray(R"({"damper_mapping": [{}, [5]]})")
                                          << QVariantMap {{"damper_mapping", curveWith({}, {5})}};
    QTest::newRow("curve long arrays")
        << QByteArray(R"({"inertia_mapping_y": [[1,2,3,4,5,6,7,8,9,10,11,12], [], 7]})")
        << QVariantMap {{"inertia_mapping_y", curveWith({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, {})}};
    QTest::newRow("curve null") << QByteArray(R"({"damper_mapping": null})") << QVariantMap {};
    QTest::newRow("buttons short") << QByteArray(R"({"button_mapping": [3]})")
                                   << QVariantMap {{"button_mapping", QVariant::fromValue(three)}};
    QTest::newRow("buttons null") << QByteArray(R"({"button_mapping": null})") << QVariantMap {};
    QTest::newRow("name 25 chars")
        << QByteArray(R"({"config_name": "ABCDEFGHIJKLMNOPQRSTUVWXY"})")
        << QVariantMap {{"config_name",
               QVariant::fromValue(DeviceName::fromString("ABCDEFGHIJKLMNOPQRST"))}};
    QTest::newRow("name cut between characters")
        << QByteArray("{\"device_name\": \"" + QString(11, QChar(0xC4)).toUtf8() + "\"}")
        << QVariantMap {{"device_name",
               QVariant::fromValue(DeviceName::fromString(QString(10, QChar(0xC4))))}};
    QTest::newRow("full 64-bit mask")
        << QByteArray(R"({"button_tgl_mask": 18446744073709551615})")
        << QVariantMap {{"button_tgl_mask", QVariant(~qulonglong(0))}};
    QTest::newRow("type limits") << QByteArray(
        R"({"x_angle_min": -32768, "y_angle_max": 32767, "usb_vid": 65535, "global_damper_gain": -128})")
                                 << QVariantMap {
                                        {"x_angle_min", QVariant::fromValue<int16_t>(-32768)},
                                        {"y_angle_max", QVariant::fromValue<int16_t>(32767)},
                                        {"usb_vid", QVariant::fromValue<uint16_t>(65535)},
                                        {"global_damper_gain", QVariant::fromValue<int8_t>(-128)}};
    QTest::newRow("integral float")
        << QByteArray(R"({"master_gain": 255.0})")
        << QVariantMap {{"master_gain", QVariant::fromValue<uint8_t>(255)}};
    QTest::newRow("unknown members ignored")
        << QByteArray(R"({"no_such": "x", "master_gain": 3})")
        << QVariantMap {{"master_gain", QVariant::fromValue<uint8_t>(3)}};
    QTest::newRow("empty") << QByteArray("{}") << QVariantMap {};
}

void TestConfigFile::importEdgeCases()
{
    QFETCH(QByteArray, members);
    QFETCH(QVariantMap, expected);

    QuietLog quiet;
    DeviceConfig config;
    const QVariantList before = snapshot(config);
    const QByteArray document = "{\"firmware_ver\": \"x\", \"config\": " + members + "}";
    const ConfigFileResult result = importConfigData(config, document);
    QVERIFY2(result.ok, qPrintable(result.error));
    const QVariantList after = snapshot(config);
    QStringList changed = changedParameters(before, after);
    changed.sort();
    QCOMPARE(changed, expected.keys());
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        const ConfigParameter *p = findConfigParameter(it.key());
        QVERIFY(p);
        QCOMPARE(p->read(config), it.value());
    }
    QCOMPARE(config.parametersModified(), !expected.isEmpty());
    // Imported curves have five points, whatever the file gives.
    for (const ConfigParameter &p : configParameters())
        if (p.kind == ConfigKind::Curve)
            QCOMPARE(p.read(config).value<DeviceMappingData>().count, uint8_t(5));
}

void TestConfigFile::rejected_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QString>("error"); // expected part of the message

    auto cfg = [](const char *members) { return QByteArray("{\"config\": {") + members + "}}"; };
    QTest::newRow("empty file") << QByteArray() << "Not valid JSON";
    QTest::newRow("truncated") << QByteArray("{\"config\": {\"swap_xy\": 1") << "Not valid JSON";
    QTest::newRow("two values") << QByteArray("{} {}") << "Not valid JSON";
    QTest::newRow("invalid utf-8")
        << QByteArray("{\"config\": {\"config_name\": \"\xFF\"}}") << "Not valid JSON";
    QTest::newRow("root null") << QByteArray("null") << "Not a configuration file";
    QTest::newRow("root array") << QByteArray("[1, 2]") << "Not a configuration file";
    QTest::newRow("root number") << QByteArray("5") << "Not a configuration file";
    QTest::newRow("no config") << QByteArray(R"({"firmware_ver": "1"})")
                               << "Not a configuration file";
    QTest::newRow("config not object")
        << QByteArray(R"({"config": [1]})") << "Not a configuration file";
    QTest::newRow("string for integer") << cfg(R"("x_input_invert": 1, "swap_xy": "1")")
                                        << "\"swap_xy\": must be a number, not string";
    QTest::newRow("later member bad")
        << cfg(R"("pot_2_cal_max": 5, "master_gain": 300, "x_input_invert": 1)")
        << "\"master_gain\": value 300 is out of range (0..255)";
    QTest::newRow("negative unsigned")
        << cfg(R"("usb_vid": -1)") << "\"usb_vid\": value -1 is out of range";
    QTest::newRow("int8 too large")
        << cfg(R"("global_spring_gain": 128)") << "\"global_spring_gain\": value 128";
    QTest::newRow("int16 too small") << cfg(R"("x_angle_max": -32769)") << "\"x_angle_max\"";
    QTest::newRow("flag too large") << cfg(R"("swap_xy": 256)") << "\"swap_xy\"";
    QTest::newRow("negative mask") << cfg(R"("button_inv_mask": -1)") << "\"button_inv_mask\"";
    QTest::newRow("fraction") << cfg(R"("master_gain": 1.5)")
                              << "\"master_gain\": value 1.5 is not an integer";
    QTest::newRow("huge float") << cfg(R"("button_tgl_mask": 1e30)") << "\"button_tgl_mask\"";
    QTest::newRow("null integer") << cfg(R"("master_gain": null)")
                                  << "\"master_gain\": must be a number, not null";
    QTest::newRow("name number") << cfg(R"("config_name": 5)")
                                 << "\"config_name\": must be a string";
    QTest::newRow("name null") << cfg(R"("device_name": null)") << "\"device_name\"";
    QTest::newRow("curve string") << cfg(R"("spring_mapping": "abc")") << "\"spring_mapping\"";
    QTest::newRow("curve object") << cfg(R"("spring_mapping": {"a": 1})") << "\"spring_mapping\"";
    QTest::newRow("curve number element")
        << cfg(R"("spring_mapping": [5])") << "\"spring_mapping\": x values";
    QTest::newRow("curve bad point")
        << cfg(R"("damper_mapping": [[1, "x"]])") << "\"damper_mapping\": x[1]";
    QTest::newRow("curve point range")
        << cfg(R"("damper_mapping": [[], [200]])") << "\"damper_mapping\": y[0]";
    QTest::newRow("buttons object") << cfg(R"("button_mapping": {"a": 1})") << "\"button_mapping\"";
    QTest::newRow("buttons range")
        << cfg(R"("button_mapping": [1, 256])") << "\"button_mapping\": [1]";
    QTest::newRow("buttons negative")
        << cfg(R"("button_mapping": [-1])") << "\"button_mapping\": [0]";
    QTest::newRow("buttons string") << cfg(R"("button_mapping": "1")") << "\"button_mapping\"";
}

void TestConfigFile::rejected()
{
    QFETCH(QByteArray, document);
    QFETCH(QString, error);

    QuietLog quiet;
    DeviceConfig config;
    config.loadImage(patternImage()); // non-initial values everywhere
    config.setParametersModified(false);
    const QVariantList before = snapshot(config);
    AllSignalsSpy all(&config);

    const ConfigFileResult result = importConfigData(config, document);
    QVERIFY(!result.ok);
    QVERIFY2(result.error.contains(error), qPrintable(result.error));
    QCOMPARE(snapshot(config), before);
    QCOMPARE(all.emitted(), QStringList());
    QCOMPARE(config.parametersModified(), false);

    // The same through a file.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bad.tavconf"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(document);
    f.close();
    const ConfigFileResult fromFile = importConfig(config, path);
    QVERIFY(!fromFile.ok);
    QCOMPARE(fromFile.error, result.error);
    QCOMPARE(all.emitted(), QStringList());
}

void TestConfigFile::unreadableFiles()
{
    QuietLog quiet;
    DeviceConfig config;
    QTemporaryDir dir;
    ConfigFileResult result = importConfig(config, dir.filePath(QStringLiteral("missing.tavconf")));
    QVERIFY(!result.ok);
    QVERIFY2(result.error.startsWith(QStringLiteral("Cannot read")), qPrintable(result.error));
    result = importConfig(config, dir.path()); // a directory
    QVERIFY(!result.ok);
    QVERIFY(!result.error.isEmpty());
    QVERIFY(!config.parametersModified());
}

void TestConfigFile::exportFailureKeepsExistingFile()
{
    QuietLog quiet;
    DeviceConfig config;
    config.set_master_gain(1);
    QTemporaryDir dir;

    // Into a directory that does not exist.
    ConfigFileResult result
        = exportConfig(config, dir.filePath(QStringLiteral("no/such/dir/x.tavconf")));
    QVERIFY(!result.ok);
    QVERIFY2(result.error.startsWith(QStringLiteral("Cannot write")), qPrintable(result.error));

    // Onto a path that is a directory: refused, the directory stays.
    const QString sub = dir.filePath(QStringLiteral("sub"));
    QVERIFY(QDir().mkdir(sub));
    result = exportConfig(config, sub);
    QVERIFY(!result.ok);
    QVERIFY(QFileInfo(sub).isDir());

    // A successful export replaces the file as a whole.
    const QString path = dir.filePath(QStringLiteral("keep.tavconf"));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("old contents");
    }
    QVERIFY(exportConfig(config, path).ok);
    QVERIFY(readAll(path).startsWith("{\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList {"keep.tavconf"});

    // Paths are not limited to ASCII.
    const QString unicodePath = dir.filePath(QString::fromUtf8("Gr\xC3\xBC\xC3\x9F"
                                                               "e \xE2\x82\xAC.tavconf"));
    QVERIFY(exportConfig(config, unicodePath).ok);
    DeviceConfig reread;
    QVERIFY(importConfig(reread, unicodePath).ok);
    QCOMPARE(reread.master_gain(), uint8_t(1));
    QVERIFY(QFile::remove(unicodePath));

    // When the new text cannot be written beside the old file (here: the temporary name would
    // be too long for the file system), the existing file stays as it was.
    const QString longPath = dir.filePath(QString(245, QChar('a')) + QStringLiteral(".tavconf"));
    {
        QFile f(longPath);
        QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(f.errorString()));
        f.write("old contents");
    }
    result = exportConfig(config, longPath);
    QVERIFY(!result.ok);
    QVERIFY2(result.error.startsWith(QStringLiteral("Cannot write")), qPrintable(result.error));
    QCOMPARE(readAll(longPath), QByteArray("old contents"));
}

QTEST_GUILESS_MAIN(TestConfigFile)
#include "tst_configfile.moc"
