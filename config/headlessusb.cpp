#include "headlessusb.h"

#include <libusb.h>

const char *UsbTransport::errorName(int code)
{
    return libusb_error_name(code);
}

LibusbTransport::~LibusbTransport()
{
    for (libusb_device_handle *h : m_handles) {
        if (h)
            libusb_close(h);
    }
    freeList();
    if (m_context)
        libusb_exit(m_context);
}

int LibusbTransport::initialise()
{
    if (m_context)
        return LIBUSB_SUCCESS;
    return libusb_init(&m_context);
}

void LibusbTransport::freeList()
{
    if (m_list)
        libusb_free_device_list(m_list, 1);
    m_list = nullptr;
    m_count = 0;
}

int LibusbTransport::enumerate()
{
    if (!m_context)
        return LIBUSB_ERROR_NOT_FOUND;
    freeList();
    libusb_device **list = nullptr;
    const ssize_t count = libusb_get_device_list(m_context, &list);
    if (count < 0)
        return int(count);
    m_list = list;
    m_count = int(count);
    return m_count;
}

libusb_device *LibusbTransport::device(int index) const
{
    return (m_list && index >= 0 && index < m_count) ? m_list[index] : nullptr;
}

libusb_device_handle *LibusbTransport::handle(int index) const
{
    return (index >= 0 && size_t(index) < m_handles.size()) ? m_handles[size_t(index)] : nullptr;
}

int LibusbTransport::deviceDescriptor(int index, DeviceDescriptor *descriptor)
{
    libusb_device *dev = device(index);
    if (!dev || !descriptor)
        return LIBUSB_ERROR_INVALID_PARAM;
    libusb_device_descriptor d {};
    const int r = libusb_get_device_descriptor(dev, &d);
    if (r < 0)
        return r;
    descriptor->vendorId = d.idVendor;
    descriptor->productId = d.idProduct;
    descriptor->serialNumberIndex = d.iSerialNumber;
    return LIBUSB_SUCCESS;
}

int LibusbTransport::open(int index)
{
    libusb_device *dev = device(index);
    if (!dev)
        return LIBUSB_ERROR_INVALID_PARAM;
    libusb_device_handle *h = nullptr;
    const int r = libusb_open(dev, &h);
    if (r < 0)
        return r;
    for (size_t i = 0; i < m_handles.size(); ++i) {
        if (!m_handles[i]) {
            m_handles[i] = h;
            return int(i);
        }
    }
    m_handles.push_back(h);
    return int(m_handles.size() - 1);
}

void LibusbTransport::close(int index)
{
    if (libusb_device_handle *h = handle(index)) {
        libusb_close(h);
        m_handles[size_t(index)] = nullptr;
    }
}

int LibusbTransport::stringDescriptorAscii(
    int index, uint8_t descriptorIndex, char *buffer, int size)
{
    libusb_device_handle *h = handle(index);
    if (!h || !buffer || size <= 0)
        return LIBUSB_ERROR_INVALID_PARAM;
    buffer[0] = '\0';
    // libusb does not terminate the text; keep the last byte for the terminator.
    const int r = libusb_get_string_descriptor_ascii(
        h, descriptorIndex, reinterpret_cast<unsigned char *>(buffer), size - 1);
    if (r < 0)
        return r;
    const int n = r < size - 1 ? r : size - 1;
    buffer[n] = '\0';
    return n;
}

int LibusbTransport::controlTransfer(int index, uint8_t requestType, uint8_t request,
    uint16_t value, uint16_t wIndex, uint8_t *data, uint16_t length, unsigned int timeoutMs)
{
    libusb_device_handle *h = handle(index);
    if (!h)
        return LIBUSB_ERROR_INVALID_PARAM;
    return libusb_control_transfer(h, requestType, request, value, wIndex, data, length, timeoutMs);
}
