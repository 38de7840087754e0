// Start-up of the configurator: the application set-up shared with the program, its options,
// and the program itself on its command-line road.

#include "deviceconfig.h"
#include "simulatedbase.h"
#include "startup.h"

#include <QApplication>
#include <QImage>
#include <QProcess>
#include <QSettings>
#include <QStyle>
#include <QTemporaryDir>
#include <QtTest>

#include <clocale>
#include <cstdint>
#include <cstdio>

// A record with fixed-width integer properties, as the configuration and telemetry records
// declare them.
class FixedWidthRecord : public QObject
{
    Q_OBJECT
    Q_PROPERTY(uint8_t small READ small WRITE setSmall)
    Q_PROPERTY(int8_t tiny READ tiny WRITE setTiny)
    Q_PROPERTY(uint64_t wide READ wide WRITE setWide)

public:
    uint8_t small() const { return m_small; }
    void setSmall(uint8_t value) { m_small = value; }
    int8_t tiny() const { return m_tiny; }
    void setTiny(int8_t value) { m_tiny = value; }
    uint64_t wide() const { return m_wide; }
    void setWide(uint64_t value) { m_wide = value; }

private:
    uint8_t m_small = 0;
    int8_t m_tiny = 0;
    uint64_t m_wide = 0;
};

class TestStartup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void configureWritesPathAndSetsUp();
    void fixedWidthPropertiesByName();
    void parseOptions_data();
    void parseOptions();
    void headlessFailureEndsWithStatusOne();
    void windowedRoadConnectsThroughEnvironmentPort();
    void displayAvailability();

private:
    QString programPath() const;
    // This run's own settings store, so another run at the same time cannot change "path".
    QTemporaryDir m_settingsHome;
};

void TestStartup::initTestCase()
{
    QVERIFY(m_settingsHome.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_settingsHome.path()));
    Startup::setIdentity();
    QCOMPARE(QCoreApplication::organizationName(), QStringLiteral("Tavik"));
    QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("BrontelFFB"));
    QVERIFY(QSettings().fileName().startsWith(m_settingsHome.path()));
    Startup::configureApplication();
}

void TestStartup::configureWritesPathAndSetsUp()
{
    QCOMPARE(QSettings().value(QStringLiteral("path")).toString(),
        QCoreApplication::applicationFilePath());
    QVERIFY(QFileInfo(QSettings().value(QStringLiteral("path")).toString()).isAbsolute());
    QCOMPARE(QApplication::style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay), 100);
    QVERIFY(QApplication::style()->inherits("ProxyStyle"));

    // Numbers from the C library keep a decimal point whatever the system locale.
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", 1.5);
    QCOMPARE(QByteArray(text), QByteArray("1.50"));
    QCOMPARE(QByteArray(std::setlocale(LC_NUMERIC, nullptr)), QByteArray("C"));
}

void TestStartup::fixedWidthPropertiesByName()
{
    for (const char *name :
        {"int8_t", "uint8_t", "int16_t", "uint16_t", "int32_t", "uint32_t", "int64_t", "uint64_t"})
        QVERIFY2(QMetaType::type(name) != QMetaType::UnknownType, name);
    QCOMPARE(QMetaType::type("uint8_t"), int(QMetaType::UChar));
    QCOMPARE(QMetaType::type("int8_t"), int(QMetaType::SChar));
    QCOMPARE(QMetaType::type("uint64_t"), int(QMetaType::ULongLong));

    FixedWidthRecord record;
    QVERIFY(record.setProperty("small", QVariant(200)));
    QCOMPARE(record.small(), uint8_t(200));
    QCOMPARE(record.property("small").toInt(), 200);
    QVERIFY(record.setProperty("tiny", QVariant(-5)));
    QCOMPARE(record.property("tiny").toInt(), -5);
    QVERIFY(record.setProperty("wide", QVariant(quint64(1) << 47)));
    QCOMPARE(record.property("wide").toULongLong(), quint64(1) << 47);

    // The configuration record's parameters are declared the same way.
    DeviceConfig config;
    QVERIFY(config.setProperty("master_gain", QVariant(200)));
    QCOMPARE(config.property("master_gain").toInt(), 200);
    QCOMPARE(QByteArray(config.metaObject()
                            ->property(config.metaObject()->indexOfProperty("master_gain"))
                            .typeName()),
        QByteArray("uint8_t"));
}

void TestStartup::parseOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("environment");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("screenshot");
    QTest::newRow("none") << QStringList {"prog"} << ""
                          << ""
                          << "";
    QTest::newRow("environment") << QStringList {"prog"} << "/dev/pts/9"
                                 << "/dev/pts/9"
                                 << "";
    QTest::newRow("option wins") << QStringList {"prog", "--port", "/tmp/a"} << "/dev/pts/9"
                                 << "/tmp/a"
                                 << "";
    QTest::newRow("last without value")
        << QStringList {"prog", "--screenshot", "s.png", "--port"} << ""
        << ""
        << "s.png";
    QTest::newRow("program name is no option") << QStringList {"--port", "x"} << ""
                                               << ""
                                               << "";
    QTest::newRow("headless options skipped")
        << QStringList {"prog", "-config", "f.tavconf", "--port", "/tmp/b"} << ""
        << "/tmp/b"
        << "";
}

void TestStartup::parseOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, environment);
    QFETCH(QString, port);
    QFETCH(QString, screenshot);
    const Startup::Options options = Startup::parseOptions(arguments, environment);
    QCOMPARE(options.port, port);
    QCOMPARE(options.screenshot, screenshot);
}

QString TestStartup::programPath() const
{
    return qEnvironmentVariable("TAVIK_BUILD_DIR") + QStringLiteral("/app/tavik-configurator");
}

void TestStartup::headlessFailureEndsWithStatusOne()
{
    if (!QFileInfo::exists(programPath()))
        QSKIP("tavik-configurator not built");
    QTemporaryDir home;
    QVERIFY(home.isValid());
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    program.setProcessEnvironment(environment);
    // With no base on the bus or a missing file the command line fails; either way no window
    // opens, the message goes to standard error and the status is 1.
    program.start(programPath(),
        {QStringLiteral("-config"), home.filePath(QStringLiteral("missing.tavconf"))});
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 1);
    QVERIFY(!program.readAllStandardError().trimmed().isEmpty());

    // "path" is written on this road too.
    QSettings written(
        home.filePath(QStringLiteral("config/Tavik/BrontelFFB.conf")), QSettings::IniFormat);
    QCOMPARE(written.value(QStringLiteral("path")).toString(),
        QFileInfo(programPath()).canonicalFilePath());
}

void TestStartup::windowedRoadConnectsThroughEnvironmentPort()
{
    if (!QFileInfo::exists(programPath()))
        QSKIP("tavik-configurator not built");
    QTemporaryDir home;
    QVERIFY(home.isValid());
    SimulatedBase sim;
    sim.setTelemetryRate(50);
    QString slave;
    QVERIFY(sim.open(&slave));

    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("TAVIK_PORT"), slave);
    program.setProcessEnvironment(environment);
    const QString picture = home.filePath(QStringLiteral("window.png"));
    // The window opens, the base's configuration arrives over the port named by TAVIK_PORT,
    // the picture is taken and the program ends by itself with status 0.
    program.start(programPath(), {QStringLiteral("--screenshot"), picture});
    QVERIFY(program.waitForStarted());
    // The simulated base is served by this process's event loop meanwhile.
    QVERIFY(QTest::qWaitFor([&] { return program.state() == QProcess::NotRunning; }, 60000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QVERIFY(sim.model().receivedCount(3) >= 1);
    QVERIFY(!QImage(picture).isNull());

    QSettings written(
        home.filePath(QStringLiteral("config/Tavik/BrontelFFB.conf")), QSettings::IniFormat);
    QCOMPARE(written.value(QStringLiteral("path")).toString(),
        QFileInfo(programPath()).canonicalFilePath());
    // Geometry and state were saved at close.
    QVERIFY(!written.value(QStringLiteral("geometry")).toByteArray().isEmpty());
}

void TestStartup::displayAvailability()
{
    // The tests run under the offscreen platform, where no one could answer a box.
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("offscreen"));
    QVERIFY(!Startup::displayAvailable());
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
