#include "usbface.h"

UsbFace::UsbFace(FirmwareModel *model)
    : m_model(model)
{
}

bool UsbFace::control(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
    uint16_t length, QByteArray *data)
{
    m_lastError.clear();
    if (!data)
        return stall(QStringLiteral("no data buffer"));
    const bool deviceToHost = requestType & 0x80;
    if (requestType != wire::kUsbVendorIn && requestType != wire::kUsbVendorOut)
        return stall(QStringLiteral("not a vendor request to the device"));
    if (value != 0 || index != 0)
        return stall(QStringLiteral("unexpected wValue/wIndex"));

    if (request == wire::kUsbRequestImage && deviceToHost) {
        *data = m_model->activeImage().left(length);
        return true;
    }
    if (request == wire::kUsbRequestImage) {
        // The firmware takes only a whole image; a short or oversized data stage is refused
        // without touching the active configuration.
        if (data->size() != length)
            return stall(QStringLiteral("data stage does not match wLength"));
        QString error;
        if (!m_model->applyImage(*data, &error))
            return stall(error);
        return true;
    }
    if (request == wire::kUsbRequestRevert && !deviceToHost) {
        if (length != 0)
            return stall(QStringLiteral("revert takes no data"));
        m_model->revertToStored();
        data->clear();
        return true;
    }
    return stall(QStringLiteral("unknown vendor request %1").arg(request));
}

bool UsbFace::stall(const QString &why)
{
    m_lastError = why;
    return false;
}
