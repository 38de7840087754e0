// The serial port manager's read path when a packet handler runs a nested event loop: bytes the
// manager has already taken from the port must reach that loop, not wait for more bytes to come.

#include "linkpeer.h"

#include <QEventLoop>
#include <QTimer>
#include <QtTest>

#include <unistd.h>

namespace {

using namespace linkpeer;

// Packet 0x20 makes the handler wait for packet 0x21 (as spiRead does); packet 0x30 makes it
// run a local loop until packet 0x31 has arrived (as a modal box does).
class NestingManager : public RecordingManager
{
public:
    QByteArray nestedReply;
    bool loopSawPacket = false;
    // Written to the base's end by the handler of packet 0x40.
    int master = -1;
    QByteArray lateFrame;

protected:
    void handlePacket(uint8_t *data, int length) override
    {
        RecordingManager::handlePacket(data, length);
        if (length < 1)
            return;
        if (data[0] == 0x20) {
            nestedReply = waitForReply(0x21, 5000);
        } else if (data[0] == 0x30) {
            QEventLoop loop;
            QTimer poll;
            QObject::connect(&poll, &QTimer::timeout, &loop, [this, &loop] {
                for (const QByteArray &p : qAsConst(packets))
                    if (!p.isEmpty() && uint8_t(p.at(0)) == 0x31) {
                        loopSawPacket = true;
                        loop.quit();
                    }
            });
            poll.start(5);
            QTimer::singleShot(5000, &loop, &QEventLoop::quit);
            loop.exec();
        } else if (data[0] == 0x40) {
            // Bytes that arrive while the handler processes events without ever waiting: the
            // port takes them in but does not signal them.
            writeAll(master, lateFrame);
            for (int i = 0; i < 20; ++i) {
                ::usleep(2000);
                QCoreApplication::processEvents();
            }
        }
    }
};

} // namespace

class TestSerialPortNested : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The data functions build frames before the first init().
    void initTestCase() { initPeer(); }
    void init();
    void cleanup();

    void bytesAlreadyReadReachNestedWait_data();
    void bytesAlreadyReadReachNestedWait();
    void bytesAlreadyReadReachNestedLoop();
    void bytesTakenInDuringHandlerAreDelivered();

private:
    bool connect(SerialPortManager &manager);

    Pty m_pty;
};

void TestSerialPortNested::init()
{
    initPeer();
    QVERIFY(m_pty.open());
}

void TestSerialPortNested::cleanup()
{
    m_pty.close();
}

bool TestSerialPortNested::connect(SerialPortManager &manager)
{
    manager.setPortOverride(m_pty.slave);
    manager.start();
    return manager.isConnected();
}

void TestSerialPortNested::bytesAlreadyReadReachNestedWait_data()
{
    QTest::addColumn<QByteArray>("between");
    QTest::newRow("back to back") << QByteArray();
    QTest::newRow("noise and another packet")
        << (QByteArray::fromHex("112233") + frame(QByteArray::fromHex("0a0b")));
}

void TestSerialPortNested::bytesAlreadyReadReachNestedWait()
{
    QFETCH(QByteArray, between);
    NestingManager manager;
    QVERIFY(connect(manager));

    const QByteArray outer = QByteArray::fromHex("2001");
    const QByteArray reply = QByteArray::fromHex("21aa00bb");
    // Everything in one write, and nothing after it: the reply is already in the manager's
    // hands when the outer handler starts waiting.
    QVERIFY(writeAll(m_pty.master, frame(outer) + between + frame(reply)));
    QTRY_VERIFY_WITH_TIMEOUT(!manager.packets.isEmpty() && manager.packets.last() == reply, 8000);
    QCOMPARE(manager.nestedReply, reply);
    QCOMPARE(manager.packets.first(), outer);
}

void TestSerialPortNested::bytesAlreadyReadReachNestedLoop()
{
    NestingManager manager;
    QVERIFY(connect(manager));

    const QByteArray outer = QByteArray::fromHex("3001");
    const QByteArray inner = QByteArray::fromHex("31");
    const QByteArray after = QByteArray::fromHex("0c00");
    const QByteArray innerFrame = frame(inner);
    const QByteArray afterFrame = frame(after);
    QVERIFY(writeAll(m_pty.master, frame(outer) + innerFrame + afterFrame.left(2)));
    QTRY_VERIFY_WITH_TIMEOUT(manager.packets.size() >= 2, 8000);
    QVERIFY(manager.loopSawPacket);
    // A frame still incomplete when the nested loop ended is completed afterwards.
    QVERIFY(writeAll(m_pty.master, afterFrame.mid(2)));
    QTRY_COMPARE(manager.packets.size(), 3);
    QCOMPARE(manager.packets, (QList<QByteArray> {outer, inner, after}));
}

void TestSerialPortNested::bytesTakenInDuringHandlerAreDelivered()
{
    NestingManager manager;
    QVERIFY(connect(manager));
    const QByteArray outer = QByteArray::fromHex("4001");
    const QByteArray late = QByteArray::fromHex("41bb");
    manager.master = m_pty.master;
    manager.lateFrame = frame(late);
    QVERIFY(writeAll(m_pty.master, frame(outer)));
    // Nothing else is written: the late packet must not wait for more bytes to come.
    QTRY_COMPARE_WITH_TIMEOUT(manager.packets.size(), 2, 3000);
    QCOMPARE(manager.packets, (QList<QByteArray> {outer, late}));
}

QTEST_MAIN(TestSerialPortNested)
#include "tst_serialportnested.moc"
