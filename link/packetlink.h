#pragma once
// Framing of the serial link: each payload travels as 00, COBS(payload + CRC16), 00.
// Plain procedural code over a static table of channels; no allocation on either path.

#include <cstddef>
#include <cstdint>

#define PACKET_LINK_BUF_SIZE 1032
// Largest payload a frame can carry on receive (payload + 2 CRC + implied zero).
#define PACKET_LINK_MAX_RX_PAYLOAD (PACKET_LINK_BUF_SIZE - 3)
// Channel 0 is the configurator's link to the base; channel 1 serves the simulated base
// when it runs in the same process as the configurator (tests).
#define PACKET_LINK_CHANNELS 2
// Nested deliveries (a packet handler that runs an event loop which receives more packets)
// each get their own copy of the payload, up to this depth.
#define PACKET_LINK_MAX_NESTING 8

using packet_link_write_fn = int64_t (*)(const uint8_t *data, uint32_t length);
using packet_link_packet_fn = void (*)(uint8_t *data, uint32_t length);

enum PacketLinkState : uint32_t {
    PacketLinkIdle = 0,
    PacketLinkDelivering = 1,
    PacketLinkAwaitCode = 2,
    PacketLinkInBlock = 3,
};

struct PacketLinkChannel {
    packet_link_write_fn tx_write;
    packet_link_packet_fn rx_packet;
    uint8_t rx_buf[PACKET_LINK_BUF_SIZE];
    uint8_t tx_buf[PACKET_LINK_BUF_SIZE];
    uint16_t crc_xor;
    uint32_t state;
    uint32_t rx_count;
    uint8_t block_pos;
    uint8_t block_code;
    // Payload copies handed to rx_packet, one per nesting level, so that a frame decoded
    // inside a nested event loop neither overwrites the payload an outer handler is still
    // reading nor loses a frame that was incomplete when the outer handler returned.
    uint32_t delivery_depth;
    uint32_t dropped_nested;
    uint8_t deliver_buf[PACKET_LINK_MAX_NESTING][PACKET_LINK_MAX_RX_PAYLOAD];
};

// Result of packet_link_send when the frame does not fit the 1032-byte buffer.
constexpr int64_t kPacketLinkTooLong = -2;
// Result of any operation given a channel index outside the table.
constexpr int64_t kPacketLinkBadChannel = -3;

void packet_link_init(packet_link_write_fn tx_write, packet_link_packet_fn rx_packet, uint32_t channel);
void packet_link_set_crc_xor(uint16_t value, uint32_t channel);
void packet_link_feed(const uint8_t *data, uint64_t length, uint32_t channel);
void packet_link_feed_byte(uint8_t byte, uint32_t channel);
// Returns tx_write's result (0 when tx_write is null), kPacketLinkTooLong when the payload
// cannot be framed in the buffer (nothing is sent), or kPacketLinkBadChannel.
int64_t packet_link_send(const uint8_t *payload, uint32_t length, uint32_t channel);
uint16_t packet_link_crc16(const uint8_t *data, uint32_t length);

// Inspection, for diagnostics and tests.
const PacketLinkChannel *packet_link_channel(uint32_t channel);
