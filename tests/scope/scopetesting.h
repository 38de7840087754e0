#pragma once
// Helpers of the Scope tests: telemetry payloads as the base sends them, and an endpoint
// whose packet handler the test calls with them.

#include "tavikcomm.h"

#include <QByteArray>

#include <cstdint>
#include <cstring>
#include <memory>

namespace scopetesting {

// The endpoint's own decoding path, fed without a port.
class InjectingComm : public TavikComm
{
public:
    using TavikComm::TavikComm;
    void inject(const QByteArray &payload)
    {
        std::unique_ptr<uint8_t[]> exact(new uint8_t[size_t(qMax(payload.size(), 1))]);
        std::memcpy(exact.get(), payload.constData(), size_t(payload.size()));
        handlePacket(exact.get(), payload.size());
    }
};

inline void put16(QByteArray &p, int offset, int value)
{
    p[offset] = char(value & 0xFF);
    p[offset + 1] = char((value >> 8) & 0xFF);
}

struct Telemetry
{
    int stamp = 0;
    int x = 0;
    int y = 0;
    int fxout = 0;
    int fyout = 0;
    int currX = 0;
    int ibus = 0;
    int vbus = 0;
};

// A full 76-byte type-1 message with the given fields (offsets of the wire format).
inline QByteArray telemetry(const Telemetry &t)
{
    QByteArray p(76, '\0');
    p[0] = char(1);
    put16(p, 1, t.x);
    put16(p, 3, t.y);
    put16(p, 13, t.fxout);
    put16(p, 15, t.fyout);
    put16(p, 17, t.stamp);
    put16(p, 29, t.currX);
    put16(p, 37, t.ibus);
    put16(p, 39, t.vbus);
    return p;
}

} // namespace scopetesting
