#pragma once
// The base's USB vendor interface, answered from the firmware model: request 20 reads
// (device to host) or writes (host to device) the active configuration image, request 21
// reverts the active configuration to the stored one. Anything else is stalled, as the
// firmware does.
//
// Not thread-safe, like the model it wraps: a caller on another thread (a USB fake serving
// control transfers from its own thread) holds its own lock around every call.

#include "firmwaremodel.h"
#include "wireformat.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

class UsbFace
{
public:
    explicit UsbFace(FirmwareModel *model);

    // One control transfer. For a device-to-host request, data receives the answer (at most
    // length bytes); for a host-to-device request it holds the data stage. Returns false
    // when the request is stalled.
    bool control(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
        uint16_t length, QByteArray *data);

    // Why the last stalled request was refused (empty after a request that succeeded).
    QString lastError() const { return m_lastError; }

private:
    bool stall(const QString &why);

    FirmwareModel *m_model;
    QString m_lastError;
};
