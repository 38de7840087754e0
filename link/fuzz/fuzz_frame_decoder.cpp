// Feeds arbitrary byte streams to the frame decoder. Every delivered payload must be one that a
// plain, separate decoder of the same stream finds with a good CRC, within the receive bound,
// in the same order; and every payload the encoder frames must decode to itself.
//
// Input: two bytes of CRC xor value, one byte choosing how the stream is cut into feeds, then
// the stream.

#include "fuzzsupport.h"
#include "packetlink.h"

#include <cstring>
#include <vector>

using namespace fuzz;

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kRx = 0; // the channel under test
constexpr uint32_t kLoop = 1; // encoder output fed back to a second decoder

std::vector<Bytes> delivered;
std::vector<Bytes> looped;
Bytes sent;

void onPacket(uint8_t *data, uint32_t length)
{
    check(length >= 1 && length <= PACKET_LINK_MAX_RX_PAYLOAD);
    delivered.emplace_back(data, data + length);
}

void onLooped(uint8_t *data, uint32_t length)
{
    looped.emplace_back(data, data + length);
}

int64_t onWrite(const uint8_t *data, uint32_t length)
{
    check(length <= PACKET_LINK_BUF_SIZE);
    sent.assign(data, data + length);
    return length;
}

// The frames of a stream as the link's framing defines them: 00, COBS(payload, CRC low, CRC
// high), 00. Bytes before the first delimiter and after a frame up to the next delimiter are
// not part of any frame; an empty frame (00 00) is no frame and the second 00 opens the next.
std::vector<Bytes> referenceDecode(const uint8_t *data, size_t size, uint16_t crcXor)
{
    std::vector<Bytes> frames;
    bool inFrame = false;
    Bytes decoded;
    int blockLeft = 0; // data bytes still to come in the current block
    bool zeroAfterBlock = false;
    for (size_t i = 0; i < size; ++i) {
        const uint8_t b = data[i];
        if (!inFrame) {
            if (b == 0) {
                inFrame = true;
                decoded.clear();
                blockLeft = 0;
            }
            continue;
        }
        if (b == 0) {
            if (decoded.empty()) {
                blockLeft = 0; // nothing decoded yet: this delimiter opens the frame afresh
                continue;
            }
            inFrame = false;
            // Bytes beyond the receive buffer make the frame unusable.
            if (decoded.size() >= 4 && decoded.size() <= PACKET_LINK_BUF_SIZE) {
                const size_t n = decoded.size() - 3;
                const uint16_t crc = uint16_t(decoded[n] | (decoded[n + 1] << 8));
                if (uint16_t(crc ^ crcXor) == packet_link_crc16(decoded.data(), uint32_t(n)))
                    frames.emplace_back(decoded.begin(), decoded.begin() + long(n));
            }
            continue;
        }
        if (blockLeft == 0) {
            blockLeft = b - 1;
            zeroAfterBlock = b != 0xFF;
            if (blockLeft == 0 && zeroAfterBlock)
                decoded.push_back(0);
            continue;
        }
        decoded.push_back(b);
        if (--blockLeft == 0 && zeroAfterBlock)
            decoded.push_back(0);
    }
    return frames;
}

// The frame of a payload as the link's framing defines it, whatever its length.
Bytes referenceEncode(const Bytes &payload, uint16_t crcXor)
{
    Bytes data = payload;
    const uint16_t crc
        = uint16_t(packet_link_crc16(payload.data(), uint32_t(payload.size())) ^ crcXor);
    data.push_back(uint8_t(crc & 0xFF));
    data.push_back(uint8_t(crc >> 8));
    Bytes out {0, 0};
    size_t codeAt = 1;
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
            out[codeAt] = 0xFF;
            codeAt = out.size();
            out.push_back(0);
            code = 1;
        }
    }
    out[codeAt] = code;
    out.push_back(0);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3)
        return 0;
    const uint16_t crcXor = uint16_t(data[0] | (data[1] << 8));
    const uint8_t cut = data[2];
    data += 3;
    size -= 3;

    delivered.clear();
    packet_link_init(nullptr, onPacket, kRx);
    packet_link_set_crc_xor(crcXor, kRx);
    // Feed in pieces of 1 + cut bytes (0xFF: all at once), as reads of a serial port arrive.
    const size_t step = cut == 0xFF ? size : size_t(cut) + 1;
    for (size_t at = 0; at < size; at += step) {
        const size_t n = std::min(step, size - at);
        if (n == 1)
            packet_link_feed_byte(data[at], kRx);
        else
            packet_link_feed(data + at, n, kRx);
    }
    check(delivered == referenceDecode(data, size, crcXor));

    // Every delivered payload, and the stream itself as one payload, framed and decoded again.
    packet_link_init(onWrite, onLooped, kLoop);
    packet_link_set_crc_xor(crcXor, kLoop);
    std::vector<Bytes> payloads = delivered;
    payloads.emplace_back(data, data + size);
    for (const Bytes &payload : payloads) {
        sent.clear();
        looped.clear();
        const int64_t result = packet_link_send(payload.data(), uint32_t(payload.size()), kLoop);
        const Bytes expected = referenceEncode(payload, crcXor);
        if (result == kPacketLinkTooLong) {
            // Refused exactly when the frame does not fit the buffer; nothing is sent then.
            check(expected.size() > PACKET_LINK_BUF_SIZE);
            check(sent.empty());
            continue;
        }
        check(expected.size() <= PACKET_LINK_BUF_SIZE);
        check(result == int64_t(sent.size()));
        check(sent == expected);
        packet_link_feed(sent.data(), sent.size(), kLoop);
        if (payload.empty()) {
            check(looped.empty()); // an empty payload is no message
            continue;
        }
        check(looped.size() == 1 && looped.front() == payload);
    }
    return 0;
}
