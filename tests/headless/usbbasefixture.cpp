// umockdev.h (GIO) must come before any Qt header.
#include <umockdev.h>

#include "usbbasefixture.h"

#include "firmwaremodel.h"
#include "usbface.h"

#include <QMutex>
#include <QMutexLocker>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <deque>
#include <linux/usb/ch9.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>

namespace {

struct Base
{
    Base()
        : face(&model)
    {
    }

    QMutex lock;
    FirmwareModel model;
    UsbFace face;
    QString serial;
    QByteArray deviceDescriptor;
    QByteArray configDescriptor;
    UMockdevIoctlBase *handler = nullptr;
    gulong signalId = 0;

    // URBs completed and waiting to be reaped, by their address in the client.
    std::deque<gulong> reapQueue;
    // URBs submitted to a silent base, never completed unless discarded.
    QVector<gulong> pending;

    QVector<UsbBaseFixture::Request> vendorRequests;
    QVector<unsigned long> unhandled;
    bool silent = false;
    bool stallWrites = false;
    bool hasReadOverride = false;
    QByteArray readOverride;
    int writeLimit = -1;
};

QByteArray deviceDescriptorFor(uint16_t vendor, uint16_t product)
{
    const uint8_t d[18] = {18, USB_DT_DEVICE, 0x00, 0x02, // bcdUSB 2.00
        0xFF, 0x00, 0x00, 64, // vendor class, EP0 size 64
        uint8_t(vendor & 0xFF), uint8_t(vendor >> 8), uint8_t(product & 0xFF),
        uint8_t(product >> 8), 0x00, 0x01, // bcdDevice 1.00
        1, 2, 3, // iManufacturer, iProduct, iSerialNumber
        1};
    return QByteArray(reinterpret_cast<const char *>(d), sizeof d);
}

QByteArray configDescriptor()
{
    const uint8_t d[18] = {9, USB_DT_CONFIG, 18, 0, 1, 1, 0, 0x80, 50, // one interface, 100 mA
        9, USB_DT_INTERFACE, 0, 0, 0, 0xFF, 0, 0, 0};
    return QByteArray(reinterpret_cast<const char *>(d), sizeof d);
}

QByteArray stringDescriptor(const QString &text)
{
    QByteArray out;
    const int chars = qMin(text.size(), 126);
    out.append(char(2 + 2 * chars));
    out.append(char(USB_DT_STRING));
    for (int i = 0; i < chars; ++i) {
        const ushort c = text.at(i).unicode();
        out.append(char(c & 0xFF));
        out.append(char(c >> 8));
    }
    return out;
}

// Answers a standard GET_DESCRIPTOR; returns false to stall.
bool standardRequest(Base *base, const usb_ctrlrequest &setup, QByteArray *answer)
{
    if (setup.bRequestType != USB_DIR_IN || setup.bRequest != USB_REQ_GET_DESCRIPTOR)
        return false;
    const int type = setup.wValue >> 8;
    const int index = setup.wValue & 0xFF;
    switch (type) {
    case USB_DT_DEVICE:
        *answer = base->deviceDescriptor;
        break;
    case USB_DT_CONFIG:
        if (index != 0)
            return false;
        *answer = base->configDescriptor;
        break;
    case USB_DT_STRING:
        if (index == 0) {
            *answer = QByteArray("\x04\x03\x09\x04", 4); // US English only
        } else if (setup.wIndex != 0x0409) {
            return false;
        } else if (index == 1) {
            *answer = stringDescriptor(QStringLiteral("Tavik"));
        } else if (index == 2) {
            *answer = stringDescriptor(QStringLiteral("Brontel"));
        } else if (index == 3) {
            *answer = stringDescriptor(base->serial);
        } else {
            return false;
        }
        break;
    default:
        return false;
    }
    *answer = answer->left(setup.wLength);
    return true;
}

// Maps size bytes at offset in data (a client's memory) into this process. On failure the
// ioctl fails with EFAULT and the result is null; otherwise the caller owns the result.
UMockdevIoctlData *resolveOrFault(
    UMockdevIoctlClient *client, UMockdevIoctlData *data, gsize offset, gsize size)
{
    GError *error = nullptr;
    UMockdevIoctlData *out = umockdev_ioctl_data_resolve(data, offset, size, &error);
    if (!out) {
        g_clear_error(&error);
        umockdev_ioctl_client_complete(client, -1, EFAULT);
    }
    return out;
}

// The same for the ioctl's argument itself.
UMockdevIoctlData *resolveArgOrFault(UMockdevIoctlClient *client, gsize size)
{
    return resolveOrFault(client, umockdev_ioctl_client_get_arg(client), 0, size);
}

// Completes an URB with this status and length; the client reaps it next.
void finishUrb(Base *base, UMockdevIoctlClient *client, UMockdevIoctlData *urbData, int status,
    int actualLength)
{
    auto *urb = reinterpret_cast<usbdevfs_urb *>(urbData->data);
    urb->status = status;
    urb->actual_length = actualLength;
    base->reapQueue.push_back(urbData->client_addr);
    umockdev_ioctl_client_complete(client, 0, 0);
}

void submitUrb(Base *base, UMockdevIoctlClient *client)
{
    g_autoptr(UMockdevIoctlData) urbData = resolveArgOrFault(client, sizeof(usbdevfs_urb));
    if (!urbData)
        return;
    auto *urb = reinterpret_cast<usbdevfs_urb *>(urbData->data);
    if (urb->type != USBDEVFS_URB_TYPE_CONTROL || (urb->endpoint & 0x7F) != 0
        || urb->buffer_length < int(sizeof(usb_ctrlrequest))) {
        // The base has only the control endpoint.
        umockdev_ioctl_client_complete(client, -1, ENOENT);
        return;
    }
    g_autoptr(UMockdevIoctlData) buffer = resolveOrFault(
        client, urbData, offsetof(usbdevfs_urb, buffer), gsize(urb->buffer_length));
    if (!buffer)
        return;
    usb_ctrlrequest setup;
    memcpy(&setup, buffer->data, sizeof setup);
    // The URB's buffer is in host order on the wire format's little-endian fields; this
    // machine is little-endian as well.
    const int dataRoom = buffer->data_len - int(sizeof setup);
    const int length = qMin(int(setup.wLength), dataRoom);
    uint8_t *stage = buffer->data + sizeof setup;
    const bool in = setup.bRequestType & USB_DIR_IN;

    bool ok = false;
    QByteArray answer;
    int actual = 0;
    if ((setup.bRequestType & USB_TYPE_MASK) == USB_TYPE_VENDOR) {
        UsbBaseFixture::Request r;
        r.requestType = setup.bRequestType;
        r.request = setup.bRequest;
        r.value = setup.wValue;
        r.index = setup.wIndex;
        r.length = setup.wLength;
        if (!in)
            r.data = QByteArray(reinterpret_cast<const char *>(stage), length);
        base->vendorRequests.append(r);
        if (base->silent) {
            base->pending.append(urbData->client_addr);
            umockdev_ioctl_client_complete(client, 0, 0);
            return;
        }
        if (base->stallWrites && !in) {
            ok = false;
        } else if (in && setup.bRequest == 20 /* image */ && base->hasReadOverride) {
            answer = base->readOverride.left(length);
            ok = true;
        } else if (in) {
            ok = base->face.control(setup.bRequestType, setup.bRequest, setup.wValue, setup.wIndex,
                uint16_t(length), &answer);
        } else {
            const int taken = base->writeLimit < 0 ? length : qMin(length, base->writeLimit);
            ok = true;
            if (taken == length) {
                answer = r.data;
                ok = base->face.control(setup.bRequestType, setup.bRequest, setup.wValue,
                    setup.wIndex, uint16_t(length), &answer);
            }
            actual = taken;
        }
    } else {
        ok = standardRequest(base, setup, &answer);
    }

    if (ok && in) {
        actual = qMin(answer.size(), length);
        memcpy(stage, answer.constData(), size_t(actual));
    }
    finishUrb(base, client, urbData, ok ? 0 : -EPIPE, ok ? actual : 0);
}

void discardUrb(Base *base, UMockdevIoctlClient *client)
{
    g_autoptr(UMockdevIoctlData) urbData = resolveArgOrFault(client, sizeof(usbdevfs_urb));
    if (!urbData)
        return;
    if (!base->pending.removeOne(urbData->client_addr)) {
        // Already completed: the kernel answers EINVAL and the URB is reaped normally.
        umockdev_ioctl_client_complete(client, -1, EINVAL);
        return;
    }
    finishUrb(base, client, urbData, -ENOENT, 0);
}

void reapUrb(Base *base, UMockdevIoctlClient *client)
{
    if (base->reapQueue.empty()) {
        umockdev_ioctl_client_complete(client, -1, EAGAIN);
        return;
    }
    g_autoptr(UMockdevIoctlData) slot = resolveArgOrFault(client, sizeof(void *));
    if (!slot)
        return;
    const gulong address = base->reapQueue.front();
    base->reapQueue.pop_front();
    memcpy(slot->data, &address, sizeof address);
    umockdev_ioctl_client_complete(client, 0, 0);
}

gboolean handleIoctl(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer userData)
{
    auto *base = static_cast<Base *>(userData);
    QMutexLocker locker(&base->lock);
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
        g_autoptr(UMockdevIoctlData) caps = resolveArgOrFault(client, sizeof(uint32_t));
        if (!caps)
            return TRUE;
        const uint32_t value = USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM;
        memcpy(caps->data, &value, sizeof value);
        umockdev_ioctl_client_complete(client, 0, 0);
        return TRUE;
    }
    case USBDEVFS_SUBMITURB:
        submitUrb(base, client);
        return TRUE;
    case USBDEVFS_REAPURBNDELAY:
        reapUrb(base, client);
        return TRUE;
    case USBDEVFS_DISCARDURB:
        discardUrb(base, client);
        return TRUE;
    default:
        if (!base->unhandled.contains(request))
            base->unhandled.append(request);
        return FALSE;
    }
}

} // namespace

struct UsbBaseFixture::Private
{
    UMockdevTestbed *testbed = nullptr;
    std::vector<std::unique_ptr<Base>> bases;

    // Runs f on base i under the base's lock; nothing for an index that names no base.
    template<class F> void locked(int i, F f)
    {
        if (i < 0 || size_t(i) >= bases.size())
            return;
        Base &base = *bases[size_t(i)];
        QMutexLocker locker(&base.lock);
        f(base);
    }
};

UsbBaseFixture::UsbBaseFixture()
    : d(new Private)
{
    d->testbed = umockdev_testbed_new();
}

UsbBaseFixture::~UsbBaseFixture()
{
    for (auto &base : d->bases) {
        if (base->handler) {
            g_signal_handler_disconnect(base->handler, base->signalId);
            g_object_unref(base->handler);
        }
    }
    g_object_unref(d->testbed);
}

int UsbBaseFixture::addBase(
    uint16_t product, const QString &serial, uint16_t vendor, QString *error)
{
    const int index = int(d->bases.size());
    const int devnum = 2 + index;
    auto base = std::make_unique<Base>();
    base->serial = serial;
    base->model.setSerialNumber(serial);
    base->deviceDescriptor = deviceDescriptorFor(vendor, product);
    base->configDescriptor = configDescriptor();

    const QString node = QStringLiteral("bus/usb/001/%1").arg(devnum, 3, 10, QLatin1Char('0'));
    const QByteArray record
        = QStringLiteral("P: /devices/pci0000:00/0000:00:14.0/usb1/1-%1\n"
                         "N: %2\n"
                         "E: DEVNAME=/dev/%2\n"
                         "E: DEVTYPE=usb_device\n"
                         "E: SUBSYSTEM=usb\n"
                         "E: DRIVER=usb\n"
                         "E: BUSNUM=001\n"
                         "E: DEVNUM=%3\n"
                         "E: PRODUCT=%4/%5/100\n"
                         "A: busnum=1\\n\n"
                         "A: devnum=%6\\n\n"
                         "A: speed=12\\n\n"
                         "A: bConfigurationValue=1\\n\n"
                         "A: bNumConfigurations=1\\n\n"
                         "A: dev=189:%7\\n\n"
                         "A: idVendor=%4\\n\n"
                         "A: idProduct=%5\\n\n"
                         "A: serial=%8\\n\n"
                         "H: descriptors=%9\n")
              .arg(index + 1)
              .arg(node)
              .arg(devnum, 3, 10, QLatin1Char('0'))
              .arg(vendor, 4, 16, QLatin1Char('0'))
              .arg(product, 4, 16, QLatin1Char('0'))
              .arg(devnum)
              .arg(devnum - 1)
              .arg(serial)
              .arg(QString::fromLatin1((base->deviceDescriptor + base->configDescriptor).toHex()))
              .toUtf8();

    GError *gerror = nullptr;
    if (!umockdev_testbed_add_from_string(d->testbed, record.constData(), &gerror)) {
        if (error)
            *error = QString::fromUtf8(gerror->message);
        g_clear_error(&gerror);
        return -1;
    }

    base->handler = umockdev_ioctl_base_new();
    base->signalId
        = g_signal_connect(base->handler, "handle-ioctl", G_CALLBACK(handleIoctl), base.get());
    const QByteArray devPath = QByteArray("/dev/") + node.toLatin1();
    if (!umockdev_testbed_attach_ioctl(d->testbed, devPath.constData(), base->handler, &gerror)) {
        if (error)
            *error = QString::fromUtf8(gerror->message);
        g_clear_error(&gerror);
        return -1;
    }
    d->bases.push_back(std::move(base));
    return index;
}

int UsbBaseFixture::baseCount() const
{
    return int(d->bases.size());
}

void UsbBaseFixture::withModel(int i, const std::function<void(FirmwareModel &)> &f)
{
    d->locked(i, [&](Base &base) { f(base.model); });
}

QByteArray UsbBaseFixture::activeImage(int i)
{
    QByteArray image;
    withModel(i, [&](FirmwareModel &m) { image = m.activeImage(); });
    return image;
}

QVector<UsbBaseFixture::Request> UsbBaseFixture::vendorRequests(int i)
{
    QVector<Request> requests;
    d->locked(i, [&](Base &base) { requests = base.vendorRequests; });
    return requests;
}

void UsbBaseFixture::clearVendorRequests(int i)
{
    d->locked(i, [](Base &base) { base.vendorRequests.clear(); });
}

void UsbBaseFixture::setSilent(int i, bool silent)
{
    d->locked(i, [&](Base &base) { base.silent = silent; });
}

void UsbBaseFixture::setReadOverride(int i, const QByteArray &bytes)
{
    d->locked(i, [&](Base &base) {
        base.hasReadOverride = true;
        base.readOverride = bytes;
    });
}

void UsbBaseFixture::setWriteLimit(int i, int bytes)
{
    d->locked(i, [&](Base &base) { base.writeLimit = bytes; });
}

void UsbBaseFixture::setStallWrites(int i, bool stall)
{
    d->locked(i, [&](Base &base) { base.stallWrites = stall; });
}

QVector<unsigned long> UsbBaseFixture::unhandledIoctls(int i)
{
    QVector<unsigned long> unhandled;
    d->locked(i, [&](Base &base) { unhandled = base.unhandled; });
    return unhandled;
}
