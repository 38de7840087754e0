#include "mockbase.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QtTest>

#include <linux/hidraw.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

// Joystick collection with one vendor output report 0x40 of ten bytes.
static const unsigned char kReportDescriptor[]
    = {0x05, 0x01, 0x09, 0x04, 0xA1, 0x01, 0x85, 0x40, 0x06, 0x00, 0xFF, 0x09, 0x01, 0x15, 0x00,
        0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x0A, 0x91, 0x02, 0xC0};

static QString hex(const unsigned char *data, size_t size)
{
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(data), int(size)).toHex());
}

MockHidDevice::MockHidDevice(UMockdevTestbed *testbed, int number, const QString &product,
    const QString &serial, uint16_t productId)
    : m_testbed(testbed)
    , m_number(number)
    , m_serial(serial)
{
    const QString pid = QStringLiteral("%1").arg(productId, 4, 16, QLatin1Char('0')).toUpper();
    const QString hidName
        = QStringLiteral("0003:FFFF:%1.%2").arg(pid).arg(number + 1, 4, 10, QLatin1Char('0'));
    m_usbSyspath = QStringLiteral("/sys/devices/pci0000:00/0000:00:14.0/usb1/1-%1").arg(number + 1);
    const QString base
        = QStringLiteral("/devices/pci0000:00/0000:00:14.0/usb1/1-%1").arg(number + 1);
    const QString intf = base + QStringLiteral("/1-%1:1.0").arg(number + 1);
    const QString hid = intf + QLatin1Char('/') + hidName;
    m_hidrawSyspath = QStringLiteral("/sys") + hid + QStringLiteral("/hidraw/hidraw%1").arg(number);
    const QString record = QStringLiteral("P: %1/hidraw/hidraw%2\n"
                                          "N: hidraw%2\n"
                                          "E: DEVNAME=/dev/hidraw%2\n"
                                          "E: SUBSYSTEM=hidraw\n"
                                          "A: dev=243:%2\\n\n"
                                          "L: device=../../../%3\n"
                                          "\n")
                               .arg(hid)
                               .arg(number)
                               .arg(hidName)
        + QStringLiteral("P: %1\n"
                         "E: SUBSYSTEM=hid\n"
                         "E: DRIVER=hid-generic\n"
                         "E: HID_ID=0003:0000FFFF:0000%2\n"
                         "E: HID_NAME=Tavik %3\n"
                         "E: HID_UNIQ=%4\n"
                         "H: report_descriptor=%5\n"
                         "\n")
              .arg(hid, pid, product, serial, hex(kReportDescriptor, sizeof kReportDescriptor))
        + QStringLiteral("P: %1\n"
                         "E: DEVTYPE=usb_interface\n"
                         "E: SUBSYSTEM=usb\n"
                         "E: INTERFACE=3/0/0\n"
                         "A: bInterfaceNumber=00\\n\n"
                         "A: bInterfaceClass=03\\n\n"
                         "\n")
              .arg(intf)
        + QStringLiteral("P: %1\n"
                         "E: DEVTYPE=usb_device\n"
                         "E: SUBSYSTEM=usb\n"
                         "E: BUSNUM=001\n"
                         "E: DEVNUM=%2\n"
                         "A: idVendor=ffff\\n\n"
                         "A: idProduct=%3\\n\n"
                         "A: manufacturer=Tavik\\n\n"
                         "A: product=%4\\n\n"
                         "A: serial=%5\\n\n"
                         "A: bcdDevice=0102\\n\n"
                         "A: busnum=1\\n\n"
                         "A: devnum=%2\\n\n")
              .arg(base)
              .arg(number + 2, 3, 10, QLatin1Char('0'))
              .arg(pid.toLower(), product, serial);

    GError *error = nullptr;
    if (!umockdev_testbed_add_from_string(testbed, record.toUtf8().constData(), &error))
        qFatal("cannot add mock hid device: %s", error ? error->message : "?");

    // Handlers must be in place before the program opens the node.
    m_handler = umockdev_ioctl_base_new();
    g_signal_connect(m_handler, "handle-ioctl", G_CALLBACK(&MockHidDevice::handleIoctl), this);
    g_signal_connect(m_handler, "handle-write", G_CALLBACK(&MockHidDevice::handleWrite), this);
    if (!umockdev_testbed_attach_ioctl(testbed, devNode().toUtf8().constData(), m_handler, &error))
        qFatal("cannot attach ioctl handler: %s", error ? error->message : "?");
    m_fd = umockdev_testbed_get_dev_fd(testbed, devNode().toUtf8().constData());
    if (m_fd < 0)
        qFatal("no pty for %s", qPrintable(devNode()));
}

MockHidDevice::~MockHidDevice()
{
    if (!m_unplugged)
        removeFromSysfs();
    if (m_handler)
        g_object_unref(m_handler);
}

gboolean MockHidDevice::handleIoctl(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer)
{
    const gulong request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);
    GError *error = nullptr;
    if (request == HIDIOCGRDESCSIZE) {
        g_autoptr(UMockdevIoctlData) data
            = umockdev_ioctl_data_resolve(arg, 0, sizeof(int), &error);
        if (!data)
            return FALSE;
        const int size = int(sizeof kReportDescriptor);
        memcpy(data->data, &size, sizeof size);
        umockdev_ioctl_client_complete(client, 0, 0);
        return TRUE;
    }
    if (request == HIDIOCGRDESC) {
        g_autoptr(UMockdevIoctlData) data
            = umockdev_ioctl_data_resolve(arg, 0, sizeof(hidraw_report_descriptor), &error);
        if (!data)
            return FALSE;
        auto *desc = reinterpret_cast<hidraw_report_descriptor *>(data->data);
        desc->size = sizeof kReportDescriptor;
        memcpy(desc->value, kReportDescriptor, sizeof kReportDescriptor);
        umockdev_ioctl_client_complete(client, 0, 0);
        return TRUE;
    }
    return FALSE;
}

gboolean MockHidDevice::handleWrite(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer self)
{
    if (!static_cast<MockHidDevice *>(self)->m_unplugged)
        return FALSE; // on to the pty
    umockdev_ioctl_client_complete(client, -1, EIO);
    return TRUE;
}

QByteArray MockHidDevice::takeReport(int size, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (m_pending.size() < size && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        pollfd p {m_fd, POLLIN, 0};
        if (poll(&p, 1, 5) > 0 && (p.revents & POLLIN)) {
            // A pty is a byte stream: take no more than the rest of this report.
            char buffer[256];
            const ssize_t n = read(m_fd, buffer, size_t(qMin(size - m_pending.size(), 256)));
            if (n > 0)
                m_pending.append(buffer, int(n));
        }
    }
    if (m_pending.size() < size)
        return QByteArray();
    const QByteArray report = m_pending.left(size);
    m_pending.remove(0, size);
    return report;
}

void MockHidDevice::drain()
{
    for (;;) {
        pollfd p {m_fd, POLLIN, 0};
        if (poll(&p, 1, 0) <= 0 || !(p.revents & POLLIN))
            break;
        char buffer[256];
        if (read(m_fd, buffer, sizeof buffer) <= 0)
            break;
    }
    m_pending.clear();
}

void MockHidDevice::unplug()
{
    m_unplugged = true;
    removeFromSysfs();
}

void MockHidDevice::removeFromSysfs()
{
    // Child first: removing only the parent would leave the class link of the node behind.
    umockdev_testbed_remove_device(m_testbed, m_hidrawSyspath.toUtf8().constData());
    umockdev_testbed_remove_device(m_testbed, m_usbSyspath.toUtf8().constData());
}
