#include "datapacket.h"

#include "deviceconfig.h"

#include <QMetaType>

#include <cstring>
#include <type_traits>

namespace {

template<typename T> inline T readLe(const uint8_t *p)
{
    using U = std::make_unsigned_t<T>;
    U v = 0;
    for (size_t i = 0; i < sizeof(T); ++i)
        v = U(v | (U(p[i]) << (8 * i)));
    return T(v);
}

} // namespace

DataPacket::DataPacket(QObject *parent)
    : QObject(parent)
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
    uint8_t record[MessageSize] = {};
    if (data && length > 0)
        std::memcpy(record, data, size_t(length < MessageSize ? length : MessageSize));
#define TAVIK_APPLY_FIELD(type, name, offset) set_##name(readLe<type>(record + (offset)));
    TAVIK_TELEMETRY_FIELDS(TAVIK_APPLY_FIELD)
#undef TAVIK_APPLY_FIELD
}

#define TAVIK_DEFINE_SETTER(type, name, offset)                                                    \
    void DataPacket::set_##name(type value)                                                        \
    {                                                                                              \
        if (m_##name == value)                                                                     \
            return;                                                                                \
        m_##name = value;                                                                          \
        Q_EMIT name##Changed(value);                                                               \
    }
TAVIK_TELEMETRY_FIELDS(TAVIK_DEFINE_SETTER)
#undef TAVIK_DEFINE_SETTER

void DataPacket::onButtonsChanged(uint64_t value)
{
    const uint64_t old = lastButtons;
    if (value == old)
        return;
    lastButtons = value;
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
    const uint64_t old = lastLogicalButtons;
    if (value == old)
        return;
    lastLogicalButtons = value;
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
    const uint32_t old = lastHats;
    if (value == old)
        return;
    for (int h = 0; h < 4; ++h) {
        const int oldNibble = int((old >> (4 * h)) & 0xF);
        const int newNibble = int((value >> (4 * h)) & 0xF);
        if (oldNibble == newNibble)
            continue;
        Q_EMIT buttonReleased(HatButtonBase + 16 * h + oldNibble);
        // 8..14 are centred like 15 (see hatDirection): no press for them.
        if (hatDirection(value, h) >= 0)
            Q_EMIT buttonPressed(HatButtonBase + 16 * h + newNibble);
    }
    lastHats = value;
}
