// Framing on its own: decode and encode throughput of the packet link over a realistic stream
// (telemetry frames from the simulated firmware, a few noise bytes between them), beside
// memcpy of the same bytes in the same run. Times are thread CPU time, best of five runs.
//   bench_framing [MESSAGES] [--decode-only]   (--decode-only: one decode pass, for callgrind)

#include "firmwaremodel.h"
#include "packetlink.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

namespace {

std::vector<uint8_t> g_wire;
uint64_t g_delivered = 0;
uint64_t g_encoded = 0;

int64_t captureFrame(const uint8_t *data, uint32_t length)
{
    g_wire.insert(g_wire.end(), data, data + length);
    return length;
}

int64_t countFrame(const uint8_t *, uint32_t length)
{
    g_encoded += length;
    return length;
}

void countPacket(uint8_t *data, uint32_t length)
{
    g_delivered += length + data[0];
}

// Best of several runs: the least disturbed one on a shared machine.
template<typename F> double bestNs(int runs, F &&f)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        best = std::min(best, double(t.nsecsElapsed()));
    }
    return best;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    int messages = 200000;
    bool decodeOnly = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--decode-only") == 0)
            decodeOnly = true;
        else
            messages = std::max(1000, std::atoi(argv[i]));
    }

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
    // Line noise between frames: 0 to 3 bytes, zeros included (they open frames that fail).
    QRandomGenerator noise(7);
    packet_link_init(&captureFrame, nullptr, 1);
    packet_link_set_crc_xor(1000, 1);
    g_wire.reserve(size_t(messages) * 96);
    for (const QByteArray &p : payloads) {
        packet_link_send(reinterpret_cast<const uint8_t *>(p.constData()), uint32_t(p.size()), 1);
        for (int n = int(noise.bounded(4)); n > 0; --n)
            g_wire.push_back(uint8_t(noise.bounded(256)));
    }
    const double mb = double(g_wire.size()) / 1e6;

    packet_link_init(nullptr, &countPacket, 0);
    packet_link_set_crc_xor(1000, 0);
    if (decodeOnly) {
        packet_link_feed(g_wire.data(), g_wire.size(), 0);
        std::printf("decoded %zu bytes, %d messages\n", g_wire.size(), messages);
        return 0;
    }

    std::vector<uint8_t> copy(g_wire.size());
    const int runs = 5;
    const double memcpyNs = bestNs(runs, [&] {
        std::memcpy(copy.data(), g_wire.data(), g_wire.size());
        // Keep the copy observable.
        g_delivered += copy[copy.size() / 2];
    });
    const double decodeNs
        = bestNs(runs, [&] { packet_link_feed(g_wire.data(), g_wire.size(), 0); });
    packet_link_init(&countFrame, nullptr, 1);
    packet_link_set_crc_xor(1000, 1);
    const double encodeNs = bestNs(runs, [&] {
        for (const QByteArray &p : payloads)
            packet_link_send(
                reinterpret_cast<const uint8_t *>(p.constData()), uint32_t(p.size()), 1);
    });

    std::printf("stream: %d telemetry frames, %.2f MB with noise\n", messages, mb);
    std::printf("memcpy:   %9.1f MB/s\n", mb / (memcpyNs / 1e9));
    std::printf("decode:   %9.1f MB/s  (%.1f ns/message, %.3f of memcpy)\n", mb / (decodeNs / 1e9),
        decodeNs / messages, memcpyNs / decodeNs);
    std::printf("encode:   %9.1f MB/s  (%.1f ns/message, %.3f of memcpy)\n",
        double(g_encoded) / runs / 1e6 / (encodeNs / 1e9), encodeNs / messages,
        memcpyNs / encodeNs);
    std::printf("(checksum %llu)\n", (unsigned long long)g_delivered);
    return 0;
}
