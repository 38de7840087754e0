#pragma once
// The base's end of a serial link, for tests: framing on packet link channel 1 with the base's
// CRC XOR, and a pseudo-terminal whose slave the code under test opens while the test holds the
// master.

#include "packetlink.h"
#include "pseudoterminal.h"
#include "serialportmanager.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace linkpeer {

// The test plays the base on packet link channel 1.
constexpr uint32_t kPeerChannel = 1;

inline QByteArray &peerOutput()
{
    static QByteArray bytes;
    return bytes;
}

inline QList<QByteArray> &peerPackets()
{
    static QList<QByteArray> packets;
    return packets;
}

inline void initPeer()
{
    packet_link_init(
        [](const uint8_t *data, uint32_t length) -> int64_t {
            peerOutput().append(reinterpret_cast<const char *>(data), int(length));
            return length;
        },
        [](uint8_t *data, uint32_t length) {
            peerPackets().append(QByteArray(reinterpret_cast<const char *>(data), int(length)));
        },
        kPeerChannel);
    // The framing's CRC XOR, spelled out here so a wrong value in the product shows.
    packet_link_set_crc_xor(1000, kPeerChannel);
    peerPackets().clear();
}

// The frame the base would send for this payload.
inline QByteArray frame(const QByteArray &payload)
{
    peerOutput().clear();
    packet_link_send(reinterpret_cast<const uint8_t *>(payload.constData()),
        uint32_t(payload.size()), kPeerChannel);
    return peerOutput();
}

// Feeds bytes the code under test sent into the test's decoder (results land in peerPackets()).
inline void feedPeer(const QByteArray &bytes)
{
    packet_link_feed(
        reinterpret_cast<const uint8_t *>(bytes.constData()), uint64_t(bytes.size()), kPeerChannel);
}

// Reads whatever is waiting on fd without blocking.
inline QByteArray drain(int fd)
{
    QByteArray out;
    for (;;) {
        pollfd p {fd, POLLIN, 0};
        if (::poll(&p, 1, 0) <= 0 || !(p.revents & POLLIN))
            break;
        char buffer[4096];
        const ssize_t n = ::read(fd, buffer, sizeof(buffer));
        if (n <= 0)
            break;
        out.append(buffer, int(n));
    }
    return out;
}

inline bool writeAll(int fd, const QByteArray &bytes)
{
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        left -= n;
    }
    return true;
}

// A pseudo-terminal: the code under test opens the slave, the test is the master.
struct Pty
{
    int master = -1;
    QString slave;

    bool open()
    {
        close();
        if (!m_pty.open(PseudoTerminal::NonBlocking))
            return false;
        slave = m_pty.slavePath();
        master = m_pty.master();
        return true;
    }
    void close()
    {
        m_pty.close();
        master = -1;
    }
    ~Pty() { close(); }

private:
    PseudoTerminal m_pty;
};

// A manager whose packet handler records every packet.
class RecordingManager : public SerialPortManager
{
public:
    QList<QByteArray> packets;

protected:
    void handlePacket(uint8_t *data, int length) override
    {
        packets.append(QByteArray(reinterpret_cast<const char *>(data), length));
    }
};

} // namespace linkpeer
