#pragma once

#include <QString>
#include <QVector>

#include <cstdint>

struct hid_device_;
struct hid_device_info;

// What enumeration tells about one HID interface.
struct HidDeviceInfo
{
    QString path;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    QString serialNumber;
    uint16_t releaseNumber = 0;
    QString manufacturer;
    QString product;
    int interfaceNumber = -1;
    uint16_t usagePage = 0;
    uint16_t usage = 0;

    static HidDeviceInfo fromHidapi(const hid_device_info &info);
};

// Multi-line description for the debug log.
QString describeHidDevice(const HidDeviceInfo &info, bool opened);

// Every HID interface whose product string names a base, in enumeration order.
QVector<HidDeviceInfo> enumerateBases();

// An output device: its enumeration data and, while open, the hidapi handle. Destroying it
// closes the handle.
class HidDevice
{
public:
    HidDevice() = default;
    ~HidDevice();
    HidDevice(const HidDevice &) = delete;
    HidDevice &operator=(const HidDevice &) = delete;

    bool open(const HidDeviceInfo &info);
    void close();
    bool isOpen() const { return m_handle != nullptr; }
    const HidDeviceInfo &info() const { return m_info; }

    // Sends one output report (report id first). False when closed or the write fails.
    bool write(const uint8_t *data, size_t size);

    // Multi-line description for the debug log.
    QString description() const;

private:
    HidDeviceInfo m_info;
    hid_device_ *m_handle = nullptr;
};
