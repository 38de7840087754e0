#pragma once
// Feeds whole telemetry messages into a DataPacket, as the endpoint does with what the base
// sends, so widgets see the record's real press and release signals.

#include "datapacket.h"

#include <QtEndian>

#include <array>
#include <cstdint>

namespace testsupport {

class TelemetryDriver
{
public:
    explicit TelemetryDriver(DataPacket *data)
        : m_data(data)
    {
        m_message.fill(0);
        m_message[0] = 1;
    }

    // Physical buttons 1..64.
    void press(int button) { setBit(kButtonsOffset, button, true); }
    void release(int button) { setBit(kButtonsOffset, button, false); }
    // Logical buttons 1..64.
    void pressLogical(int button) { setBit(kLogicalOffset, button, true); }
    void releaseLogical(int button) { setBit(kLogicalOffset, button, false); }
    // Four 4-bit hat fields; a field's press signals 0x80 + 16 * hat + field.
    void setHats(uint32_t hats) { put32(kHatsOffset, hats); }
    void setAux1(uint16_t value) { put16(kAux1Offset, value); }

private:
    static constexpr int kHatsOffset = 41;
    static constexpr int kAux1Offset = 46;
    static constexpr int kButtonsOffset = 54;
    static constexpr int kLogicalOffset = 62;

    void setBit(int offset, int button, bool on)
    {
        uint64_t bits = qFromLittleEndian<quint64>(m_message.data() + offset);
        const uint64_t bit = uint64_t(1) << (button - 1);
        bits = on ? (bits | bit) : (bits & ~bit);
        qToLittleEndian<quint64>(bits, m_message.data() + offset);
        send();
    }
    void put32(int offset, uint32_t v)
    {
        qToLittleEndian<quint32>(v, m_message.data() + offset);
        send();
    }
    void put16(int offset, uint16_t v)
    {
        qToLittleEndian<quint16>(v, m_message.data() + offset);
        send();
    }
    void send() { m_data->applyTelemetry(m_message.data(), int(m_message.size())); }

    DataPacket *m_data;
    std::array<uint8_t, DataPacket::kMessageSize> m_message {};
};

} // namespace testsupport
