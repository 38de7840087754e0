#pragma once
// Simulated bases on an emulated USB bus, for tests that run the real libusb. Each base is a
// usb_device record in a umockdev testbed whose /dev/bus/usb node serves the usbdevfs ioctls
// libusb makes (capabilities, URB submit/reap/discard) from this process: standard
// GET_DESCRIPTOR requests are answered from the base's descriptors, vendor requests from a
// FirmwareModel through its UsbFace.
//
// The ioctl handlers run on umockdev's worker thread; every access to a base's model and
// fault settings goes through the accessors below, which take the base's lock.
//
// The test binary must run under umockdev-wrapper. Create the fixture, add the bases, then
// let the code under test initialise libusb: devices added later are not seen by an
// already-initialised libusb context.

#include <QByteArray>
#include <QString>
#include <QVector>

#include <functional>
#include <memory>

class FirmwareModel;

class UsbBaseFixture
{
public:
    struct Request
    {
        uint8_t requestType = 0;
        uint8_t request = 0;
        uint16_t value = 0;
        uint16_t index = 0;
        uint16_t length = 0;
        QByteArray data; // host-to-device data stage
    };

    UsbBaseFixture();
    ~UsbBaseFixture();
    UsbBaseFixture(const UsbBaseFixture &) = delete;
    UsbBaseFixture &operator=(const UsbBaseFixture &) = delete;

    // Adds a base with the given vendor/product and serial number string; returns its index.
    // Returns -1 (and fills error) when umockdev refuses the record or the handler.
    int addBase(uint16_t product, const QString &serial, uint16_t vendor = 0xFFFF,
        QString *error = nullptr);
    int baseCount() const;

    // Runs f on the base's model under its lock.
    void withModel(int base, const std::function<void(FirmwareModel &)> &f);
    QByteArray activeImage(int base);

    // Vendor requests the base received, in order.
    QVector<Request> vendorRequests(int base);
    void clearVendorRequests(int base);

    // Fault injection (all off by default):
    // the base never completes vendor requests (the host's timeout discards them);
    void setSilent(int base, bool silent);
    // the read of request 20 answers these bytes instead of the active image;
    void setReadOverride(int base, const QByteArray &bytes);
    // the base takes at most this many bytes of a host-to-device data stage (-1: all) and
    // ignores a data stage it did not take in full;
    void setWriteLimit(int base, int bytes);
    // every host-to-device vendor request (write, revert) is stalled.
    void setStallWrites(int base, bool stall);

    // Count of ioctls the handler did not know and passed on to umockdev, by request number.
    QVector<unsigned long> unhandledIoctls(int base);

private:
    struct Private;
    std::unique_ptr<Private> d;
};
