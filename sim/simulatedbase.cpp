#include "simulatedbase.h"

#include "packetlink.h"
#include "pseudoterminal.h"
#include "simlog.h"
#include "wireformat.h"

#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <poll.h>
#include <unistd.h>

namespace {

constexpr uint32_t kChannel = 1;
// Catch-up bound: after a stall the model skips time instead of flooding the host.
constexpr qint64 kMaxTicksPerPoll = 100;
// What the host has not read by then is dropped, as the firmware drops telemetry.
constexpr int kMaxOutgoing = 256 * 1024;

SimulatedBase *s_instance = nullptr;

} // namespace

SimulatedBase::SimulatedBase(const QString &flashPath, QObject *parent)
    : QObject(parent)
    , m_model(flashPath)
{
}

SimulatedBase::~SimulatedBase()
{
    close();
}

bool SimulatedBase::open(QString *slavePath)
{
    if (m_master >= 0) {
        if (slavePath)
            *slavePath = m_slavePath;
        return true;
    }
    if (s_instance && s_instance != this) {
        qCWarning(lcSim) << "another simulated base is already serving channel" << kChannel;
        return false;
    }
    // A raw line, closed on the slave side, so the master reports a hang-up until a host
    // opens it.
    PseudoTerminal pty;
    QString error;
    if (!pty.open(PseudoTerminal::NonBlocking | PseudoTerminal::RawSlave, &error)) {
        qCWarning(lcSim).noquote() << error;
        return false;
    }
    m_slavePath = pty.slavePath();
    m_master = pty.releaseMaster();
    s_instance = this;
    packet_link_init(&SimulatedBase::writeFrame, &SimulatedBase::receivePacket, kChannel);
    packet_link_set_crc_xor(wire::kCrcXor, kChannel);

    m_clock.start();
    m_ticksDone = 0;
    if (!m_timer) {
        m_timer = new QTimer(this);
        m_timer->setTimerType(Qt::PreciseTimer);
        m_timer->setInterval(1);
        connect(m_timer, &QTimer::timeout, this, &SimulatedBase::poll);
    }
    m_timer->start();
    qCDebug(lcSim) << "serving on" << m_slavePath;
    if (slavePath)
        *slavePath = m_slavePath;
    return true;
}

void SimulatedBase::close()
{
    if (m_timer)
        m_timer->stop();
    if (!m_linkPath.isEmpty()) {
        QFileInfo info(m_linkPath);
        if (info.isSymLink())
            QFile::remove(m_linkPath);
        m_linkPath.clear();
    }
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
    // The channel itself is left alone: close() may run from a slot inside a delivery on it.
    // Without an instance its callbacks do nothing, and open() initialises it afresh.
    if (s_instance == this)
        s_instance = nullptr;
    m_outgoing.clear();
    setHostConnected(false);
}

bool SimulatedBase::setLink(const QString &symlinkPath)
{
    if (m_master < 0 || symlinkPath.isEmpty())
        return false;
    QFileInfo info(symlinkPath);
    if (info.isSymLink()) {
        if (!QFile::remove(symlinkPath)) {
            qCWarning(lcSim) << "cannot replace the link" << symlinkPath;
            return false;
        }
    } else if (info.exists()) {
        qCWarning(lcSim) << symlinkPath << "exists and is not a symbolic link; not replacing it";
        return false;
    }
    if (!QFile::link(m_slavePath, symlinkPath)) {
        qCWarning(lcSim) << "cannot create the link" << symlinkPath;
        return false;
    }
    m_linkPath = symlinkPath;
    return true;
}

void SimulatedBase::sendPayload(const QByteArray &payload)
{
    if (m_master < 0)
        return;
    packet_link_send(
        reinterpret_cast<const uint8_t *>(payload.constData()), uint32_t(payload.size()), kChannel);
    flush();
}

void SimulatedBase::sendRaw(const QByteArray &bytes)
{
    if (m_master < 0)
        return;
    m_outgoing += bytes;
    flush();
}

int64_t SimulatedBase::writeFrame(const uint8_t *data, uint32_t length)
{
    if (!s_instance)
        return -1;
    SimulatedBase *self = s_instance;
    if (self->m_outgoing.size() + int(length) > kMaxOutgoing) {
        self->m_outgoing.clear(); // the host stopped reading; start afresh
    }
    self->m_outgoing.append(reinterpret_cast<const char *>(data), int(length));
    return length;
}

void SimulatedBase::receivePacket(uint8_t *data, uint32_t length)
{
    if (!s_instance || length == 0)
        return;
    SimulatedBase *self = s_instance;
    const QByteArray payload(reinterpret_cast<const char *>(data), int(length));
    self->m_receivedPayloads.append(payload);
    qCDebug(lcSim) << "received type" << uint8_t(payload[0]) << "length" << payload.size();
    self->m_model.handleMessage(data, int(length), &self->m_pending);
    Q_EMIT self->payloadReceived(payload);
}

void SimulatedBase::setHostConnected(bool connected)
{
    if (m_hostConnected == connected)
        return;
    m_hostConnected = connected;
    qCDebug(lcSim) << (connected ? "host connected" : "host disconnected");
    if (connected)
        m_model.hostConnected(&m_pending);
    else
        m_outgoing.clear();
    Q_EMIT hostConnectedChanged(connected);
}

void SimulatedBase::poll()
{
    if (m_master < 0)
        return;
    pollfd pfd {m_master, POLLIN, 0};
    if (::poll(&pfd, 1, 0) < 0)
        return;
    const bool hungUp = (pfd.revents & POLLHUP) != 0;
    setHostConnected(!hungUp);

    if (!hungUp && (pfd.revents & POLLIN)) {
        uint8_t buf[4096];
        for (;;) {
            const ssize_t n = ::read(m_master, buf, sizeof buf);
            if (n <= 0)
                break;
            packet_link_feed(buf, uint64_t(n), kChannel);
            if (m_master < 0)
                return; // closed from a slot connected to payloadReceived
        }
    }

    qint64 due = m_clock.elapsed() - m_ticksDone;
    if (due > kMaxTicksPerPoll) {
        m_ticksDone += due - kMaxTicksPerPoll;
        due = kMaxTicksPerPoll;
    }
    for (qint64 i = 0; i < due; ++i)
        m_model.tick(&m_pending);
    m_ticksDone += due;

    if (m_hostConnected) {
        for (const QByteArray &payload : std::as_const(m_pending))
            packet_link_send(reinterpret_cast<const uint8_t *>(payload.constData()),
                uint32_t(payload.size()), kChannel);
    }
    m_pending.clear();
    flush();
}

void SimulatedBase::flush()
{
    if (m_master < 0 || !m_hostConnected) {
        m_outgoing.clear();
        return;
    }
    while (!m_outgoing.isEmpty()) {
        const ssize_t n = ::write(m_master, m_outgoing.constData(), size_t(m_outgoing.size()));
        if (n <= 0)
            break; // EAGAIN: the line is full; the rest goes at the next poll
        m_outgoing.remove(0, int(n));
    }
}
