#pragma once

#include <QDebug>
#include <QMetaType>
#include <QString>
#include <cstdint>

// A gain curve as the base stores it: count of points in use, then x and y of up to ten points,
// each -127..127 for -1.0..1.0. Default-constructed it is the identity curve of five points.
struct DeviceMappingData
{
    static constexpr int kMaxPoints = 10;

    uint8_t count = 5;
    int8_t x[kMaxPoints] = {-127, -64, 0, 64, 127, 0, 0, 0, 0, 0};
    int8_t y[kMaxPoints] = {-127, -64, 0, 64, 127, 0, 0, 0, 0, 0};
};

// Curves compare by their points only; the count is not part of the comparison.
bool operator==(const DeviceMappingData &a, const DeviceMappingData &b);
inline bool operator!=(const DeviceMappingData &a, const DeviceMappingData &b)
{
    return !(a == b);
}

// A 20-byte zero-padded name, UTF-8 (older tools wrote Latin-1); a name of exactly 20 bytes has no terminator.
struct DeviceName
{
    static constexpr int kSize = 20;

    char text[kSize] = {};

    // Bytes up to the first zero, at most 20.
    int length() const;
    QByteArray bytes() const;
    // True when the bytes are valid UTF-8 (an empty name is).
    bool isUtf8() const;
    // The text as UTF-8 when the bytes are valid UTF-8, else as Latin-1.
    QString toString() const;
    // Encodes as UTF-8 and keeps as many whole characters as fit into 20 bytes.
    static DeviceName fromString(const QString &name);
    // Takes at most 20 bytes of a UTF-8 string, never cutting a character; stops at a zero byte.
    static DeviceName fromUtf8(const char *data, size_t len);
    // The same text with every byte after it zero.
    DeviceName normalised() const;
};

bool operator==(const DeviceName &a, const DeviceName &b);
inline bool operator!=(const DeviceName &a, const DeviceName &b)
{
    return !(a == b);
}

// Element i holds the physical button that feeds logical button i+1.
struct ButtonMapping
{
    static constexpr int kSize = 48;

    uint8_t map[kSize] = {};
};

bool operator==(const ButtonMapping &a, const ButtonMapping &b);
inline bool operator!=(const ButtonMapping &a, const ButtonMapping &b)
{
    return !(a == b);
}

static_assert(sizeof(DeviceMappingData) == 21, "curve is 21 bytes in the image");
static_assert(sizeof(DeviceName) == 20, "name is 20 bytes in the image");
static_assert(sizeof(ButtonMapping) == 48, "button map is 48 bytes in the image");

QDebug operator<<(QDebug dbg, const DeviceMappingData &curve);
QDebug operator<<(QDebug dbg, const DeviceName &name);
QDebug operator<<(QDebug dbg, const ButtonMapping &mapping);

Q_DECLARE_METATYPE(DeviceMappingData)
Q_DECLARE_METATYPE(DeviceName)
Q_DECLARE_METATYPE(ButtonMapping)
