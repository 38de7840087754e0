// The 1 kHz telemetry path: frames from the simulated firmware, decoded by the packet link,
// dispatched by the endpoint into the telemetry record with listeners attached. Prints the
// time per message, the share of a 1 kHz stream and the heap allocations per message.

#include "datapacket.h"
#include "deviceconfig.h"
#include "effectlistmodel.h"
#include "firmwaremodel.h"
#include "packetlink.h"
#include "tavikcomm.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <new>
#include <vector>

namespace {

std::atomic<long> g_allocations {0};
std::vector<uint8_t> g_wire;

int64_t captureFrame(const uint8_t *data, uint32_t length)
{
    g_wire.insert(g_wire.end(), data, data + length);
    return length;
}

// This thread's CPU time: on a shared machine, time spent waiting for a core is not counted.
double threadCpuNs()
{
    timespec t {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e9 + double(t.tv_nsec);
}

} // namespace

// Counts every heap allocation of the process.
void *operator new(std::size_t size)
{
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void *p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void *p) noexcept
{
    std::free(p);
}
void operator delete(void *p, std::size_t) noexcept
{
    std::free(p);
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int messages = argc > 1 ? std::max(1000, std::atoi(argv[1])) : 200000;

    // Telemetry of a moving stick with changing buttons and hats, framed as on the wire.
    FirmwareModel model;
    model.setSeed(11);
    model.setEffectsEnabled(false);
    std::vector<QByteArray> payloads;
    payloads.reserve(size_t(messages));
    QVector<QByteArray> out;
    while (int(payloads.size()) < messages) {
        out.clear();
        model.tick(&out);
        for (const QByteArray &p : out)
            if (p[0] == 1)
                payloads.push_back(p);
    }
    packet_link_init(&captureFrame, nullptr, 1);
    packet_link_set_crc_xor(1000, 1);
    g_wire.reserve(size_t(messages) * 90);
    for (const QByteArray &p : payloads)
        packet_link_send(reinterpret_cast<const uint8_t *>(p.constData()), uint32_t(p.size()), 1);

    DataPacket data;
    DeviceConfig config;
    EffectListModel effects;
    TavikComm comm(&config, &data, &effects);
    // Listeners like the window's: a few change signals and the edge signals.
    long sink = 0;
    QObject::connect(&data, &DataPacket::xChanged, [&sink](int16_t v) { sink += v; });
    QObject::connect(&data, &DataPacket::yChanged, [&sink](int16_t v) { sink += v; });
    QObject::connect(&data, &DataPacket::fxoutChanged, [&sink](int16_t v) { sink += v; });
    QObject::connect(&data, &DataPacket::buttonPressed, [&sink](int id) { sink += id; });
    QObject::connect(&data, &DataPacket::buttonReleased, [&sink](int id) { sink -= id; });
    QObject::connect(&comm, &TavikComm::dataPacketReceived, [&sink] { ++sink; });

    // 1. Record decode alone.
    QElapsedTimer timer;
    long allocBefore = g_allocations.load();
    timer.start();
    for (const QByteArray &p : payloads)
        data.applyTelemetry(reinterpret_cast<const uint8_t *>(p.constData()), p.size());
    const qint64 decodeNs = timer.nsecsElapsed();
    const long decodeAllocs = g_allocations.load() - allocBefore;

    // 2. The whole receive path: bytes into channel 0, dispatch, endpoint, record, listeners.
    allocBefore = g_allocations.load();
    timer.restart();
    const double cpuStart = threadCpuNs();
    packet_link_feed(g_wire.data(), g_wire.size(), 0);
    const double pathCpuNs = threadCpuNs() - cpuStart;
    const qint64 pathNs = timer.nsecsElapsed();
    const long pathAllocs = g_allocations.load() - allocBefore;

    const double perDecode = double(decodeNs) / messages;
    const double perPath = double(pathNs) / messages;
    std::printf("telemetry messages:            %d (%zu wire bytes)\n", messages, g_wire.size());
    std::printf("DataPacket decode:             %8.1f ns/message, %.3f allocations/message\n",
        perDecode, double(decodeAllocs) / messages);
    std::printf("wire -> endpoint -> record:    %8.1f ns/message, %.3f allocations/message\n",
        perPath, double(pathAllocs) / messages);
    std::printf("same, thread CPU time:         %8.1f ns/message\n", pathCpuNs / messages);
    std::printf("share of one core at 1 kHz:    %8.3f %%\n", perPath * 1000.0 / 1e9 * 100.0);
    std::printf("(listener checksum %ld)\n", sink);
    return 0;
}
