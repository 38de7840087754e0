#include "loopbackreport.h"

#include <QStringList>

LoopbackReport::LoopbackReport()
{
    m_bytes.fill(0);
    m_bytes[0] = kReportId;
    m_bytes[9] = 0xFF;
    m_bytes[10] = 0xFF;
}

void LoopbackReport::setButtons(uint64_t buttons)
{
    for (int i = 0; i < 8; ++i)
        m_bytes[1 + i] = uint8_t(buttons >> (8 * i));
}

uint64_t LoopbackReport::buttons() const
{
    uint64_t buttons = 0;
    for (int i = 0; i < 8; ++i)
        buttons |= uint64_t(m_bytes[1 + i]) << (8 * i);
    return buttons;
}

bool LoopbackReport::setHat(int hat, uint8_t hatValue)
{
    if (hat < 0 || hat >= kHatCount)
        return false;
    uint8_t &byte = m_bytes[9 + hat / 2];
    const uint8_t code = directionCode(hatValue);
    if (hat % 2 == 0)
        byte = uint8_t((byte & 0xF0) | code);
    else
        byte = uint8_t((byte & 0x0F) | (code << 4));
    return true;
}

uint8_t LoopbackReport::hatCode(int hat) const
{
    if (hat < 0 || hat >= kHatCount)
        return kHatCentred;
    const uint8_t byte = m_bytes[9 + hat / 2];
    return hat % 2 == 0 ? byte & 0x0F : byte >> 4;
}

uint8_t LoopbackReport::directionCode(uint8_t hatValue)
{
    // The joystick library's hat bits: up 1, right 2, down 4, left 8.
    switch (hatValue) {
    case 1:
        return 0;
    case 3:
        return 1;
    case 2:
        return 2;
    case 6:
        return 3;
    case 4:
        return 4;
    case 12:
        return 5;
    case 8:
        return 6;
    case 9:
        return 7;
    default:
        return kHatCentred;
    }
}

QString toHex(const LoopbackReport::Bytes &bytes)
{
    QStringList parts;
    for (uint8_t b : bytes)
        parts << QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
    return parts.join(QLatin1Char(' '));
}

bool isBaseProduct(const QString &product)
{
    return product.startsWith(QLatin1String("Brontel FFB"), Qt::CaseSensitive);
}

QString baseLabel(
    uint16_t vendorId, uint16_t productId, const QString &product, const QString &serial)
{
    return QStringLiteral("[%1:%2] ")
               .arg(vendorId, 4, 16, QLatin1Char('0'))
               .arg(productId, 4, 16, QLatin1Char('0'))
               .toUpper()
        + product + QStringLiteral("\nSerial:") + serial;
}
