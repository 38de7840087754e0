// The serial port manager over real pseudo-terminals, reached through the port override
// (a symlink the test re-points, as a re-plugged base reappears at the same path).

#include "linktesting.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cstdio>

using namespace linktest;

class TestSerialPortLink : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void framesTravelBothWays();
    void waitForReplyReturnsWholeReply();
    void waitForReplyTimesOut();
    void waitForReplyEndsWhenPortIsLost();
    void packetsReachNestedLoopsInOrder();
    void lossAndReconnection();
    void busyPortIsReportedOnce();
    void overlongPacketIsRefused();

private:
    bool pointLinkTo(const QString &target);
    bool connectManager(RecordingManager &manager);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_link;
    Pty m_pty;
};

void TestSerialPortLink::initTestCase()
{
    captureLog();
}

void TestSerialPortLink::init()
{
    initPeer();
    logLines().clear();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_link = m_dir->filePath(QStringLiteral("base"));
    QVERIFY(m_pty.open());
    QVERIFY(pointLinkTo(m_pty.slave));
}

void TestSerialPortLink::cleanup()
{
    m_pty.close();
    m_dir.reset();
}

bool TestSerialPortLink::pointLinkTo(const QString &target)
{
    // Replace the link atomically, as a device node reappears.
    const QByteArray next = (m_link + QStringLiteral(".next")).toLocal8Bit();
    ::unlink(next.constData());
    return ::symlink(target.toLocal8Bit().constData(), next.constData()) == 0
        && std::rename(next.constData(), m_link.toLocal8Bit().constData()) == 0;
}

bool TestSerialPortLink::connectManager(RecordingManager &manager)
{
    manager.setPortOverride(m_link);
    manager.start();
    return manager.isConnected();
}

void TestSerialPortLink::framesTravelBothWays()
{
    RecordingManager manager;
    QSignalSpy connected(&manager, &SerialPortManager::connectedChanged);
    QVERIFY(connectManager(manager));
    QCOMPARE(connected.count(), 1);
    QCOMPARE(connected.at(0).at(0).toBool(), true);
    QVERIFY(manager.property("connected").toBool());

    // Two frames in one write, the second one split from the first by noise.
    const QByteArray first = QByteArray::fromHex("0501020300");
    const QByteArray second = QByteArray::fromHex("0a00000000ff");
    QVERIFY(writeAll(m_pty.master, frame(first) + QByteArray::fromHex("112233") + frame(second)));
    QTRY_COMPARE(manager.packets.size(), 2);
    QCOMPARE(manager.packets.at(0), first);
    QCOMPARE(manager.packets.at(1), second);

    const QByteArray request = QByteArray::fromHex("03");
    QVERIFY(
        manager.sendPacket(reinterpret_cast<const uint8_t *>(request.constData()), request.size())
        > 0);
    QTRY_VERIFY((feedPeer(drain(m_pty.master)), !peerPackets().isEmpty()));
    QCOMPARE(peerPackets(), QList<QByteArray> {request});
}

void TestSerialPortLink::waitForReplyReturnsWholeReply()
{
    RecordingManager manager;
    QVERIFY(connectManager(manager));

    const QByteArray other = QByteArray::fromHex("11aa");
    const QByteArray reply = QByteArray::fromHex("12aa00bbcc");
    QTimer::singleShot(30, &manager,
        [this, other, reply] { QVERIFY(writeAll(m_pty.master, frame(other) + frame(reply))); });
    const QByteArray result = manager.waitForReply(18, 2000);
    QCOMPARE(result, reply);
    // Every packet reaches the handler, the awaited reply included.
    QCOMPARE(manager.packets, (QList<QByteArray> {other, reply}));
}

void TestSerialPortLink::waitForReplyTimesOut()
{
    RecordingManager manager;
    QVERIFY(connectManager(manager));

    // A packet of another type does not end the wait.
    const QByteArray other = QByteArray::fromHex("1101");
    QTimer::singleShot(
        20, &manager, [this, other] { QVERIFY(writeAll(m_pty.master, frame(other))); });
    QElapsedTimer elapsed;
    elapsed.start();
    const QByteArray result = manager.waitForReply(18, 100);
    QVERIFY(result.isEmpty());
    QVERIFY2(elapsed.elapsed() >= 90, "returned before the timeout");
    QCOMPARE(manager.packets, QList<QByteArray> {other});
}

void TestSerialPortLink::waitForReplyEndsWhenPortIsLost()
{
    RecordingManager manager;
    QVERIFY(connectManager(manager));

    bool watchdog = false;
    QTimer::singleShot(30, &manager, [this] { m_pty.close(); });
    // Without a timeout only the loss can end the wait; the watchdog keeps a failure finite.
    QTimer::singleShot(15000, &manager, [&watchdog] {
        watchdog = true;
        QCoreApplication::exit(1);
    });
    const QByteArray result = manager.waitForReply(18, 0);
    QVERIFY(!watchdog);
    QVERIFY(result.isEmpty());
    QVERIFY(!manager.isConnected());
}

namespace {

// Waits for a reply from inside its packet handler, as a handler that raises a modal box does.
class NestingManager : public RecordingManager
{
public:
    QByteArray nestedReply;

protected:
    void handlePacket(uint8_t *data, int length) override
    {
        RecordingManager::handlePacket(data, length);
        if (length > 0 && data[0] == 0x20)
            nestedReply = waitForReply(0x21, 5000);
    }
};

} // namespace

void TestSerialPortLink::packetsReachNestedLoopsInOrder()
{
    NestingManager manager;
    manager.setPortOverride(m_link);
    manager.start();
    QVERIFY(manager.isConnected());

    const QByteArray outer = QByteArray::fromHex("2001");
    const QByteArray split = QByteArray::fromHex("05aabbccdd");
    const QByteArray reply = QByteArray::fromHex("2100ff");
    const QByteArray splitFrame = frame(split);
    // The bytes after the outer packet, and the rest that arrives while its handler waits,
    // are decoded in stream order inside the handler's wait.
    QVERIFY(writeAll(m_pty.master, frame(outer) + splitFrame.left(3)));
    QTimer::singleShot(100, &manager, [this, splitFrame, reply] {
        QVERIFY(writeAll(m_pty.master, splitFrame.mid(3) + frame(reply)));
    });
    QTRY_COMPARE(manager.packets.size(), 3);
    QCOMPARE(manager.packets, (QList<QByteArray> {outer, split, reply}));
    QCOMPARE(manager.nestedReply, reply);
}

void TestSerialPortLink::lossAndReconnection()
{
    RecordingManager manager;
    QSignalSpy connected(&manager, &SerialPortManager::connectedChanged);
    QVERIFY(connectManager(manager));

    m_pty.close();
    // The closed pty's number may be handed to a test running alongside: point the link at
    // a path that stays missing, as an unplugged base's port does.
    QVERIFY(pointLinkTo(m_dir->filePath(QStringLiteral("unplugged"))));
    QTRY_COMPARE(connected.count(), 2);
    QCOMPARE(connected.at(1).at(0).toBool(), false);
    QVERIFY(!manager.isConnected());
    QCOMPARE(countLines(QStringLiteral("default"), QStringLiteral("error ")), 1);

    // While the path leads nowhere the manager keeps trying, and says so once.
    QTest::qWait(2200);
    QCOMPARE(connected.count(), 2);
    QCOMPARE(
        countLines(QStringLiteral("tavik.link"), QStringLiteral("Cannot open serial port ")), 1);
    QVERIFY(countLines(QStringLiteral("default"), QStringLiteral("Check ports")) >= 2);

    QVERIFY(m_pty.open());
    QVERIFY(pointLinkTo(m_pty.slave));
    QTRY_VERIFY_WITH_TIMEOUT(manager.isConnected(), 1500);
    QCOMPARE(connected.count(), 3);
    QCOMPARE(connected.at(2).at(0).toBool(), true);
    QCOMPARE(countLines(QStringLiteral("default"), QStringLiteral("error ")), 1);

    const QByteArray payload = QByteArray::fromHex("0c");
    QVERIFY(writeAll(m_pty.master, frame(payload)));
    QTRY_COMPARE(manager.packets, QList<QByteArray> {payload});
}

void TestSerialPortLink::busyPortIsReportedOnce()
{
    // Another program holds the port.
    QSerialPort holder(m_link);
    QVERIFY(holder.open(QIODevice::ReadWrite));

    RecordingManager manager;
    QSignalSpy connected(&manager, &SerialPortManager::connectedChanged);
    QVERIFY(!connectManager(manager));
    QTest::qWait(2200);
    QCOMPARE(connected.count(), 0);
    QCOMPARE(
        countLines(QStringLiteral("tavik.link"), QStringLiteral("Cannot open serial port ")), 1);
    bool named = false;
    for (const LogLine &line : qAsConst(logLines()))
        if (line.category == QLatin1String("tavik.link") && line.text.contains(m_link))
            named = true;
    QVERIFY(named);

    holder.close();
    QTRY_VERIFY_WITH_TIMEOUT(manager.isConnected(), 1500);
    QCOMPARE(connected.count(), 1);
}

void TestSerialPortLink::overlongPacketIsRefused()
{
    RecordingManager manager;
    // While disconnected a packet is dropped silently.
    const QByteArray small = QByteArray::fromHex("03");
    QCOMPARE(manager.sendPacket(reinterpret_cast<const uint8_t *>(small.constData()), 1), 0);
    QCOMPARE(countLines(QStringLiteral("tavik.link"), QString()), 0);

    QVERIFY(connectManager(manager));
    const QByteArray big(1100, '\x02');
    QCOMPARE(manager.sendPacket(reinterpret_cast<const uint8_t *>(big.constData()), big.size()),
        kPacketLinkTooLong);
    int warnings = 0;
    for (const LogLine &line : qAsConst(logLines()))
        if (line.type == QtWarningMsg && line.category == QLatin1String("tavik.link"))
            ++warnings;
    QCOMPARE(warnings, 1);
    QTest::qWait(100);
    QVERIFY(drain(m_pty.master).isEmpty());
}

QTEST_MAIN(TestSerialPortLink)
#include "tst_serialportlink.moc"
