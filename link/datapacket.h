#pragma once
// The latest telemetry of the base: one property per field of the type-1 message, each with
// a change signal that fires only on a change, plus press/release edges of the physical and
// logical buttons and of the four hats.

#include "wireformat.h"

#include <QObject>

#include <cstdint>

class DataPacket : public QObject
{
    Q_OBJECT
// Every field: the property, its getter, setter slot, change signal and member (0 before the
// first message, except mot_fault: see the constructor). One expansion for all of it, because
// moc reads an included file only once.
#define TAVIK_TELEMETRY_FIELD(type, name, offset)                                                  \
    Q_PROPERTY(type name READ name WRITE set_##name NOTIFY name##Changed)                          \
public:                                                                                            \
    type name() const { return m_##name; }                                                         \
public Q_SLOTS:                                                                                    \
    void set_##name(type value);                                                                   \
Q_SIGNALS:                                                                                         \
    void name##Changed(type name);                                                                 \
                                                                                                   \
private:                                                                                           \
    type m_##name = 0;
#include "telemetryfields.def"
#undef TAVIK_TELEMETRY_FIELD

public:
    // Size of a full telemetry message, type byte included; shorter ones are zero-padded.
    static constexpr int kMessageSize = wire::kTelemetrySize;
    // Hat events use the physical button signals with identifiers 0x80 + 16 * hat + direction.
    static constexpr int kHatButtonBase = 0x80;

    explicit DataPacket(QObject *parent = nullptr);

    // Decodes one telemetry payload (type byte first) field by field through the setters, so
    // only changed fields signal. Reads at most 76 bytes and never past length; missing
    // fields are 0. No allocation, no meta-object lookups.
    void applyTelemetry(const uint8_t *data, int length);

Q_SIGNALS:
    void buttonPressed(int buttonId);
    void buttonReleased(int buttonId);
    void logicalButtonPressed(int buttonId);
    void logicalButtonReleased(int buttonId);

private:
    void onButtonsChanged(uint64_t value);
    void onLogicalButtonsChanged(uint64_t value);
    void onHatsChanged(uint32_t value);

    uint64_t m_lastButtons = 0;
    uint64_t m_lastLogicalButtons = 0;
    uint32_t m_lastHats = 0;
};
