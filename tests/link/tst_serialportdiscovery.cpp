// Discovery of the base's serial port under umockdev: mocked USB devices with a tty child are
// listed by the serial library, opened by the manager, and read and written by the test through
// the pty behind the mocked node.

#include <umockdev.h>

#include "devicechooserdialog.h"
#include "linktesting.h"
#include "widgetlinkprompts.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QListView>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStringListModel>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <cstring>
#include <map>
#include <sys/ioctl.h>
#include <termios.h>

using namespace linktest;

namespace {

// One mocked base: a USB device, its interface, and the tty of that interface.
struct MockBase
{
    int slot = 0;
    quint16 vid = 0xFFFF;
    quint16 pid = 0x2001;
    QByteArray serial;
    UMockdevIoctlBase *handler = nullptr;
    // Once set, reads of the port fail as after the cable was pulled.
    std::atomic<bool> unplugged {false};

    QByteArray usbPath() const
    {
        return "/sys/devices/pci0000:00/usb1/1-" + QByteArray::number(slot + 1);
    }
    QByteArray interfacePath() const
    {
        return usbPath() + "/1-" + QByteArray::number(slot + 1) + ":1.0";
    }
    QByteArray ttyPath() const { return interfacePath() + "/tty/" + ttyName(); }
    QByteArray ttyName() const { return "ttyACM" + QByteArray::number(slot); }
    QByteArray devNode() const { return "/dev/" + ttyName(); }

    QByteArray record() const
    {
        const QByteArray v = QByteArray::number(vid, 16).rightJustified(4, '0');
        const QByteArray p = QByteArray::number(pid, 16).rightJustified(4, '0');
        return "P: " + usbPath().mid(4)
            + "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\n"
              "A: idVendor="
            + v + "\\n\nA: idProduct=" + p + "\\n\nA: serial=" + serial
            + "\\n\n\n"
              "P: "
            + interfacePath().mid(4)
            + "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\n"
              "A: bInterfaceNumber=00\\n\n\n"
              "P: "
            + ttyPath().mid(4) + "\nN: " + ttyName()
            + "\nE: SUBSYSTEM=tty\n"
              "E: DEVNAME="
            + devNode() + "\nE: ID_VENDOR_ID=" + v + "\nE: ID_MODEL_ID=" + p
            + "\nE: ID_SERIAL_SHORT=" + serial + "\nE: ID_MODEL=Brontel_Base\nE: ID_VENDOR=Tavik\n";
    }
};

// A CDC ACM port accepts the line ioctls the serial library issues; umockdev's pty does not.
gboolean onIoctl(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer)
{
    switch (umockdev_ioctl_client_get_request(client)) {
    case TIOCEXCL:
    case TIOCNXCL:
    case TIOCMBIS:
    case TIOCMBIC:
    case TIOCMSET:
        umockdev_ioctl_client_complete(client, 0, 0);
        return TRUE;
    case TIOCMGET: {
        g_autoptr(UMockdevIoctlData) lines = umockdev_ioctl_data_resolve(
            umockdev_ioctl_client_get_arg(client), 0, sizeof(int), nullptr);
        if (!lines)
            return FALSE;
        const int value = TIOCM_DTR | TIOCM_RTS | TIOCM_CTS | TIOCM_DSR;
        std::memcpy(lines->data, &value, sizeof(value));
        umockdev_ioctl_client_complete(client, 0, 0);
        return TRUE;
    }
    default:
        return FALSE;
    }
}

gboolean onRead(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer data)
{
    if (!static_cast<MockBase *>(data)->unplugged)
        return FALSE;
    umockdev_ioctl_client_complete(client, -1, EIO);
    return TRUE;
}

} // namespace

class TestSerialPortDiscovery : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void productIdentifierBoundaries_data();
    void productIdentifierBoundaries();
    void oneBaseConnectsWithoutDialog();
    void framesTravelThroughThePort();
    void twoBasesShowTheChooser();
    void chooserReappearsForAnotherBase();
    void busyPortIsReportedOnce();
    void overrideOpensABaseBehindOtherIdentifiers();
    void chooserOkNeedsACurrentRow();
    void rejectingTheChooserEndsTheProgram_data();
    void rejectingTheChooserEndsTheProgram();

private:
    MockBase *addBase(int slot, quint16 vid, quint16 pid, const QByteArray &serial);
    void removeBase(MockBase *base);
    // Makes the port fail as after the cable was pulled, as the manager will notice.
    void unplug(MockBase *base);
    int masterFd(const MockBase *base) const;
    void answerChooser();

    UMockdevTestbed *m_testbed = nullptr;
    std::map<int, std::unique_ptr<MockBase>> m_bases;
    QTimer m_chooserWatch;
    // The row the next chooser gets answered with; -1 means no chooser is expected.
    int m_chooserRow = -1;
    QList<QStringList> m_choosersSeen;
    int m_unexpectedChoosers = 0;
    // The application's prompts, so several bases bring up the chooser.
    WidgetLinkPrompts m_prompts;
};

void TestSerialPortDiscovery::initTestCase()
{
    captureLog();
    m_chooserWatch.setInterval(10);
    connect(&m_chooserWatch, &QTimer::timeout, this, &TestSerialPortDiscovery::answerChooser);
}

void TestSerialPortDiscovery::init()
{
    initPeer();
    logLines().clear();
    m_choosersSeen.clear();
    m_unexpectedChoosers = 0;
    m_chooserRow = -1;
    m_testbed = umockdev_testbed_new();
    QVERIFY(m_testbed);
    QVERIFY(umockdev_in_mock_environment());
    m_chooserWatch.start();
}

void TestSerialPortDiscovery::cleanup()
{
    m_chooserWatch.stop();
    QCOMPARE(m_unexpectedChoosers, 0);
    for (auto &entry : m_bases)
        if (entry.second->handler)
            g_object_unref(entry.second->handler);
    m_bases.clear();
    g_clear_object(&m_testbed);
}

MockBase *TestSerialPortDiscovery::addBase(
    int slot, quint16 vid, quint16 pid, const QByteArray &serial)
{
    auto base = std::make_unique<MockBase>();
    base->slot = slot;
    base->vid = vid;
    base->pid = pid;
    base->serial = serial;
    GError *error = nullptr;
    if (!umockdev_testbed_add_from_string(m_testbed, base->record().constData(), &error)) {
        qWarning("add_from_string: %s", error ? error->message : "?");
        g_clear_error(&error);
        return nullptr;
    }
    base->handler = umockdev_ioctl_base_new();
    g_signal_connect(base->handler, "handle-ioctl", G_CALLBACK(onIoctl), nullptr);
    g_signal_connect(base->handler, "handle-read", G_CALLBACK(onRead), base.get());
    if (!umockdev_testbed_attach_ioctl(
            m_testbed, base->devNode().constData(), base->handler, &error)) {
        qWarning("attach_ioctl: %s", error ? error->message : "?");
        g_clear_error(&error);
        return nullptr;
    }
    MockBase *raw = base.get();
    m_bases[slot] = std::move(base);
    return raw;
}

void TestSerialPortDiscovery::removeBase(MockBase *base)
{
    umockdev_testbed_detach_ioctl(m_testbed, base->devNode().constData(), nullptr);
    umockdev_testbed_remove_device(m_testbed, base->ttyPath().constData());
    umockdev_testbed_remove_device(m_testbed, base->interfacePath().constData());
    umockdev_testbed_remove_device(m_testbed, base->usbPath().constData());
    g_object_unref(base->handler);
    m_bases.erase(base->slot);
}

void TestSerialPortDiscovery::unplug(MockBase *base)
{
    base->unplugged = true;
    // The port only reads when bytes are waiting.
    QVERIFY(writeAll(masterFd(base), QByteArray(1, '\0')));
}

int TestSerialPortDiscovery::masterFd(const MockBase *base) const
{
    return umockdev_testbed_get_dev_fd(m_testbed, base->devNode().constData());
}

void TestSerialPortDiscovery::answerChooser()
{
    const auto widgets = QApplication::topLevelWidgets();
    for (QWidget *widget : widgets) {
        auto *dialog = qobject_cast<DeviceChooserDialog *>(widget);
        if (!dialog || !dialog->isVisible())
            continue;
        auto *list = dialog->findChild<QListView *>(QStringLiteral("listView"));
        auto *buttons = dialog->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
        if (!list || !buttons || !list->model())
            continue;
        QStringList entries;
        for (int row = 0; row < list->model()->rowCount(); ++row)
            entries.append(list->model()->index(row, 0).data().toString());
        m_choosersSeen.append(entries);
        int row = m_chooserRow;
        if (row < 0) {
            ++m_unexpectedChoosers;
            row = 0;
        }
        m_chooserRow = -1;
        list->setCurrentIndex(list->model()->index(row, 0));
        buttons->button(QDialogButtonBox::Ok)->click();
    }
}

void TestSerialPortDiscovery::productIdentifierBoundaries_data()
{
    QTest::addColumn<int>("vid");
    QTest::addColumn<int>("pid");
    QTest::addColumn<bool>("taken");
    QTest::newRow("below the range") << 0xFFFF << 0x2000 << false;
    QTest::newRow("first") << 0xFFFF << 0x2001 << true;
    QTest::newRow("last") << 0xFFFF << 0x2055 << true;
    QTest::newRow("above the range") << 0xFFFF << 0x2056 << false;
    QTest::newRow("other vendor") << 0x1234 << 0x2001 << false;
}

void TestSerialPortDiscovery::productIdentifierBoundaries()
{
    QFETCH(int, vid);
    QFETCH(int, pid);
    QFETCH(bool, taken);
    QVERIFY(addBase(0, quint16(vid), quint16(pid), "A1"));

    RecordingManager manager;
    QSignalSpy connected(&manager, &SerialPortManager::connectedChanged);
    manager.start();
    QCOMPARE(manager.isConnected(), taken);
    QCOMPARE(connected.count(), taken ? 1 : 0);
    // Every listed port is logged, qualifying or not.
    QCOMPARE(countLines(QStringLiteral("default"),
                 QStringLiteral("Port Brontel Base Tavik %1 %2").arg(vid).arg(pid)),
        1);
    QCOMPARE(countLines(QStringLiteral("default"), QStringLiteral("Check ports")), 1);
}

void TestSerialPortDiscovery::oneBaseConnectsWithoutDialog()
{
    QVERIFY(addBase(0, 0xFFFF, 0x2042, "SN-ONE"));

    RecordingManager manager;
    QSignalSpy connected(&manager, &SerialPortManager::connectedChanged);
    manager.start();
    QVERIFY(manager.isConnected());
    // Later ticks leave an open port alone.
    QTest::qWait(1200);
    QCOMPARE(connected.count(), 1);
    QCOMPARE(connected.at(0).at(0).toBool(), true);
    QCOMPARE(manager.serialNumber(), QStringLiteral("SN-ONE"));
    QCOMPARE(manager.vendorIdentifier(), quint16(0xFFFF));
    QCOMPARE(manager.productIdentifier(), quint16(0x2042));
    QVERIFY(m_choosersSeen.isEmpty());
}

void TestSerialPortDiscovery::framesTravelThroughThePort()
{
    MockBase *base = addBase(0, 0xFFFF, 0x2001, "SN-FRAMES");
    QVERIFY(base);
    RecordingManager manager;
    manager.start();
    QVERIFY(manager.isConnected());

    const QByteArray text = QByteArray("\x01hello", 6);
    QVERIFY(writeAll(masterFd(base), frame(text)));
    QTRY_COMPARE(manager.packets, QList<QByteArray> {text});

    const QByteArray request = QByteArray::fromHex("0c");
    QVERIFY(manager.sendPacket(reinterpret_cast<const uint8_t *>(request.constData()), 1) > 0);
    QTRY_VERIFY((feedPeer(drain(masterFd(base))), !peerPackets().isEmpty()));
    QCOMPARE(peerPackets(), QList<QByteArray> {request});
}

void TestSerialPortDiscovery::twoBasesShowTheChooser()
{
    QVERIFY(addBase(0, 0xFFFF, 0x2001, "SN-A"));
    QVERIFY(addBase(1, 0xFFFF, 0x2055, "SN-B"));

    RecordingManager manager;
    // The name the second base reported last time labels it.
    QCOMPARE(manager.writeRegistryString(SerialPortManager::registrySubkey(0xFFFF, 0x2055),
                 QStringLiteral("OEMName"), QStringLiteral("Brontel Left")),
        0L);
    QCOMPARE(manager.readRegistryString(
                 SerialPortManager::registrySubkey(0xFFFF, 0x2055), QStringLiteral("OEMName")),
        QStringLiteral("Brontel Left"));

    QSignalSpy connected(&manager, &SerialPortManager::connectedChanged);
    m_chooserRow = 1;
    manager.start();
    QCOMPARE(m_choosersSeen.size(), 1);
    QCOMPARE(m_choosersSeen.at(0),
        (QStringList {QStringLiteral("FFFF:2001 Tavik Brontel Base\nSerialNumber:SN-A"),
            QStringLiteral("FFFF:2055 Brontel Left\nSerialNumber:SN-B")}));
    QVERIFY(manager.isConnected());
    QCOMPARE(connected.count(), 1);
    QCOMPARE(manager.serialNumber(), QStringLiteral("SN-B"));
    QCOMPARE(manager.productIdentifier(), quint16(0x2055));
}

void TestSerialPortDiscovery::chooserReappearsForAnotherBase()
{
    MockBase *base = addBase(0, 0xFFFF, 0x2001, "SN-A");
    QVERIFY(base);
    RecordingManager manager;
    QSignalSpy connected(&manager, &SerialPortManager::connectedChanged);
    manager.start();
    QVERIFY(manager.isConnected());

    // The same base comes back: reopened without asking.
    unplug(base);
    QTRY_COMPARE(connected.count(), 2);
    QCOMPARE(connected.at(1).at(0).toBool(), false);
    QCOMPARE(countLines(QStringLiteral("default"), QStringLiteral("error ")), 1);
    removeBase(base);
    // A re-plugged device comes back under a new node.
    base = addBase(1, 0xFFFF, 0x2001, "SN-A");
    QVERIFY(base);
    QTRY_VERIFY_WITH_TIMEOUT(manager.isConnected(), 1500);
    QCOMPARE(connected.count(), 3);
    QVERIFY(m_choosersSeen.isEmpty());

    // Another base in its place: the user is asked even though it is the only one.
    unplug(base);
    QTRY_COMPARE(connected.count(), 4);
    removeBase(base);
    QVERIFY(addBase(2, 0xFFFF, 0x2002, "SN-B"));
    m_chooserRow = 0;
    QTRY_VERIFY_WITH_TIMEOUT(manager.isConnected(), 1500);
    QCOMPARE(m_choosersSeen.size(), 1);
    QCOMPARE(m_choosersSeen.at(0),
        QStringList {QStringLiteral("FFFF:2002 Tavik Brontel Base\nSerialNumber:SN-B")});
    QCOMPARE(manager.serialNumber(), QStringLiteral("SN-B"));
    QCOMPARE(connected.count(), 5);
}

void TestSerialPortDiscovery::busyPortIsReportedOnce()
{
    QVERIFY(addBase(0, 0xFFFF, 0x2001, "SN-BUSY"));
    // Another program holds the base's port.
    QSerialPort holder(QStringLiteral("/dev/ttyACM0"));
    QVERIFY(holder.open(QIODevice::ReadWrite));

    RecordingManager manager;
    manager.start();
    QVERIFY(!manager.isConnected());
    QTest::qWait(2200);
    QCOMPARE(countLines(QStringLiteral("tavik.link"),
                 QStringLiteral("Cannot open serial port /dev/ttyACM0: ")),
        1);

    holder.close();
    QTRY_VERIFY_WITH_TIMEOUT(manager.isConnected(), 1500);
}

void TestSerialPortDiscovery::overrideOpensABaseBehindOtherIdentifiers()
{
    MockBase *base = addBase(0, 0x1234, 0x5678, "SN-OTHER");
    QVERIFY(base);
    QVERIFY(addBase(1, 0xFFFF, 0x2001, "SN-A"));
    QVERIFY(addBase(2, 0xFFFF, 0x2002, "SN-B"));

    // Named explicitly: no discovery, so no chooser for the two qualifying bases either.
    RecordingManager manager;
    manager.setPortOverride(QStringLiteral("/dev/ttyACM0"));
    manager.start();
    QVERIFY(manager.isConnected());
    QCOMPARE(manager.serialNumber(), QStringLiteral("SN-OTHER"));
    QCOMPARE(manager.vendorIdentifier(), quint16(0x1234));
    QCOMPARE(manager.productIdentifier(), quint16(0x5678));
    QVERIFY(m_choosersSeen.isEmpty());

    const QByteArray payload = QByteArray::fromHex("0d0102");
    QVERIFY(writeAll(masterFd(base), frame(payload)));
    QTRY_COMPARE(manager.packets, QList<QByteArray> {payload});
}

void TestSerialPortDiscovery::chooserOkNeedsACurrentRow()
{
    m_chooserWatch.stop();
    DeviceChooserDialog dialog;
    QCOMPARE(dialog.objectName(), QStringLiteral("DeviceChooserDialog"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Device Selection"));
    auto *list = dialog.findChild<QListView *>(QStringLiteral("listView"));
    auto *buttons = dialog.findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
    QVERIFY(list && buttons);
    QCOMPARE(buttons->standardButtons(), QDialogButtonBox::StandardButtons(QDialogButtonBox::Ok));
    QPushButton *ok = buttons->button(QDialogButtonBox::Ok);
    QVERIFY(!ok->isEnabled());

    QStringListModel model(QStringList {QStringLiteral("one"), QStringLiteral("two")});
    dialog.setModel(&model);
    QCOMPARE(dialog.currentRow(), -1);
    QVERIFY(!ok->isEnabled());

    list->setCurrentIndex(model.index(1, 0));
    QCOMPARE(dialog.currentRow(), 1);
    QVERIFY(ok->isEnabled());

    // Activating an entry accepts it.
    QSignalSpy accepted(&dialog, &QDialog::accepted);
    dialog.show();
    Q_EMIT list->activated(model.index(0, 0));
    QCOMPARE(accepted.count(), 1);
}

void TestSerialPortDiscovery::rejectingTheChooserEndsTheProgram_data()
{
    QTest::addColumn<QString>("when");
    QTest::newRow("before the event loop") << QStringLiteral("before-exec");
    QTest::newRow("inside the event loop") << QStringLiteral("in-exec");
}

void TestSerialPortDiscovery::rejectingTheChooserEndsTheProgram()
{
    QFETCH(QString, when);
    QVERIFY(addBase(0, 0xFFFF, 0x2001, "SN-A"));
    QVERIFY(addBase(1, 0xFFFF, 0x2002, "SN-B"));

    // The helper inherits the mocked device tree through the environment.
    QProcess helper;
    helper.start(QStringLiteral(TAVIK_CHOOSER_HELPER), QStringList {when});
    QVERIFY(helper.waitForStarted());
    const bool finished = helper.waitForFinished(30000);
    if (!finished)
        helper.kill();
    const QString out = QString::fromLocal8Bit(helper.readAllStandardOutput());
    const QString err = QString::fromLocal8Bit(helper.readAllStandardError());
    QVERIFY2(finished, qPrintable(err));
    QCOMPARE(helper.exitStatus(), QProcess::NormalExit);
    QCOMPARE(helper.exitCode(), 0);
    QVERIFY2(out.contains(QStringLiteral("chooser rejected")), qPrintable(out + err));
    QVERIFY2(out.contains(QStringLiteral("event loop returned 0")), qPrintable(out + err));
    QVERIFY2(!err.contains(QStringLiteral("Sanitizer"))
            && !err.contains(QStringLiteral("runtime error")),
        qPrintable(err));
}

int main(int argc, char **argv)
{
    // The chooser reads names from the program's settings: keep them away from the user's.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("TavikTest"));
    QCoreApplication::setApplicationName(QStringLiteral("tst_serialportdiscovery"));
    TestSerialPortDiscovery test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_serialportdiscovery.moc"
