#pragma once
// Helpers of the Scope tests: telemetry payloads as the base sends them, and an endpoint
// whose packet handler the test calls with them. Include after datapacket.h (telemetry.h
// expands the field list, which moc reads once).

#include "tavikcomm.h"
#include "telemetry.h"

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

// A full type-1 message, encoded as the base's side encodes it.
inline QByteArray encoded(const wire::Telemetry &t)
{
    QByteArray p(wire::kTelemetrySize, '\0');
    wire::encodeTelemetry(t, reinterpret_cast<uint8_t *>(p.data()));
    return p;
}

inline QByteArray telemetry(const Telemetry &t)
{
    wire::Telemetry w;
    w.timestamp = uint16_t(t.stamp);
    w.x = int16_t(t.x);
    w.y = int16_t(t.y);
    w.fxout = int16_t(t.fxout);
    w.fyout = int16_t(t.fyout);
    w.curr_x = int16_t(t.currX);
    w.Ibus = int16_t(t.ibus);
    w.Vbus = int16_t(t.vbus);
    return encoded(w);
}

} // namespace scopetesting
