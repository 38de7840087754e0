#include "packetlink.h"

#include <QRandomGenerator>
#include <QtTest>

#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes lastFrame;
int writes = 0;
std::vector<Bytes> received;

int64_t captureWrite(const uint8_t *data, uint32_t length)
{
    lastFrame.assign(data, data + length);
    ++writes;
    return length;
}

void capturePacketFn(uint8_t *data, uint32_t length)
{
    received.emplace_back(data, data + length);
}

Bytes hex(const char *text)
{
    const QByteArray bytes = QByteArray::fromHex(text);
    return Bytes(bytes.begin(), bytes.end());
}

// Independent reference framing (unbounded), used to produce frames the bounded encoder
// refuses and to cross-check its output.
Bytes referenceFrame(const Bytes &payload, uint16_t crcXor)
{
    Bytes data = payload;
    uint16_t crc = 0;
    for (uint8_t b : payload) {
        crc ^= uint16_t(b << 8);
        for (int i = 0; i < 8; ++i)
            crc = (crc & 0x8000) ? uint16_t((crc << 1) ^ 0x1021) : uint16_t(crc << 1);
    }
    crc ^= crcXor;
    data.push_back(uint8_t(crc & 0xFF));
    data.push_back(uint8_t(crc >> 8));
    Bytes out {0};
    size_t codeAt = out.size();
    out.push_back(0);
    uint8_t code = 1;
    for (uint8_t b : data) {
        if (b == 0) {
            out[codeAt] = code;
            codeAt = out.size();
            out.push_back(0);
            code = 1;
            continue;
        }
        out.push_back(b);
        if (++code == 0xFF) {
            out[codeAt] = code;
            codeAt = out.size();
            out.push_back(0);
            code = 1;
        }
    }
    out[codeAt] = code;
    out.push_back(0);
    return out;
}

void feed(const Bytes &bytes)
{
    packet_link_feed(bytes.data(), bytes.size(), 0);
}

} // namespace

class TestPacketLink : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        packet_link_init(captureWrite, capturePacketFn, 0);
        packet_link_set_crc_xor(0x03E8, 0);
        lastFrame.clear();
        received.clear();
        writes = 0;
    }

    void crcCheckValue()
    {
        const char digits[] = "123456789";
        QCOMPARE(packet_link_crc16(reinterpret_cast<const uint8_t *>(digits), 9), uint16_t(0x31C3));
        QCOMPARE(packet_link_crc16(nullptr, 0), uint16_t(0));
    }

    void encodeVectors_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("01") << QByteArray::fromHex("01") << QByteArray::fromHex("000401c91300");
        QTest::newRow("02 00 03") << QByteArray::fromHex("020003")
                                  << QByteArray::fromHex("0002020403eb5d00");
        QTest::newRow("single zero")
            << QByteArray::fromHex("00") << QByteArray::fromHex("000103e80300");
        QTest::newRow("empty") << QByteArray() << QByteArray::fromHex("0003e80300");
    }

    void encodeVectors()
    {
        QFETCH(QByteArray, payload);
        QFETCH(QByteArray, frame);
        const int64_t result = packet_link_send(
            reinterpret_cast<const uint8_t *>(payload.constData()), uint32_t(payload.size()), 0);
        QCOMPARE(writes, 1);
        QCOMPARE(result, int64_t(frame.size()));
        QCOMPARE(
            QByteArray(reinterpret_cast<const char *>(lastFrame.data()), int(lastFrame.size())),
            frame);

        // Every vector decodes back to its payload, except the empty one, which is discarded.
        feed(lastFrame);
        if (payload.isEmpty()) {
            QCOMPARE(received.size(), size_t(0));
        } else {
            QCOMPARE(received.size(), size_t(1));
            QCOMPARE(QByteArray(reinterpret_cast<const char *>(received[0].data()),
                         int(received[0].size())),
                payload);
        }
    }

    void fullBlockStartsWithFF()
    {
        Bytes payload(254);
        for (size_t i = 0; i < payload.size(); ++i)
            payload[i] = uint8_t(1 + i % 200);
        packet_link_send(payload.data(), uint32_t(payload.size()), 0);
        QCOMPARE(lastFrame[0], uint8_t(0));
        QCOMPARE(lastFrame[1], uint8_t(0xFF));
        QVERIFY(std::equal(payload.begin(), payload.end(), lastFrame.begin() + 2));
        QCOMPARE(lastFrame, referenceFrame(payload, 0x03E8));
        feed(lastFrame);
        QCOMPARE(received.size(), size_t(1));
        QCOMPARE(received[0], payload);
    }

    void sendBounds_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("frameLength"); // -1: not sent
        QTest::newRow("1023 x 07") << 1023 << 7 << 1032;
        QTest::newRow("1024 x 07") << 1024 << 7 << -1;
        QTest::newRow("1027 x 00") << 1027 << 0 << 1032;
        QTest::newRow("1028 x 00") << 1028 << 0 << -1;
    }

    void sendBounds()
    {
        QFETCH(int, length);
        QFETCH(int, value);
        QFETCH(int, frameLength);
        Bytes payload(static_cast<size_t>(length), static_cast<uint8_t>(value));
        const int64_t result = packet_link_send(payload.data(), uint32_t(length), 0);
        if (frameLength < 0) {
            QCOMPARE(writes, 0);
            QCOMPARE(result, kPacketLinkTooLong);
        } else {
            QCOMPARE(writes, 1);
            QCOMPARE(int(lastFrame.size()), frameLength);
            QCOMPARE(lastFrame, referenceFrame(payload, 0x03E8));
        }
    }

    void receiveBounds()
    {
        Bytes ok(1029, 0x5A), tooLong(1030, 0x5A);
        feed(referenceFrame(ok, 0x03E8));
        feed(referenceFrame(tooLong, 0x03E8));
        QCOMPARE(received.size(), size_t(1));
        QCOMPARE(received[0], ok);
        // The over-long frame left nothing behind: the next good frame still arrives.
        feed(referenceFrame(hex("0102"), 0x03E8));
        QCOMPARE(received.size(), size_t(2));
        QCOMPARE(received[1], hex("0102"));
    }

    void streamCases()
    {
        const Bytes a = referenceFrame(hex("0a0b"), 0x03E8);
        const Bytes b = referenceFrame(hex("0c"), 0x03E8);

        // Two frames back to back, each with both delimiters: both arrive, in order.
        feed(a);
        feed(b);
        QCOMPARE(received.size(), size_t(2));
        QCOMPARE(received[0], hex("0a0b"));
        QCOMPARE(received[1], hex("0c"));

        // Two frames sharing one zero: only the first arrives.
        received.clear();
        Bytes shared = a;
        shared.insert(shared.end(), b.begin() + 1, b.end());
        feed(shared);
        QCOMPARE(received.size(), size_t(1));
        QCOMPARE(received[0], hex("0a0b"));

        // Noise before a frame does not disturb it.
        init();
        feed(hex("112233"));
        feed(a);
        QCOMPARE(received.size(), size_t(1));

        // Another CRC XOR: dropped, and the link resynchronises on the next frame.
        init();
        feed(referenceFrame(hex("0a0b"), 0x1234));
        QCOMPARE(received.size(), size_t(0));
        feed(a);
        QCOMPARE(received.size(), size_t(1));

        // A zero in the middle of a block ends the frame early; it fails and is dropped.
        init();
        Bytes cut = a;
        cut[3] = 0;
        feed(cut);
        feed(a);
        QCOMPARE(received.size(), size_t(1));

        // A truncated frame (cable pulled mid-frame): the next frame's opening zero ends the
        // fragment, which fails; the sender's leading zero on the frame after resynchronises.
        init();
        feed(Bytes(a.begin(), a.begin() + 3));
        feed(a);
        feed(a);
        QCOMPARE(received.size(), size_t(1));
        QCOMPARE(received.back(), hex("0a0b"));
    }

    void delimiterAfterCodeAwaitsCode()
    {
        feed(hex("000500"));
        QCOMPARE(packet_link_channel(0)->state, uint32_t(PacketLinkAwaitCode));
        QCOMPARE(packet_link_channel(0)->rx_count, uint32_t(0));
        QCOMPARE(received.size(), size_t(0));
    }

    void badChannelIsHarmless()
    {
        const uint8_t byte = 1;
        QCOMPARE(packet_link_send(&byte, 1, PACKET_LINK_CHANNELS), kPacketLinkBadChannel);
        packet_link_feed(&byte, 1, 99);
        packet_link_feed_byte(0, 99);
        packet_link_init(nullptr, nullptr, 1234);
        QCOMPARE(writes, 0);
    }

    void randomRoundTrip()
    {
        QRandomGenerator rng(20261210);
        Bytes stream;
        std::vector<Bytes> sent;
        for (int length = 1; length <= PACKET_LINK_MAX_RX_PAYLOAD; ++length) {
            Bytes payload(static_cast<size_t>(length));
            const bool sparseZeros = length % 3 == 0;
            for (auto &b : payload)
                b = sparseZeros ? uint8_t(rng.bounded(256)) : uint8_t(1 + rng.bounded(255));
            const Bytes reference = referenceFrame(payload, 0x03E8);
            writes = 0;
            const int64_t result = packet_link_send(payload.data(), uint32_t(length), 0);
            if (reference.size() <= PACKET_LINK_BUF_SIZE) {
                QCOMPARE(writes, 1);
                QCOMPARE(result, int64_t(reference.size()));
                QCOMPARE(lastFrame, reference);
            } else {
                QCOMPARE(writes, 0);
                QCOMPARE(result, kPacketLinkTooLong);
            }
            // Non-zero noise between frames.
            for (quint32 n = rng.bounded(4); n > 0; --n)
                stream.push_back(uint8_t(1 + rng.bounded(255)));
            stream.insert(stream.end(), reference.begin(), reference.end());
            sent.push_back(payload);
        }
        // Deliver in random chunk sizes, as reads from a port would.
        size_t pos = 0;
        while (pos < stream.size()) {
            const size_t chunk = std::min<size_t>(stream.size() - pos, 1 + rng.bounded(700));
            packet_link_feed(stream.data() + pos, chunk, 0);
            pos += chunk;
        }
        QCOMPARE(received.size(), sent.size());
        for (size_t i = 0; i < sent.size(); ++i)
            QCOMPARE(received[i], sent[i]);
    }

    // A handler that runs a nested event loop receives more data on the same channel.
    void nestedDeliveryKeepsEveryFrame()
    {
        static Bytes nestedStream;
        static std::vector<Bytes> order;
        static bool outerIntact = false;
        order.clear();
        const Bytes first = referenceFrame(hex("01aa"), 0x03E8);
        const Bytes second = referenceFrame(hex("02bb"), 0x03E8);
        const Bytes third = referenceFrame(hex("03cc"), 0x03E8);
        // Inside the first delivery: all of the second frame and half of the third.
        nestedStream = second;
        nestedStream.insert(nestedStream.end(), third.begin(), third.begin() + 3);

        packet_link_init(
            captureWrite,
            [](uint8_t *data, uint32_t length) {
                order.emplace_back(data, data + length);
                if (data[0] == 0x01) {
                    packet_link_feed(nestedStream.data(), nestedStream.size(), 0);
                    outerIntact = length == 2 && data[0] == 0x01 && data[1] == 0xaa;
                }
            },
            0);
        packet_link_set_crc_xor(0x03E8, 0);
        feed(first);
        QVERIFY(outerIntact);
        QCOMPARE(order.size(), size_t(2));
        // The rest of the third frame, after the outer handler returned.
        packet_link_feed(third.data() + 3, third.size() - 3, 0);
        QCOMPARE(order.size(), size_t(3));
        QCOMPARE(order[0], hex("01aa"));
        QCOMPARE(order[1], hex("02bb"));
        QCOMPARE(order[2], hex("03cc"));
    }
};

QTEST_GUILESS_MAIN(TestPacketLink)
#include "tst_packetlink.moc"
