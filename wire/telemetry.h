#pragma once
// One telemetry message as named fields (telemetryfields.def), and its encoding. The base's
// side writes messages with it; the host decodes the same list in DataPacket.
//
// Include this only from .cpp files: moc reads a file once per header, so a header that moc
// reads must not use up telemetryfields.def before its own class expands it.

#include "wireformat.h"

namespace wire {

// One telemetry message's fields, by the names of telemetryfields.def.
struct Telemetry
{
#define TAVIK_TELEMETRY_FIELD(type, name, offset) type name = 0;
#include "telemetryfields.def"
#undef TAVIK_TELEMETRY_FIELD
};

// Writes the whole message (type byte first) into out, which holds kTelemetrySize bytes.
inline void encodeTelemetry(const Telemetry &t, uint8_t *out)
{
    out[0] = MsgTelemetry;
#define TAVIK_TELEMETRY_FIELD(type, name, offset) writeLe<type>(out + (offset), t.name);
#include "telemetryfields.def"
#undef TAVIK_TELEMETRY_FIELD
}

} // namespace wire
