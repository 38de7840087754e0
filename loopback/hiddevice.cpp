#include "hiddevice.h"
#include "loopbackreport.h"

#include <hidapi/hidapi.h>

static QString fromWide(const wchar_t *text)
{
    return text ? QString::fromWCharArray(text) : QString();
}

HidDeviceInfo HidDeviceInfo::fromHidapi(const hid_device_info &info)
{
    HidDeviceInfo d;
    d.path = info.path ? QString::fromUtf8(info.path) : QString();
    d.vendorId = info.vendor_id;
    d.productId = info.product_id;
    d.serialNumber = fromWide(info.serial_number);
    d.releaseNumber = info.release_number;
    d.manufacturer = fromWide(info.manufacturer_string);
    d.product = fromWide(info.product_string);
    d.interfaceNumber = info.interface_number;
    d.usagePage = info.usage_page;
    d.usage = info.usage;
    return d;
}

QVector<HidDeviceInfo> enumerateBases()
{
    QVector<HidDeviceInfo> bases;
    hid_device_info *list = hid_enumerate(0, 0);
    for (const hid_device_info *it = list; it; it = it->next) {
        HidDeviceInfo info = HidDeviceInfo::fromHidapi(*it);
        if (isBaseProduct(info.product) && !info.path.isEmpty())
            bases.append(info);
    }
    hid_free_enumeration(list);
    return bases;
}

HidDevice::~HidDevice()
{
    close();
}

bool HidDevice::open(const HidDeviceInfo &info)
{
    close();
    m_info = info;
    m_handle = hid_open_path(info.path.toUtf8().constData());
    return m_handle != nullptr;
}

void HidDevice::close()
{
    if (m_handle) {
        hid_close(m_handle);
        m_handle = nullptr;
    }
}

bool HidDevice::write(const uint8_t *data, size_t size)
{
    if (!m_handle)
        return false;
    return hid_write(m_handle, data, size) >= 0;
}

QString HidDevice::description() const
{
    return describeHidDevice(m_info, isOpen());
}

QString describeHidDevice(const HidDeviceInfo &info, bool opened)
{
    QString text = QStringLiteral("HidDevice\n");
    text += QStringLiteral("opened: %1\n").arg(opened ? "true" : "false");
    text += QStringLiteral("Path: %1\n").arg(info.path);
    text += QStringLiteral("Vendor ID: %1\n").arg(info.vendorId);
    text += QStringLiteral("Product ID: %1\n").arg(info.productId);
    text += QStringLiteral("Serial Number: %1\n").arg(info.serialNumber);
    text += QStringLiteral("Manufacturer: %1\n").arg(info.manufacturer);
    text += QStringLiteral("Product: %1\n").arg(info.product);
    text += QStringLiteral("Release Number: %1\n").arg(info.releaseNumber);
    text += QStringLiteral("Interface Number: %1\n").arg(info.interfaceNumber);
    text += QStringLiteral("Usage (page): %1 (%2)").arg(info.usage).arg(info.usagePage);
    return text;
}
