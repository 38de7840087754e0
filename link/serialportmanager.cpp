#include "serialportmanager.h"

#include "wireformat.h"

#include "linklog.h"
#include "linkprompts.h"
#include "packetlink.h"
#include "platformregistry.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDebug>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>
#include <QTimerEvent>
#include <QVarLengthArray>

#include <climits>

namespace {
// Reached by the framing callbacks, which are plain functions.
SerialPortManager *s_instance = nullptr;
} // namespace

SerialPortManager::SerialPortManager()
    : m_port(std::make_unique<QSerialPort>())
    , m_registry(PlatformRegistry::create())
{
    m_replyHandlers.max_load_factor(1.0f);
    // Reserved capacity survives resize(0), so the read buffer is allocated once.
    m_rxPending.reserve(kRxBufferReserve);
    if (s_instance)
        qCWarning(lcLink) << "A second serial port manager takes over the link";
    s_instance = this;
    packet_link_init(&SerialPortManager::linkWrite, &SerialPortManager::linkPacket, kLinkChannel);
    packet_link_set_crc_xor(wire::kCrcXor, kLinkChannel);
    // Direct: a queued connection would allocate an event per read. The port does not signal
    // again while this slot runs, so bytes that arrive during a packet handler's nested event
    // loop are taken from the port when that loop is about to wait (see onReadyRead).
    connect(m_port.get(), &QSerialPort::readyRead, this, &SerialPortManager::onReadyRead);
    connect(m_port.get(), &QSerialPort::errorOccurred, this, &SerialPortManager::onError);
}

SerialPortManager::~SerialPortManager()
{
    m_checkTimer.stop();
    // The port's last signals must not reach a half-destroyed manager.
    QObject::disconnect(m_port.get(), nullptr, this, nullptr);
    m_port->close();
    if (s_instance == this) {
        s_instance = nullptr;
        packet_link_init(nullptr, nullptr, kLinkChannel);
    }
}

SerialPortManager *SerialPortManager::instance()
{
    return s_instance;
}

void SerialPortManager::start()
{
    if (m_quitting)
        return;
    m_checkTimer.start(kCheckPeriodMs, Qt::CoarseTimer, this);
    checkPorts();
}

bool SerialPortManager::isConnected() const
{
    return m_port->isOpen();
}

qint64 SerialPortManager::write(const uint8_t *data, int length)
{
    if (!m_port->isOpen() || !data || length <= 0)
        return 0;
    return m_port->write(reinterpret_cast<const char *>(data), length);
}

qint64 SerialPortManager::sendPacket(const uint8_t *payload, int length)
{
    if (!payload || length <= 0) {
        qCWarning(lcLink) << "Not sending an empty packet";
        return -1;
    }
    const int64_t result = packet_link_send(payload, uint32_t(length), kLinkChannel);
    if (result == kPacketLinkTooLong)
        qCWarning(lcLink) << "Packet of type" << int(payload[0]) << "with" << length
                          << "bytes is too long to frame; not sent";
    else if (result < 0)
        qCWarning(lcLink) << "Packet of type" << int(payload[0]) << "with" << length
                          << "bytes was not sent, result" << result;
    return result;
}

QByteArray SerialPortManager::waitForReply(int type, unsigned timeoutMs)
{
    QEventLoop loop;
    QTimer timer;
    QByteArray result;

    const quint64 id = m_nextReplyId++;
    m_replyHandlers.emplace(type,
        ReplyHandler {id, [&result, &loop](uint8_t *data, uint32_t length) {
                          result = QByteArray(reinterpret_cast<const char *>(data), int(length));
                          loop.exit(0);
                      }});
    if (timeoutMs != 0) {
        timer.setSingleShot(true);
        connect(&timer, &QTimer::timeout, &loop, [&loop] { loop.exit(1); });
        timer.start(int(qMin<unsigned>(timeoutMs, INT_MAX)));
    }
    // A lost port cannot deliver the reply.
    const QMetaObject::Connection lost
        = connect(this, &SerialPortManager::connectedChanged, &loop, [&loop](bool state) {
              if (!state)
                  loop.exit(2);
          });

    loop.exec();

    disconnect(lost);
    const auto range = m_replyHandlers.equal_range(type);
    for (auto it = range.first; it != range.second; ++it) {
        if (it->second.id == id) {
            m_replyHandlers.erase(it);
            break;
        }
    }
    return result;
}

QString SerialPortManager::serialNumber() const
{
    return m_currentPort.serialNumber();
}

quint16 SerialPortManager::vendorIdentifier() const
{
    return m_currentPort.vendorIdentifier();
}

quint16 SerialPortManager::productIdentifier() const
{
    return m_currentPort.productIdentifier();
}

void SerialPortManager::setPortOverride(const QString &path)
{
    m_portOverride = path;
}

QString SerialPortManager::portOverride() const
{
    return m_portOverride;
}

QString SerialPortManager::readRegistryString(const QString &subkey, const QString &valueName) const
{
    return m_registry->readString(subkey, valueName);
}

long SerialPortManager::writeRegistryString(
    const QString &subkey, const QString &valueName, const QString &value)
{
    return m_registry->writeString(subkey, valueName, value);
}

QString SerialPortManager::registrySubkey(quint16 vid, quint16 pid)
{
    return QString::asprintf("System\\CurrentControlSet\\Control\\MediaProperties\\"
                             "PrivateProperties\\Joystick\\OEM\\VID_%04X&PID_%04X",
        unsigned(vid), unsigned(pid));
}

PlatformRegistry *SerialPortManager::registry() const
{
    return m_registry.get();
}

bool SerialPortManager::qualifies(const QSerialPortInfo &info)
{
    return info.hasVendorIdentifier() && info.hasProductIdentifier()
        && info.vendorIdentifier() == wire::kVendorId
        && info.productIdentifier() >= wire::kSerialProductFirst
        && info.productIdentifier() <= wire::kSerialProductLast;
}

void SerialPortManager::handlePacket(uint8_t *data, int length)
{
    Q_UNUSED(data)
    Q_UNUSED(length)
}

void SerialPortManager::timerEvent(QTimerEvent *event)
{
    if (event->timerId() == m_checkTimer.timerId())
        checkPorts();
    else
        QObject::timerEvent(event);
}

void SerialPortManager::checkPorts()
{
    if (m_checking || m_quitting)
        return;
    m_checking = true;
    if (!m_port->isOpen()) {
        qDebug() << "Check ports";
        if (!m_portOverride.isEmpty()) {
            openPort(m_portOverride, describePort(m_portOverride));
        } else {
            const QSerialPortInfo info = findPort();
            if (!info.isNull())
                openPort(info.systemLocation(), info);
        }
    }
    m_checking = false;
}

QSerialPortInfo SerialPortManager::describePort(const QString &path)
{
    // Identifies the device behind the path when the system lists it as a serial port (also
    // through a link such as /dev/serial/by-id/...), so that its serial number and identifiers
    // are known; a pseudo-terminal stays anonymous.
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        if (info.systemLocation() == path)
            return info;
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (!canonical.isEmpty() && canonical != path)
        for (const QSerialPortInfo &info : ports)
            if (info.systemLocation() == canonical)
                return info;
    return QSerialPortInfo();
}

void SerialPortManager::openPort(const QString &location, const QSerialPortInfo &info)
{
    m_currentPort = info;
    m_port->setPortName(location);
    // The serial library's defaults stand: a USB virtual port ignores line settings.
    if (m_port->open(QIODevice::ReadWrite)) {
        m_reportedOpenFailures.remove(location);
        qCInfo(lcLink).noquote() << "Opened serial port" << location;
        Q_EMIT connectedChanged(true);
        return;
    }
    if (!m_reportedOpenFailures.contains(location)) {
        m_reportedOpenFailures.insert(location);
        qCWarning(lcLink).noquote() << QStringLiteral("Cannot open serial port %1: %2 (error %3); "
                                                      "retrying every second")
                                           .arg(location, m_port->errorString())
                                           .arg(int(m_port->error()));
    }
}

QSerialPortInfo SerialPortManager::findPort()
{
    QList<QSerialPortInfo> kept;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports) {
        qDebug().noquote() << "Port" << info.description() << info.manufacturer()
                           << info.vendorIdentifier() << info.productIdentifier();
        if (qualifies(info))
            kept.append(info);
    }
    if (kept.isEmpty())
        return QSerialPortInfo();
    if (kept.size() == 1
        && (m_currentPort.isNull() || kept.first().serialNumber() == m_currentPort.serialNumber()))
        return kept.first();

    QStringList texts;
    for (const QSerialPortInfo &info : qAsConst(kept)) {
        QString name = readRegistryString(
            registrySubkey(info.vendorIdentifier(), info.productIdentifier()), registryNameValue());
        if (name.isEmpty())
            name = info.manufacturer() + QLatin1Char(' ') + info.description();
        texts.append(QString::asprintf("%04X:%04X ", unsigned(info.vendorIdentifier()),
                         unsigned(info.productIdentifier()))
            + name + QStringLiteral("\nSerialNumber:") + info.serialNumber());
    }

    LinkPrompts *prompts = LinkPrompts::instance();
    if (!prompts) {
        // No one to ask (a tool without a window): take none rather than guess.
        qCDebug(lcLink) << kept.size() << "bases and no chooser; none taken";
        return QSerialPortInfo();
    }
    int row = -1;
    if (prompts->chooseDevice(texts, &row)) {
        if (row >= 0 && row < kept.size())
            return kept.at(row);
        return QSerialPortInfo();
    }
    requestQuit();
    return QSerialPortInfo();
}

void SerialPortManager::requestQuit()
{
    // The user declined to pick a base: end the program normally. Quitting is queued so that it
    // also works before the application's event loop runs, and every loop unwinds on its own.
    m_quitting = true;
    m_checkTimer.stop();
    qCInfo(lcLink) << "No device selected; quitting";
    if (QCoreApplication *app = QCoreApplication::instance())
        QMetaObject::invokeMethod(
            app, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

void SerialPortManager::dispatchPacket(uint8_t *data, uint32_t length)
{
    if (!data || length == 0)
        return;
    const int type = data[0];
    // Waiting callers first. Collect them before calling, and look each up again, so that the
    // table may change while one runs.
    QVarLengthArray<quint64, 8> ids;
    auto range = m_replyHandlers.equal_range(type);
    for (auto it = range.first; it != range.second; ++it)
        ids.append(it->second.id);
    for (const quint64 id : qAsConst(ids)) {
        range = m_replyHandlers.equal_range(type);
        for (auto it = range.first; it != range.second; ++it) {
            if (it->second.id == id) {
                const ReplyFunction function = it->second.function;
                function(data, length);
                break;
            }
        }
    }
    handlePacket(data, int(length));
}

void SerialPortManager::onReadyRead()
{
    if (!m_loopHooked) {
        // A packet handler may run a nested event loop (a modal box, a wait for a reply) from
        // inside this slot. The port does not signal readyRead again meanwhile, and bytes
        // already read may still be unfed: both are fed when that loop is about to wait.
        if (QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance(thread())) {
            connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] {
                if (m_rxDepth == 0)
                    return;
                readAvailable();
                if (m_rxFed < m_rxPending.size())
                    feedPending();
            });
            m_loopHooked = true;
        }
    }
    // At the outermost level, also take what the port received during a nested loop after its
    // last wait: it would not be signalled again.
    do {
        readAvailable();
        feedPending();
    } while (m_rxDepth == 0 && m_port->isOpen() && m_port->bytesAvailable() > 0);
}

void SerialPortManager::readAvailable()
{
    if (!m_port->isOpen())
        return;
    // Read straight into the shared buffer, whose capacity is kept between reads: no
    // allocation per read once it has grown to the usual burst.
    const qint64 available = qMin<qint64>(m_port->bytesAvailable(), INT_MAX - m_rxPending.size());
    if (available <= 0)
        return;
    const int old = m_rxPending.size();
    m_rxPending.resize(old + int(available));
    const qint64 n = m_port->read(m_rxPending.data() + old, available);
    m_rxPending.resize(old + int(qMax<qint64>(n, 0)));
}

void SerialPortManager::feedPending()
{
    // Inner calls (from a nested event loop) go on with the bytes the outer one has not fed yet,
    // so the stream stays in order; the outer loop re-reads the position after every byte.
    ++m_rxDepth;
    while (m_rxFed < m_rxPending.size())
        packet_link_feed_byte(uint8_t(m_rxPending.constData()[m_rxFed++]), kLinkChannel);
    // Everything is fed: start afresh at any depth, so a long nested loop does not grow it.
    m_rxPending.resize(0);
    m_rxFed = 0;
    --m_rxDepth;
}

void SerialPortManager::onError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError || !m_port->isOpen())
        return;
    qDebug("error %d", int(error));
    qCInfo(lcLink).noquote() << "Serial port" << m_port->portName()
                             << "lost:" << m_port->errorString();
    // The serial library keeps the port open after a resource error; close it so the timer
    // can find the base again.
    m_port->close();
    Q_EMIT connectedChanged(false);
}

int64_t SerialPortManager::linkWrite(const uint8_t *data, uint32_t length)
{
    if (!s_instance || length > uint32_t(INT_MAX))
        return 0;
    return s_instance->write(data, int(length));
}

void SerialPortManager::linkPacket(uint8_t *data, uint32_t length)
{
    if (s_instance)
        s_instance->dispatchPacket(data, length);
}
