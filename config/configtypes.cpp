#include "configtypes.h"

#include <cstring>

bool operator==(const DeviceMappingData &a, const DeviceMappingData &b)
{
    return std::memcmp(a.x, b.x, sizeof a.x) == 0 && std::memcmp(a.y, b.y, sizeof a.y) == 0;
}

int DeviceName::length() const
{
    const void *zero = std::memchr(text, 0, kSize);
    return zero ? int(static_cast<const char *>(zero) - text) : kSize;
}

QByteArray DeviceName::bytes() const
{
    return QByteArray(text, length());
}

namespace {

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(const unsigned char *s, int len)
{
    int i = 0;
    while (i < len) {
        const unsigned c = s[i];
        int extra = 0;
        unsigned min = 0;
        unsigned cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1, min = 0x80, cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2, min = 0x800, cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3, min = 0x10000, cp = c & 0x07;
        } else {
            return false;
        }
        for (int k = 1; k <= extra; ++k) {
            if (i + k >= len || (s[i + k] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

} // namespace

bool DeviceName::isUtf8() const
{
    return isValidUtf8(reinterpret_cast<const unsigned char *>(text), length());
}

QString DeviceName::toString() const
{
    // Names written by older tools are Latin-1; decoding them as UTF-8 would show (and export)
    // replacement characters instead of what the base holds.
    return isUtf8() ? QString::fromUtf8(text, length()) : QString::fromLatin1(text, length());
}

DeviceName DeviceName::fromString(const QString &name)
{
    const QByteArray utf8 = name.toUtf8();
    return fromUtf8(utf8.constData(), size_t(utf8.size()));
}

DeviceName DeviceName::fromUtf8(const char *data, size_t len)
{
    DeviceName result;
    if (!data)
        return result;
    const void *zero = std::memchr(data, 0, len);
    if (zero)
        len = size_t(static_cast<const char *>(zero) - data);
    if (len > size_t(kSize)) {
        // Back up to the first byte of the character that would straddle the limit, so a
        // multi-byte character is kept whole or dropped whole.
        len = kSize;
        while (len > 0 && (static_cast<unsigned char>(data[len]) & 0xC0) == 0x80)
            --len;
    }
    std::memcpy(result.text, data, len);
    return result;
}

DeviceName DeviceName::normalised() const
{
    DeviceName result;
    std::memcpy(result.text, text, size_t(length()));
    return result;
}

bool operator==(const DeviceName &a, const DeviceName &b)
{
    const int len = a.length();
    return len == b.length() && std::memcmp(a.text, b.text, size_t(len)) == 0;
}

bool operator==(const ButtonMapping &a, const ButtonMapping &b)
{
    return std::memcmp(a.map, b.map, sizeof a.map) == 0;
}

QDebug operator<<(QDebug dbg, const DeviceMappingData &curve)
{
    QDebugStateSaver saver(dbg);
    dbg.nospace() << "DeviceMappingData(";
    for (int i = 0; i < DeviceMappingData::kMaxPoints; ++i)
        dbg << '(' << int(curve.x[i]) << ',' << int(curve.y[i]) << ')';
    dbg << ')';
    return dbg;
}

QDebug operator<<(QDebug dbg, const DeviceName &name)
{
    QDebugStateSaver saver(dbg);
    dbg << name.toString();
    return dbg;
}

QDebug operator<<(QDebug dbg, const ButtonMapping &mapping)
{
    QDebugStateSaver saver(dbg);
    dbg.noquote() << QString::asprintf("ButtonMapping(%p)", static_cast<const void *>(&mapping));
    return dbg;
}
