// The 1 kHz telemetry path from the serial port to the telemetry record: messages that arrive
// one read at a time are decoded and delivered without allocating per message.

#include "datapacket.h"
#include "deviceconfig.h"
#include "effectlistmodel.h"
#include "packetlink.h"
#include "pseudoterminal.h"
#include "tavikcomm.h"

#include <QtTest>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <new>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

std::atomic<bool> s_counting {false};
std::atomic<long> s_allocations {0};

void *countedAlloc(std::size_t size)
{
    if (s_counting.load(std::memory_order_relaxed))
        s_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void *p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

} // namespace

// Counts the heap allocations of the whole process through operator new (Qt's events,
// connections and signal arguments use it).
void *operator new(std::size_t size)
{
    return countedAlloc(size);
}
void *operator new[](std::size_t size)
{
    return countedAlloc(size);
}
void *operator new(std::size_t size, const std::nothrow_t &) noexcept
{
    try {
        return countedAlloc(size);
    } catch (...) {
        return nullptr;
    }
}
void *operator new[](std::size_t size, const std::nothrow_t &) noexcept
{
    try {
        return countedAlloc(size);
    } catch (...) {
        return nullptr;
    }
}
void operator delete(void *p) noexcept
{
    std::free(p);
}
void operator delete[](void *p) noexcept
{
    std::free(p);
}
void operator delete(void *p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete[](void *p, std::size_t) noexcept
{
    std::free(p);
}

namespace {

constexpr uint32_t kPeerChannel = 1;
std::vector<char> s_frame;

int64_t peerWrite(const uint8_t *data, uint32_t length)
{
    s_frame.assign(
        reinterpret_cast<const char *>(data), reinterpret_cast<const char *>(data) + length);
    return length;
}

} // namespace

class TestTelemetryPath : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void oneReadPerMessageDoesNotAllocatePerMessage();
};

void TestTelemetryPath::oneReadPerMessageDoesNotAllocatePerMessage()
{
    constexpr int kMessages = 200;

    PseudoTerminal pty;
    QVERIFY(pty.open(PseudoTerminal::NoOptions));
    const int master = pty.master();
    const QString slave = pty.slavePath();

    DataPacket telemetry;
    DeviceConfig config;
    EffectListModel effects;
    TavikComm endpoint(&config, &telemetry, &effects);
    endpoint.setPortOverride(slave);
    endpoint.start();
    QVERIFY(endpoint.isConnected());

    // Frames built up front: a telemetry message whose position changes every time, so that
    // the record signals on every message.
    packet_link_init(&peerWrite, nullptr, kPeerChannel);
    packet_link_set_crc_xor(1000, kPeerChannel); // the framing's CRC XOR
    std::vector<std::vector<char>> frames;
    for (int i = 0; i < kMessages; ++i) {
        uint8_t message[DataPacket::kMessageSize] = {1};
        message[1] = uint8_t(i + 1);
        message[45] = 0x11;
        packet_link_send(message, sizeof message, kPeerChannel);
        frames.push_back(s_frame);
    }
    // The configuration and firmware requests sent on connection are not of interest.
    QTest::qWait(50);

    std::atomic<int> received {0};
    connect(&endpoint, &TavikComm::dataPacketReceived, this,
        [&received] { received.fetch_add(1, std::memory_order_relaxed); });

    std::atomic<bool> stop {false};
    s_allocations = 0;
    s_counting = true;
    // One message per write, paced so that each arrives in a read of its own, as a base
    // sends them.
    std::thread writer([&] {
        for (const std::vector<char> &f : frames) {
            if (stop)
                break;
            const int before = received.load();
            size_t done = 0;
            while (done < f.size()) {
                const ssize_t n = ::write(master, f.data() + done, f.size() - done);
                if (n < 0 && errno == EINTR)
                    continue;
                if (n <= 0)
                    return;
                done += size_t(n);
            }
            for (int spin = 0; spin < 2000 && received.load() == before && !stop; ++spin)
                std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
    });
    QDeadlineTimer deadline(30000);
    while (received.load() < kMessages && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    s_counting = false;
    stop = true;
    writer.join();
    const long allocations = s_allocations.load();
    pty.close();

    QCOMPARE(received.load(), kMessages);
    QCOMPARE(int(telemetry.x()), kMessages);
    // A few incidental allocations of the event loop are tolerated; one per message is not.
    QVERIFY2(allocations < kMessages / 4,
        qPrintable(
            QStringLiteral("%1 allocations for %2 messages").arg(allocations).arg(kMessages)));
}

QTEST_MAIN(TestTelemetryPath)
#include "tst_telemetrypath.moc"
