// `cmake --install` into a temporary DESTDIR: the tree holds the programs, the generated
// udev rules, the menu entries with their icons, the autostart example and the AppStream
// metainfo; every program answers --version and --help without a display; the menu entries
// and the metainfo pass the distribution's validators.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int kToolMs = 120000;

struct Run
{
    bool finished = false;
    int status = -1;
    QString out;
    QString err;
};

Run run(const QString &program, const QStringList &arguments,
    const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    Run r;
    if (!process.waitForStarted())
        return r;
    r.finished = process.waitForFinished(kToolMs);
    if (!r.finished) {
        process.kill();
        process.waitForFinished();
    }
    r.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    r.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(process.readAllStandardError());
    return r;
}

QString tool(const char *name)
{
    return QStandardPaths::findExecutable(QString::fromLatin1(name));
}

} // namespace

class TestInstall : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void treeHasTheFiles_data();
    void treeHasTheFiles();
    void rulesAreTheGeneratedOnes();
    void programsAnswerWithoutDisplay_data();
    void programsAnswerWithoutDisplay();
    void desktopEntries_data();
    void desktopEntries();
    void metainfoValidates_data();
    void metainfoValidates();

private:
    QString installed(const QString &relative) const
    {
        return m_root.filePath(QStringLiteral("usr/") + relative);
    }

    QTemporaryDir m_root;
};

void TestInstall::initTestCase()
{
    QVERIFY(m_root.isValid());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DESTDIR"), m_root.path());
    const Run r = run(QStringLiteral(TAVIK_CMAKE_COMMAND),
        {QStringLiteral("--install"), QStringLiteral(TAVIK_BUILD_TREE), QStringLiteral("--prefix"),
            QStringLiteral("/usr")},
        env);
    QVERIFY2(r.finished && r.status == 0, qPrintable(r.out + r.err));
}

void TestInstall::treeHasTheFiles_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("executable");
    QTest::newRow("configurator") << "bin/tavik-configurator" << true;
    QTest::newRow("loopback") << "bin/tavik-loopback" << true;
    QTest::newRow("sim") << "bin/tavik-sim" << true;
    QTest::newRow("rules") << "lib/udev/rules.d/70-tavik-base.rules" << false;
    QTest::newRow("menu configurator")
        << "share/applications/org.tavik.Configurator.desktop" << false;
    QTest::newRow("menu loopback") << "share/applications/org.tavik.Loopback.desktop" << false;
    QTest::newRow("icon configurator")
        << "share/icons/hicolor/scalable/apps/tavik-configurator.svg" << false;
    QTest::newRow("icon loopback")
        << "share/icons/hicolor/scalable/apps/tavik-loopback.svg" << false;
    QTest::newRow("autostart example")
        << "share/doc/tavik/examples/autostart/org.tavik.Loopback.desktop" << false;
    QTest::newRow("metainfo configurator")
        << "share/metainfo/org.tavik.Configurator.metainfo.xml" << false;
    QTest::newRow("metainfo loopback") << "share/metainfo/org.tavik.Loopback.metainfo.xml" << false;
}

void TestInstall::treeHasTheFiles()
{
    QFETCH(QString, path);
    QFETCH(bool, executable);
    const QFileInfo info(installed(path));
    QVERIFY2(info.isFile(), qPrintable(info.filePath()));
    QVERIFY(info.size() > 0);
    QCOMPARE(info.isExecutable(), executable);
    // Nothing installed is writable by everybody.
    QVERIFY(!(info.permissions() & QFileDevice::WriteOther));
}

void TestInstall::rulesAreTheGeneratedOnes()
{
    QFile generated(QStringLiteral(TAVIK_UDEV_RULES_FILE));
    QFile copy(installed(QStringLiteral("lib/udev/rules.d/70-tavik-base.rules")));
    QVERIFY(generated.open(QIODevice::ReadOnly));
    QVERIFY(copy.open(QIODevice::ReadOnly));
    QCOMPARE(copy.readAll(), generated.readAll());
}

void TestInstall::programsAnswerWithoutDisplay_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("expected");
    for (const char *name : {"tavik-configurator", "tavik-loopback", "tavik-sim"}) {
        const QString program = QString::fromLatin1(name);
        QTest::newRow(qPrintable(program + QStringLiteral(" --version")))
            << program << "--version" << program;
        QTest::newRow(qPrintable(program + QStringLiteral(" --help"))) << program << "--help"
                                                                       << "Usage: ";
    }
}

void TestInstall::programsAnswerWithoutDisplay()
{
    QFETCH(QString, program);
    QFETCH(QString, option);
    QFETCH(QString, expected);
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
    const Run r = run(installed(QStringLiteral("bin/") + program), {option}, env);
    QVERIFY2(r.finished, "did not end by itself");
    QVERIFY2(r.status == 0, qPrintable(r.err));
    QVERIFY2(r.out.startsWith(expected), qPrintable(r.out));
    // The first line names the program (tavik-sim's usage line names its path).
    QVERIFY2(r.out.section(QLatin1Char('\n'), 0, 0).contains(program), qPrintable(r.out));
    // No window: nothing was stored in the settings.
    QVERIFY(QDir(home.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
}

void TestInstall::desktopEntries_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("program");
    QTest::newRow("configurator") << "share/applications/org.tavik.Configurator.desktop"
                                  << "tavik-configurator";
    QTest::newRow("loopback") << "share/applications/org.tavik.Loopback.desktop"
                              << "tavik-loopback";
    QTest::newRow("autostart") << "share/doc/tavik/examples/autostart/org.tavik.Loopback.desktop"
                               << "tavik-loopback";
}

void TestInstall::desktopEntries()
{
    QFETCH(QString, entry);
    QFETCH(QString, program);
    const QString validator = tool("desktop-file-validate");
    QVERIFY2(!validator.isEmpty(), "desktop-file-validate missing: run tools/deps.sh");
    const Run r = run(validator, {installed(entry)});
    QVERIFY2(r.finished && r.status == 0, qPrintable(r.out + r.err));
    // Output on success means hints or warnings; keep the entries clean.
    QVERIFY2(r.out.trimmed().isEmpty(), qPrintable(r.out));

    // The entry starts an installed program and shows an installed icon.
    QSettings desktop(installed(entry), QSettings::IniFormat);
    desktop.beginGroup(QStringLiteral("Desktop Entry"));
    QCOMPARE(desktop.value(QStringLiteral("Exec")).toString(), program);
    QVERIFY(QFileInfo(installed(QStringLiteral("bin/") + program)).isExecutable());
    const QString icon = desktop.value(QStringLiteral("Icon")).toString();
    QVERIFY(QFileInfo::exists(
        installed(QStringLiteral("share/icons/hicolor/scalable/apps/%1.svg").arg(icon))));
}

void TestInstall::metainfoValidates_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("configurator") << "share/metainfo/org.tavik.Configurator.metainfo.xml";
    QTest::newRow("loopback") << "share/metainfo/org.tavik.Loopback.metainfo.xml";
}

void TestInstall::metainfoValidates()
{
    QFETCH(QString, file);
    const QString validator = tool("appstreamcli");
    QVERIFY2(!validator.isEmpty(), "appstreamcli missing: run tools/deps.sh");
    const Run r
        = run(validator, {QStringLiteral("validate"), QStringLiteral("--no-net"), installed(file)});
    QVERIFY2(r.finished && r.status == 0, qPrintable(r.out + r.err));
}

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
