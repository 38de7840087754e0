#include "datapacket.h"

#include "deviceconfig.h"

#include <QMetaType>

#include <cstring>
#include <type_traits>

DataPacket::DataPacket(QObject *parent)
    : QObject(parent)
    // The motor state reads "unknown" until the base reports one.
    , m_mot_fault(255)
{
    // Properties and signals use the fixed-width names; tests and tools may not have run
    // start-up, which registers them too.
    registerConfigMetaTypes();
    // Connected first, so the edge signals precede any other listener of these changes.
    connect(this, &DataPacket::buttons64Changed, this, &DataPacket::onButtonsChanged);
    connect(
        this, &DataPacket::buttons_logical64Changed, this, &DataPacket::onLogicalButtonsChanged);
    connect(this, &DataPacket::hatsChanged, this, &DataPacket::onHatsChanged);
}

void DataPacket::applyTelemetry(const uint8_t *data, int length)
{
    uint8_t record[kMessageSize] = {};
    if (data && length > 0)
        std::memcpy(record, data, size_t(length < kMessageSize ? length : kMessageSize));
#define TAVIK_TELEMETRY_FIELD(type, name, offset) set_##name(wire::readLe<type>(record + (offset)));
#include "telemetryfields.def"
#undef TAVIK_TELEMETRY_FIELD
}

#define TAVIK_TELEMETRY_FIELD(type, name, offset)                                                  \
    void DataPacket::set_##name(type value)                                                        \
    {                                                                                              \
        if (m_##name == value)                                                                     \
            return;                                                                                \
        m_##name = value;                                                                          \
        Q_EMIT name##Changed(value);                                                               \
    }
#include "telemetryfields.def"
#undef TAVIK_TELEMETRY_FIELD

void DataPacket::onButtonsChanged(uint64_t value)
{
    const uint64_t old = m_lastButtons;
    if (value == old)
        return;
    m_lastButtons = value;
    for (int i = 0; i < 64; ++i) {
        const uint64_t bit = uint64_t(1) << i;
        if ((value & bit) && !(old & bit))
            Q_EMIT buttonPressed(i + 1);
        else if (!(value & bit) && (old & bit))
            Q_EMIT buttonReleased(i + 1);
    }
}

void DataPacket::onLogicalButtonsChanged(uint64_t value)
{
    const uint64_t old = m_lastLogicalButtons;
    if (value == old)
        return;
    m_lastLogicalButtons = value;
    for (int i = 0; i < 64; ++i) {
        const uint64_t bit = uint64_t(1) << i;
        if ((value & bit) && !(old & bit))
            Q_EMIT logicalButtonPressed(i + 1);
        else if (!(value & bit) && (old & bit))
            Q_EMIT logicalButtonReleased(i + 1);
    }
}

void DataPacket::onHatsChanged(uint32_t value)
{
    const uint32_t old = m_lastHats;
    if (value == old)
        return;
    for (int h = 0; h < 4; ++h) {
        const int oldNibble = int((old >> (4 * h)) & 0xF);
        const int newNibble = int((value >> (4 * h)) & 0xF);
        if (oldNibble == newNibble)
            continue;
        Q_EMIT buttonReleased(kHatButtonBase + 16 * h + oldNibble);
        if (newNibble != 0xF)
            Q_EMIT buttonPressed(kHatButtonBase + 16 * h + newNibble);
    }
    m_lastHats = value;
}
