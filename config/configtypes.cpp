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

QString DeviceName::toString() const
{
    return QString::fromUtf8(text, length());
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
