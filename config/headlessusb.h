#pragma once
// The USB calls the command-line path makes, behind a small interface: enumerate the
// attached devices, read a device descriptor, open a device, read a string descriptor and
// make a control transfer. LibusbTransport is the real one; the interface lets a test
// exercise a step that an emulated bus cannot provide.
//
// Devices are numbered 0..count-1 in the order of the last enumeration; open handles are
// small non-negative numbers. Failures are libusb error codes (negative).

#include <cstdint>
#include <vector>

struct libusb_context;
struct libusb_device;
struct libusb_device_handle;

class UsbTransport
{
public:
    struct DeviceDescriptor
    {
        uint16_t vendorId = 0;
        uint16_t productId = 0;
        uint8_t serialNumberIndex = 0;
    };

    virtual ~UsbTransport() = default;

    // Prepares the USB library; 0 or an error code. Called once before anything else.
    virtual int initialise() = 0;
    // Takes a new snapshot of the attached devices (dropping the previous one); returns the
    // number of devices or an error code.
    virtual int enumerate() = 0;
    virtual int deviceDescriptor(int device, DeviceDescriptor *descriptor) = 0;
    // Returns a handle (>= 0) or an error code. The handle stays valid after the next
    // enumerate() until it is closed.
    virtual int open(int device) = 0;
    virtual void close(int handle) = 0;
    // Reads string descriptor index in the device's first language, as ASCII, into buffer
    // (NUL-terminated); returns the length or an error code.
    virtual int stringDescriptorAscii(int handle, uint8_t index, char *buffer, int size) = 0;
    // Returns the number of bytes transferred in the data stage, or an error code.
    virtual int controlTransfer(int handle, uint8_t requestType, uint8_t request, uint16_t value,
        uint16_t index, uint8_t *data, uint16_t length, unsigned int timeoutMs)
        = 0;

    // The library's own handle object, for log lines; null when there is none.
    virtual const void *nativeHandle(int handle) const
    {
        (void)handle;
        return nullptr;
    }

    // libusb's name of an error code ("LIBUSB_ERROR_TIMEOUT"); works without initialise().
    static const char *errorName(int code);
};

class LibusbTransport : public UsbTransport
{
public:
    LibusbTransport() = default;
    ~LibusbTransport() override;
    LibusbTransport(const LibusbTransport &) = delete;
    LibusbTransport &operator=(const LibusbTransport &) = delete;

    int initialise() override;
    int enumerate() override;
    int deviceDescriptor(int device, DeviceDescriptor *descriptor) override;
    int open(int device) override;
    void close(int handle) override;
    int stringDescriptorAscii(int handle, uint8_t index, char *buffer, int size) override;
    int controlTransfer(int handle, uint8_t requestType, uint8_t request, uint16_t value,
        uint16_t index, uint8_t *data, uint16_t length, unsigned int timeoutMs) override;

private:
    void freeList();
    libusb_device *device(int index) const;
    libusb_device_handle *handle(int index) const;

    // A context of our own rather than libusb's default one: nothing else in the program
    // uses libusb, and it ends with this object.
    libusb_context *m_context = nullptr;
    libusb_device **m_list = nullptr;
    int m_count = 0;
    std::vector<libusb_device_handle *> m_handles;
};
