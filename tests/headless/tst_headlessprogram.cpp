// The whole program on the command-line road: tavik-configurator started with -config or
// -revert ends by itself with the right status and message and never waits on a window or a
// dialog. The bases are simulated on an emulated USB bus that the child process shares.
#include "usbbasefixture.h"

#include "firmwaremodel.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int kMasterGain = 17; // byte offset of master_gain in the image
// Far longer than the program needs; a window or a dialog would keep it running past this.
constexpr int kFinishMs = 60000;

struct Outcome
{
    bool finished = false;
    int status = -1;
    QByteArray out;
    QByteArray err;
};

} // namespace

class TestHeadlessProgram : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void missingFile_data();
    void missingFile();
    void noBase_data();
    void noBase();
    void windowRoadWithoutDisplayEndsAtOnce_data();
    void windowRoadWithoutDisplayEndsAtOnce();
    void unreachableDisplay();
    void appliesFile();
    void revert();
    void configLeavesABackup();
    void dumpAndDiff();
    void failedDumpKeepsThePreviousFile();
    void dumpWithoutBase();

private:
    // display false: DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM removed, as under SSH,
    // cron or a system service.
    // unreachableDisplay: DISPLAY names an X server that does not exist (a stale value in an
    // SSH session), which Qt's set-up would abort on.
    Outcome runProgram(
        const QStringList &args, bool display = true, bool unreachableDisplay = false);
    static void addDisplayColumn();
    QString writeFile(const QByteArray &content);

    std::unique_ptr<UsbBaseFixture> m_bus;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_fileSizeLimit; // ulimit -f for the program, in blocks; empty: none
};

void TestHeadlessProgram::init()
{
    m_bus = std::make_unique<UsbBaseFixture>();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestHeadlessProgram::cleanup()
{
    m_fileSizeLimit.clear();
    m_bus.reset();
    m_dir.reset();
}

QString TestHeadlessProgram::writeFile(const QByteArray &content)
{
    const QString path = m_dir->filePath(QStringLiteral("profile.tavconf"));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
        qWarning("cannot write %s", qPrintable(path));
    return path;
}

void TestHeadlessProgram::addDisplayColumn()
{
    QTest::addColumn<bool>("display");
    QTest::newRow("offscreen") << true;
    QTest::newRow("no display") << false;
}

Outcome TestHeadlessProgram::runProgram(
    const QStringList &args, bool display, bool unreachableDisplay)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    if (!display)
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
    if (unreachableDisplay)
        env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":97"));
    // The settings the program writes at start stay in the test's own directory.
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir->filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), m_dir->filePath(QStringLiteral("data")));
    process.setProcessEnvironment(env);
    if (!m_fileSizeLimit.isEmpty()) {
        // Writes beyond the limit fail (EFBIG) instead of ending the program.
        process.start(QStringLiteral("/bin/sh"),
            QStringList {QStringLiteral("-c"),
                QStringLiteral("trap '' XFSZ; ulimit -f %1; exec \"$0\" \"$@\"")
                    .arg(m_fileSizeLimit),
                QStringLiteral(TAVIK_CONFIGURATOR)}
                + args);
    } else {
        process.start(QStringLiteral(TAVIK_CONFIGURATOR), args);
    }
    Outcome o;
    if (!process.waitForStarted())
        return o;
    o.finished = process.waitForFinished(kFinishMs);
    if (!o.finished) {
        process.kill();
        process.waitForFinished();
    }
    o.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    o.out = process.readAllStandardOutput();
    o.err = process.readAllStandardError();
    return o;
}

void TestHeadlessProgram::missingFile_data()
{
    addDisplayColumn();
}

void TestHeadlessProgram::missingFile()
{
    QFETCH(bool, display);
    const Outcome o = runProgram({"-config", m_dir->filePath("absent.tavconf")}, display);
    QVERIFY2(o.finished, "the program did not end by itself");
    QCOMPARE(o.status, 1);
    QVERIFY2(o.err.contains("The config file could not be found!"), o.err.constData());
}

void TestHeadlessProgram::noBase_data()
{
    addDisplayColumn();
}

void TestHeadlessProgram::noBase()
{
    QFETCH(bool, display);
    const Outcome o = runProgram({"-revert", "-serial", "TVK-9999"}, display);
    QVERIFY2(o.finished, "the program did not end by itself");
    QCOMPARE(o.status, 1);
    QVERIFY2(o.err.contains("No base found with serial number TVK-9999"), o.err.constData());
    // -config without a base, too.
    const Outcome c = runProgram({"-config", writeFile(R"({"config": {}})")}, display);
    QVERIFY2(c.finished, "the program did not end by itself");
    QCOMPARE(c.status, 1);
    QVERIFY2(c.err.contains("No base found"), c.err.constData());
}

void TestHeadlessProgram::windowRoadWithoutDisplayEndsAtOnce_data()
{
    QTest::addColumn<QStringList>("args");
    // The exact scan takes these to the window road (no file name; "-revert" taken as the
    // serial number); a script must not hang or abort on them.
    QTest::newRow("config without file") << QStringList {"-serial", "TVK-0001", "-config"};
    QTest::newRow("revert as serial") << QStringList {"-serial", "-revert"};
    QTest::newRow("no options") << QStringList {};
}

void TestHeadlessProgram::unreachableDisplay()
{
    const Outcome line = runProgram({"-config", m_dir->filePath("absent.tavconf")}, false, true);
    QVERIFY2(line.finished, "the program did not end by itself");
    QCOMPARE(line.status, 1);
    QVERIFY2(line.err.contains("The config file could not be found!"), line.err.constData());
    const Outcome window = runProgram({}, false, true);
    QVERIFY2(window.finished, "the program did not end by itself");
    QCOMPARE(window.status, 1);
    QVERIFY2(window.err.contains("no display available"), window.err.constData());
}

void TestHeadlessProgram::windowRoadWithoutDisplayEndsAtOnce()
{
    QFETCH(QStringList, args);
    const int base = m_bus->addBase(0x2001, QStringLiteral("TVK-0001"));
    QVERIFY(base >= 0);
    const Outcome o = runProgram(args, false);
    QVERIFY2(o.finished, "the program did not end by itself");
    QCOMPARE(o.status, 1);
    QVERIFY2(o.err.contains("no display available"), o.err.constData());
    // The window road never touches USB.
    QCOMPARE(m_bus->vendorRequests(base).size(), 0);
}

void TestHeadlessProgram::appliesFile()
{
    const int base = m_bus->addBase(0x2010, QStringLiteral("TVK-0042"));
    QVERIFY(base >= 0);
    QByteArray expected = m_bus->activeImage(base);
    expected[kMasterGain] = char(33);

    const Outcome o = runProgram(
        {"-serial", "TVK-0042", "-config", writeFile(R"({"config": {"master_gain": 33}})")});
    QVERIFY2(o.finished, "the program did not end by itself");
    QVERIFY2(o.status == 0, o.err.constData());
    QCOMPARE(m_bus->activeImage(base), expected);
    QCOMPARE(m_bus->vendorRequests(base).size(), 2);
}

void TestHeadlessProgram::revert()
{
    const int base = m_bus->addBase(0x2001, QStringLiteral("TVK-0001"));
    QVERIFY(base >= 0);
    QByteArray stored;
    m_bus->withModel(base, [&](FirmwareModel &m) {
        stored = m.storedImage();
        QByteArray changed = stored;
        changed[kMasterGain] = char(5);
        m.applyImage(changed);
    });

    const Outcome o = runProgram({"-revert"});
    QVERIFY2(o.finished, "the program did not end by itself");
    QVERIFY2(o.status == 0, o.err.constData());
    QCOMPARE(m_bus->activeImage(base), stored);
}

void TestHeadlessProgram::configLeavesABackup()
{
    const int base = m_bus->addBase(0x2010, QStringLiteral("TVK-0042"));
    QVERIFY(base >= 0);
    const QByteArray before = m_bus->activeImage(base);
    const Outcome o = runProgram({"-config", writeFile(R"({"config": {"master_gain": 33}})")});
    QVERIFY2(o.status == 0, o.err.constData());
    const QDir folder(m_dir->filePath(QStringLiteral("data/Tavik/BrontelFFB/backups/TVK-0042")));
    const QStringList files = folder.entryList(QDir::Files);
    QCOMPARE(files.size(), 1);
    QFile f(folder.filePath(files.first()));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray backup = f.readAll();
    QVERIFY(backup.contains("\"serial_number\": \"TVK-0042\""));
    QVERIFY(backup.contains(
        QByteArray("\"master_gain\": ") + QByteArray::number(uint8_t(before[kMasterGain]))));
}

void TestHeadlessProgram::dumpAndDiff()
{
    const int base = m_bus->addBase(0x2010, QStringLiteral("TVK-0042"));
    QVERIFY(base >= 0);
    const int gain = uint8_t(m_bus->activeImage(base)[kMasterGain]);

    Outcome o = runProgram({"--dump"});
    QVERIFY2(o.finished && o.status == 0, o.err.constData());
    QVERIFY(o.out.startsWith("{\n  \"config\": {"));
    QVERIFY(o.out.contains("\"serial_number\": \"TVK-0042\""));
    QVERIFY(o.out.contains(QByteArray("\"master_gain\": ") + QByteArray::number(gain) + ','));
    const QString dumped = writeFile(o.out);

    o = runProgram({"--diff", dumped});
    QVERIFY2(o.finished && o.status == 0, o.err.constData());
    QCOMPARE(o.out, QByteArray());

    const int other = gain == 10 ? 11 : 10;
    o = runProgram({"-serial", "TVK-0042", "--diff",
        writeFile(QStringLiteral("{\"config\": {\"master_gain\": %1}}").arg(other).toUtf8())});
    QVERIFY2(o.finished, "the program did not end by itself");
    QCOMPARE(o.status, 3);
    QCOMPARE(o.out, QStringLiteral("master_gain: %1 -> %2\n").arg(gain).arg(other).toUtf8());
    // Nothing was written to the base.
    for (const auto &r : m_bus->vendorRequests(base))
        QCOMPARE(int(r.requestType), 0xC0);

    o = runProgram({"--diff"});
    QCOMPARE(o.status, 1);
    QVERIFY2(o.err.contains("--diff needs the file"), o.err.constData());
}

void TestHeadlessProgram::failedDumpKeepsThePreviousFile()
{
    const int base = m_bus->addBase(0x2010, QStringLiteral("TVK-0042"));
    QVERIFY(base >= 0);
    const QString file = m_dir->filePath(QStringLiteral("previous.tavconf"));
    const QByteArray previous(300, 'p');
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(previous) == previous.size());
    }
    // Room for the small previous file, not for a whole dump.
    m_fileSizeLimit = QStringLiteral("4");
    const Outcome o = runProgram({"--dump", file});
    QVERIFY2(o.finished, "the program did not end by itself");
    QCOMPARE(o.status, 1);
    QVERIFY2(o.err.contains(QByteArray("Cannot write ") + file.toUtf8()), o.err.constData());
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), previous);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files),
        QStringList(QStringLiteral("previous.tavconf")));
}

void TestHeadlessProgram::dumpWithoutBase()
{
    const Outcome o = runProgram({"--dump", m_dir->filePath("none.tavconf")});
    QVERIFY2(o.finished, "the program did not end by itself");
    QCOMPARE(o.status, 1);
    QVERIFY2(o.err.contains("No base found"), o.err.constData());
    QVERIFY(!QFile::exists(m_dir->filePath("none.tavconf")));
}

QTEST_GUILESS_MAIN(TestHeadlessProgram)
#include "tst_headlessprogram.moc"
