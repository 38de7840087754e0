#pragma once

// umockdev first: its GLib headers clash with Qt's keywords.
#include <umockdev.h>

#include <QByteArray>
#include <QString>

#include <atomic>
#include <memory>

// A hidraw device in a umockdev testbed, with a USB parent carrying the given product string
// and serial number. What the program writes is read from the pty master.
class MockHidDevice
{
public:
    MockHidDevice(UMockdevTestbed *testbed, int number, const QString &product,
        const QString &serial, uint16_t productId = 0x2055);
    ~MockHidDevice();

    QString devNode() const { return QStringLiteral("/dev/hidraw%1").arg(m_number); }
    QString serial() const { return m_serial; }

    // Next report of `size` bytes the program wrote; empty after the timeout. Processes Qt
    // events while waiting, since the reports are written by the GUI thread.
    QByteArray takeReport(int size = 11, int timeoutMs = 5000);
    // Discards whatever is waiting.
    void drain();

    // Writes fail with EIO from now on and the device leaves sysfs, as on unplugging.
    void unplug();

private:
    UMockdevTestbed *m_testbed;
    int m_number;
    QString m_serial;
    QString m_usbSyspath;
    QString m_hidrawSyspath;
    UMockdevIoctlBase *m_handler = nullptr;
    int m_fd = -1;
    QByteArray m_pending;
    std::atomic<bool> m_unplugged {false};

    void removeFromSysfs();
    static gboolean handleIoctl(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer self);
    static gboolean handleWrite(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer self);
};
