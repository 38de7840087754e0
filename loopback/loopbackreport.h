#pragma once

#include <QString>

#include <array>
#include <cstdint>

// The HID output report 0x40 that carries the forwarded buttons and hats to the base:
// id, 64 button bits little-endian, then four hat nibbles (hat 1 in the low nibble of byte 9).
class LoopbackReport
{
public:
    static constexpr int kSize = 11;
    static constexpr uint8_t kReportId = 0x40;
    static constexpr int kHatCount = 4;
    static constexpr int kButtonCount = 64;
    static constexpr uint8_t kHatCentred = 0x0F;

    using Bytes = std::array<uint8_t, kSize>;

    LoopbackReport();

    void setButtons(uint64_t buttons);
    uint64_t buttons() const;

    // Sets hat `hat` (0-based) from the joystick library's hat value. Hats beyond the fourth
    // have no room in the report and are ignored (returns false).
    bool setHat(int hat, uint8_t hatValue);
    uint8_t hatCode(int hat) const;

    const Bytes &bytes() const { return m_bytes; }
    const uint8_t *data() const { return m_bytes.data(); }

    // Direction code 0 (up) .. 7 (up-left) clockwise; 15 for centred or an impossible value.
    static uint8_t directionCode(uint8_t hatValue);

private:
    Bytes m_bytes;
};

QString toHex(const LoopbackReport::Bytes &bytes);

// The base is recognised by its HID product string.
bool isBaseProduct(const QString &product);

// Combo box entry of a base: "[FFFF:2055] <product>\nSerial:<serial>".
QString baseLabel(
    uint16_t vendorId, uint16_t productId, const QString &product, const QString &serial);
