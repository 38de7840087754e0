#pragma once
// Feeds whole telemetry messages, encoded as the base encodes them, into a DataPacket, so
// widgets see the record's real press and release signals.
//
// Include it from test .cpp files after any header moc must read (see telemetry.h).

#include "datapacket.h"
#include "telemetry.h"

#include <array>
#include <cstdint>

namespace testsupport {

class TelemetryDriver
{
public:
    explicit TelemetryDriver(DataPacket *data)
        : m_data(data)
    {
    }

    // Physical buttons 1..64.
    void press(int button) { setBit(m_fields.buttons64, button, true); }
    void release(int button) { setBit(m_fields.buttons64, button, false); }
    // Logical buttons 1..64.
    void pressLogical(int button) { setBit(m_fields.buttons_logical64, button, true); }
    void releaseLogical(int button) { setBit(m_fields.buttons_logical64, button, false); }
    // Four 4-bit hat fields; a field's press signals 0x80 + 16 * hat + field.
    void setHats(uint32_t hats)
    {
        m_fields.hats = hats;
        send();
    }
    void setAux1(uint16_t value)
    {
        m_fields.aux_axis_1 = value;
        send();
    }

private:
    void setBit(uint64_t &bits, int button, bool on)
    {
        const uint64_t bit = uint64_t(1) << (button - 1);
        bits = on ? (bits | bit) : (bits & ~bit);
        send();
    }
    void send()
    {
        std::array<uint8_t, wire::kTelemetrySize> message {};
        wire::encodeTelemetry(m_fields, message.data());
        m_data->applyTelemetry(message.data(), int(message.size()));
    }

    DataPacket *m_data;
    wire::Telemetry m_fields;
};

} // namespace testsupport
