// SIGTERM to a running tavik-loopback that forwards a held button: the base gets the
// neutral report (everything released) and the program ends with status 0. The program
// runs as a process of its own; its hidraw base is this test's emulated device.
#include "mockbase.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {

const QByteArray kNeutral = QByteArray::fromHex("4000000000000000 00FFFF");
const QByteArray kButtonZero = QByteArray::fromHex("4001000000000000 00FFFF");
constexpr int kWaitMs = 20000;

} // namespace

class TestLoopbackSignal : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void terminationReleasesTheButtons_data();
    void terminationReleasesTheButtons();

private:
    UMockdevTestbed *m_testbed = nullptr;
    std::unique_ptr<MockHidDevice> m_base;
};

void TestLoopbackSignal::initTestCase()
{
    m_testbed = umockdev_testbed_new();
    QVERIFY(umockdev_in_mock_environment());
    m_base = std::make_unique<MockHidDevice>(
        m_testbed, 0, QStringLiteral("Brontel FFB Base"), QStringLiteral("SIG0001"));
}

void TestLoopbackSignal::cleanupTestCase()
{
    m_base.reset();
    g_clear_object(&m_testbed);
}

void TestLoopbackSignal::terminationReleasesTheButtons_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGHUP") << int(SIGHUP);
}

void TestLoopbackSignal::terminationReleasesTheButtons()
{
    QFETCH(int, signalNumber);
    QTemporaryDir home;
    QVERIFY(home.isValid());
    m_base->drain();

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QStringLiteral(TAVIK_LOOPBACK_SIGNAL_HELPER), {m_base->serial()});
    QVERIFY(program.waitForStarted());

    // The held button reaches the base.
    QByteArray report;
    QDeadlineTimer pressed(kWaitMs);
    while (report != kButtonZero && !pressed.hasExpired() && program.state() == QProcess::Running)
        report = m_base->takeReport(11, 200);
    QCOMPARE(report.toHex(' '), kButtonZero.toHex(' '));

    QVERIFY(::kill(pid_t(program.processId()), signalNumber) == 0);
    QVERIFY(QTest::qWaitFor([&] { return program.state() == QProcess::NotRunning; }, kWaitMs));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);

    // Whatever came after the press, the last report releases everything.
    QByteArray last;
    for (QByteArray next; !(next = m_base->takeReport(11, 500)).isEmpty();)
        last = next;
    QCOMPARE(last.toHex(' '), kNeutral.toHex(' '));
}

QTEST_GUILESS_MAIN(TestLoopbackSignal)
#include "tst_loopbacksignal.moc"
