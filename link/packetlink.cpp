#include "packetlink.h"

#include <cstring>

namespace {

PacketLinkChannel channels[PACKET_LINK_CHANNELS];

constexpr uint16_t crcEntry(uint16_t index)
{
    uint16_t crc = uint16_t(index << 8);
    for (int bit = 0; bit < 8; ++bit)
        crc = (crc & 0x8000) ? uint16_t((crc << 1) ^ 0x1021) : uint16_t(crc << 1);
    return crc;
}

struct CrcTable {
    uint16_t entry[256];
    constexpr CrcTable() : entry()
    {
        for (int i = 0; i < 256; ++i)
            entry[i] = crcEntry(uint16_t(i));
    }
};

constexpr CrcTable crcTable;

inline PacketLinkChannel *channelAt(uint32_t channel)
{
    return channel < PACKET_LINK_CHANNELS ? &channels[channel] : nullptr;
}

inline void append(PacketLinkChannel &ch, uint8_t b)
{
    if (ch.rx_count < PACKET_LINK_BUF_SIZE)
        ch.rx_buf[ch.rx_count++] = b;
    // Excess bytes are dropped; the frame then fails its CRC.
}

void endOfFrame(PacketLinkChannel &ch)
{
    const uint32_t m = ch.rx_count;
    // The decoder is idle again before any callback runs, so bytes fed from inside the
    // callback (nested event loop) start a fresh frame and survive the callback's return.
    ch.state = PacketLinkIdle;
    ch.rx_count = 0;
    if (m < 4)
        return;
    const uint32_t n = m - 3;
    if (n > PACKET_LINK_MAX_RX_PAYLOAD)
        return;
    const uint16_t received = uint16_t(ch.rx_buf[n] | (ch.rx_buf[n + 1] << 8));
    if (uint16_t(received ^ ch.crc_xor) != packet_link_crc16(ch.rx_buf, n) || !ch.rx_packet)
        return;
    if (ch.delivery_depth >= PACKET_LINK_MAX_NESTING) {
        ++ch.dropped_nested;
        return;
    }
    uint8_t *copy = ch.deliver_buf[ch.delivery_depth];
    std::memcpy(copy, ch.rx_buf, n);
    ++ch.delivery_depth;
    ch.rx_packet(copy, n);
    --ch.delivery_depth;
}

inline void feedOne(PacketLinkChannel &ch, uint8_t b)
{
    switch (ch.state) {
    case PacketLinkDelivering: // only seen if a caller inspects mid-delivery; treat as idle
    case PacketLinkIdle:
        if (b == 0) {
            ch.rx_count = 0;
            ch.state = PacketLinkAwaitCode;
        }
        break;
    case PacketLinkAwaitCode:
    case PacketLinkInBlock:
        if (b == 0) {
            if (ch.rx_count == 0)
                ch.state = PacketLinkAwaitCode;
            else
                endOfFrame(ch);
            break;
        }
        if (ch.state == PacketLinkAwaitCode) {
            ch.block_code = b;
            ch.block_pos = 1;
            if (b == 1)
                append(ch, 0);
            else
                ch.state = PacketLinkInBlock;
            break;
        }
        append(ch, b);
        if (++ch.block_pos == ch.block_code) {
            if (ch.block_code != 0xFF)
                append(ch, 0);
            ch.state = PacketLinkAwaitCode;
        }
        break;
    default:
        ch.state = PacketLinkIdle;
        ch.rx_count = 0;
        break;
    }
}

} // namespace

uint16_t packet_link_crc16(const uint8_t *data, uint32_t length)
{
    uint16_t crc = 0;
    for (uint32_t i = 0; i < length; ++i)
        crc = uint16_t((crc << 8) ^ crcTable.entry[uint8_t((crc >> 8) ^ data[i])]);
    return crc;
}

void packet_link_init(packet_link_write_fn tx_write, packet_link_packet_fn rx_packet, uint32_t channel)
{
    PacketLinkChannel *ch = channelAt(channel);
    if (!ch)
        return;
    std::memset(ch, 0, sizeof(*ch));
    ch->tx_write = tx_write;
    ch->rx_packet = rx_packet;
}

void packet_link_set_crc_xor(uint16_t value, uint32_t channel)
{
    if (PacketLinkChannel *ch = channelAt(channel))
        ch->crc_xor = value;
}

void packet_link_feed(const uint8_t *data, uint64_t length, uint32_t channel)
{
    PacketLinkChannel *ch = channelAt(channel);
    if (!ch || !data)
        return;
    for (uint64_t i = 0; i < length; ++i)
        feedOne(*ch, data[i]);
}

void packet_link_feed_byte(uint8_t byte, uint32_t channel)
{
    if (PacketLinkChannel *ch = channelAt(channel))
        feedOne(*ch, byte);
}

int64_t packet_link_send(const uint8_t *payload, uint32_t length, uint32_t channel)
{
    PacketLinkChannel *ch = channelAt(channel);
    if (!ch)
        return kPacketLinkBadChannel;
    if (length && !payload)
        return kPacketLinkTooLong;

    uint8_t *out = ch->tx_buf;
    constexpr uint32_t cap = PACKET_LINK_BUF_SIZE;
    out[0] = 0;
    uint32_t codePos = 1;
    uint32_t pos = 2;
    uint8_t code = 1;

    const uint16_t crc = uint16_t(packet_link_crc16(payload, length) ^ ch->crc_xor);
    const uint8_t crcBytes[2] = {uint8_t(crc & 0xFF), uint8_t(crc >> 8)};
    const uint32_t total = length + 2;

    for (uint32_t i = 0; i < total; ++i) {
        const uint8_t b = i < length ? payload[i] : crcBytes[i - length];
        if (pos >= cap)
            return kPacketLinkTooLong;
        if (b == 0) {
            out[codePos] = code;
            codePos = pos++;
            code = 1;
        } else {
            out[pos++] = b;
            if (++code == 0xFF) {
                out[codePos] = 0xFF;
                if (pos >= cap)
                    return kPacketLinkTooLong;
                codePos = pos++;
                code = 1;
            }
        }
    }
    out[codePos] = code;
    if (pos >= cap)
        return kPacketLinkTooLong;
    out[pos++] = 0;
    if (!ch->tx_write)
        return 0;
    return ch->tx_write(out, pos);
}

const PacketLinkChannel *packet_link_channel(uint32_t channel)
{
    return channelAt(channel);
}
