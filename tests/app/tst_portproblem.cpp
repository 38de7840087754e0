// A base whose port is found but cannot be opened: the window's status bar says why and what
// fixes it, once, and the message goes when the port opens. The port is a real pty served by
// the simulated base; access is denied by the node's mode (dropping root's privileges first
// when the tests run as root), and "busy" is a second program-like open of the same port.

#include "datapacket.h"
#include "deviceconfig.h"
#include "effectlistmodel.h"
#include "mainwindow.h"
#include "portproblemnotice.h"
#include "simulatedbase.h"
#include "tavikcomm.h"

#include <QSerialPort>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// "nobody": no rights on a root-owned node of mode 0600.
constexpr uid_t kUnprivilegedUid = 65534;
// Long enough for two more port checks (once a second).
constexpr int kTwoChecksMs = 2200;

} // namespace

class TestPortProblem : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void problemIsExplainedOnce_data();
    void problemIsExplainedOnce();
    void otherFailuresShowNothing();

private:
    QTemporaryDir m_home;
};

void TestPortProblem::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.path()));
    qRegisterMetaType<SerialPortManager::OpenProblem>();
}

void TestPortProblem::problemIsExplainedOnce_data()
{
    QTest::addColumn<int>("problem");
    QTest::addColumn<QString>("fix");
    QTest::newRow("access denied")
        << int(SerialPortManager::OpenProblem::AccessDenied) << "install the udev rules";
    QTest::newRow("busy") << int(SerialPortManager::OpenProblem::Busy)
                          << "another program holds the port";
}

void TestPortProblem::problemIsExplainedOnce()
{
    QFETCH(int, problem);
    QFETCH(QString, fix);
    const auto expected = SerialPortManager::OpenProblem(problem);

    SimulatedBase sim;
    QString slave;
    QVERIFY(sim.open(&slave));
    DataPacket data;
    DeviceConfig config;
    EffectListModel effects;
    TavikComm comm(&config, &data, &effects);
    MainWindow window(&config, &comm, &data, &effects);
    window.show();
    QSignalSpy messages(window.statusBar(), &QStatusBar::messageChanged);

    QSerialPort other(slave);
    struct stat original = {};
    QCOMPARE(::stat(QFile::encodeName(slave).constData(), &original), 0);
    const bool root = ::geteuid() == 0;
    if (expected == SerialPortManager::OpenProblem::AccessDenied) {
        // Root opens anything; the owner of a mode-0000 node does not.
        QCOMPARE(::chmod(QFile::encodeName(slave).constData(), root ? 0600 : 0000), 0);
        if (root)
            QCOMPARE(::seteuid(kUnprivilegedUid), 0);
    } else {
        QVERIFY(other.open(QIODevice::ReadWrite));
    }

    comm.setPortOverride(slave);
    comm.start();
    if (expected == SerialPortManager::OpenProblem::AccessDenied && root)
        QCOMPARE(::seteuid(0), 0);
    QVERIFY(!comm.isConnected());

    const QString text = PortProblemNotice::text(slave, expected);
    QVERIFY2(text.contains(fix), qPrintable(text));
    QVERIFY(text.contains(slave));
    QCOMPARE(window.statusBar()->currentMessage(), text);

    if (expected == SerialPortManager::OpenProblem::Busy) {
        // The port is retried every second; the message is not repeated.
        QTest::qWait(kTwoChecksMs);
        QVERIFY(!comm.isConnected());
        int shown = 0;
        for (const QList<QVariant> &m : messages)
            shown += m.at(0).toString() == text ? 1 : 0;
        QCOMPARE(shown, 1);
        QCOMPARE(window.statusBar()->currentMessage(), text);
        other.close();
    } else {
        QCOMPARE(::chmod(QFile::encodeName(slave).constData(), original.st_mode & 07777), 0);
    }

    // Fixed: the next check opens the port and the explanation goes.
    QVERIFY(QTest::qWaitFor([&] { return comm.isConnected(); }, 10000));
    QVERIFY(window.statusBar()->currentMessage() != text);
}

void TestPortProblem::otherFailuresShowNothing()
{
    DataPacket data;
    DeviceConfig config;
    EffectListModel effects;
    TavikComm comm(&config, &data, &effects);
    MainWindow window(&config, &comm, &data, &effects);
    QSignalSpy unavailable(&comm, &SerialPortManager::portUnavailable);
    const QString missing = m_home.filePath(QStringLiteral("no-such-port"));
    comm.setPortOverride(missing);
    comm.start();
    QCOMPARE(unavailable.size(), 1);
    QCOMPARE(unavailable.at(0).at(1).value<SerialPortManager::OpenProblem>(),
        SerialPortManager::OpenProblem::Other);
    QVERIFY(PortProblemNotice::text(missing, SerialPortManager::OpenProblem::Other).isEmpty());
    QVERIFY(window.statusBar()->currentMessage().isEmpty());
}

QTEST_MAIN(TestPortProblem)
#include "tst_portproblem.moc"
