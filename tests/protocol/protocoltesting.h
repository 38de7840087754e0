#pragma once
// Test helpers for the protocol endpoint: a raw pseudo-terminal with its own, independent
// frame codec (so a fault in the shared framing code cannot hide on both sides), a
// watcher that answers message boxes, and the objects every endpoint test makes.

#include "datapacket.h"
#include "deviceconfig.h"
#include "effectlistmodel.h"
#include "pseudoterminal.h"
#include "widgetlinkprompts.h"

#include <QApplication>
#include <QByteArray>
#include <QMessageBox>
#include <QPointer>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <QVector>
#include <QtTest>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace testing {

constexpr uint16_t kCrcXor = 1000;

// CRC-16/XMODEM, bit by bit.
inline uint16_t crc16(const QByteArray &data)
{
    uint16_t crc = 0;
    for (char c : data) {
        crc ^= uint16_t(uint8_t(c) << 8);
        for (int i = 0; i < 8; ++i)
            crc = (crc & 0x8000) ? uint16_t((crc << 1) ^ 0x1021) : uint16_t(crc << 1);
    }
    return crc;
}

// 00, COBS(payload + CRC ^ xor, low byte first), 00.
inline QByteArray encodeFrame(const QByteArray &payload, uint16_t crcXor = kCrcXor)
{
    QByteArray data = payload;
    const uint16_t crc = crc16(payload) ^ crcXor;
    data.append(char(crc & 0xFF));
    data.append(char(crc >> 8));
    QByteArray out(1, '\0');
    int codeAt = out.size();
    out.append('\0');
    int code = 1;
    for (char c : data) {
        if (c == 0) {
            out[codeAt] = char(code);
            codeAt = out.size();
            out.append('\0');
            code = 1;
            continue;
        }
        out.append(c);
        if (++code == 0xFF) {
            out[codeAt] = char(0xFF);
            codeAt = out.size();
            out.append('\0');
            code = 1;
        }
    }
    out[codeAt] = char(code);
    out.append('\0');
    return out;
}

// Splits a byte stream at zero delimiters and decodes every frame whose CRC is good.
class FrameDecoder
{
public:
    QVector<QByteArray> feed(const QByteArray &bytes)
    {
        QVector<QByteArray> out;
        for (char c : bytes) {
            if (c != 0) {
                m_frame.append(c);
                continue;
            }
            if (!m_frame.isEmpty()) {
                QByteArray decoded;
                int i = 0;
                bool ok = true;
                while (i < m_frame.size()) {
                    const int code = uint8_t(m_frame[i++]);
                    if (i + code - 1 > m_frame.size()) {
                        ok = false;
                        break;
                    }
                    decoded.append(m_frame.mid(i, code - 1));
                    i += code - 1;
                    if (code != 0xFF && i < m_frame.size())
                        decoded.append('\0');
                }
                if (ok && decoded.size() >= 3) {
                    const QByteArray payload = decoded.left(decoded.size() - 2);
                    const uint16_t crc = uint16_t(uint8_t(decoded[decoded.size() - 2])
                        | (uint8_t(decoded[decoded.size() - 1]) << 8));
                    if ((crc ^ kCrcXor) == crc16(payload))
                        out.append(payload);
                }
            }
            m_frame.clear();
        }
        return out;
    }

private:
    QByteArray m_frame;
};

// A pseudo-terminal whose master side the test reads and writes directly.
class RawPty
{
public:
    RawPty() { m_pty.open(PseudoTerminal::NonBlocking | PseudoTerminal::RawSlave); }
    RawPty(const RawPty &) = delete;
    RawPty &operator=(const RawPty &) = delete;

    bool isValid() const { return m_pty.isOpen(); }
    QString slavePath() const { return m_pty.slavePath(); }

    void writePayload(const QByteArray &payload) { writeRaw(encodeFrame(payload)); }
    void writeRaw(const QByteArray &bytes)
    {
        int done = 0;
        while (done < bytes.size()) {
            const ssize_t n
                = ::write(m_pty.master(), bytes.constData() + done, size_t(bytes.size() - done));
            if (n > 0)
                done += int(n);
            else if (errno == EAGAIN)
                QTest::qWait(1);
            else
                return;
        }
    }

    // Payloads that arrived so far (decoded by the test's own codec), while events run.
    QVector<QByteArray> readPayloads(int atLeast, int timeoutMs = 2000)
    {
        QElapsedTimer t;
        t.start();
        while (true) {
            char buf[4096];
            for (;;) {
                const ssize_t n = ::read(m_pty.master(), buf, sizeof buf);
                if (n <= 0)
                    break;
                m_received += m_decoder.feed(QByteArray(buf, int(n)));
            }
            if (m_received.size() >= atLeast || t.elapsed() > timeoutMs)
                break;
            QTest::qWait(5);
        }
        QVector<QByteArray> out = m_received;
        m_received.clear();
        return out;
    }

private:
    PseudoTerminal m_pty;
    FrameDecoder m_decoder;
    QVector<QByteArray> m_received;
};

// Answers every message box that opens while it lives and records "title|text" of each.
class BoxWatcher : public QObject
{
public:
    BoxWatcher()
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                auto *box = qobject_cast<QMessageBox *>(w);
                if (!box || !box->isVisible() || m_seen.contains(box))
                    continue;
                m_seen.append(box);
                boxes << box->windowTitle() + QLatin1Char('|') + box->text();
                objectNames << box->objectName();
                box->done(QMessageBox::Ok);
            }
        });
        m_timer.start();
    }

    QStringList boxes;
    QStringList objectNames;

private:
    QTimer m_timer;
    QList<QPointer<QMessageBox>> m_seen;
};

// The process-wide objects the endpoint works on, a watcher that answers boxes and a
// temporary directory, made fresh for every test. The test makes and drops its endpoint
// between makeObjects() (from init()) and dropObjects() (from cleanup()).
class EndpointFixture
{
protected:
    // False when the temporary directory could not be made.
    bool makeObjects()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_data = std::make_unique<DataPacket>();
        m_config = std::make_unique<DeviceConfig>();
        m_effects = std::make_unique<EffectListModel>();
        m_boxes = std::make_unique<BoxWatcher>();
        return m_dir->isValid();
    }

    void dropObjects()
    {
        m_effects.reset();
        m_config.reset();
        m_data.reset();
        // No test expects a box unless it checks and clears the list itself.
        if (m_boxes)
            QCOMPARE(m_boxes->boxes, QStringList());
        m_boxes.reset();
        m_dir.reset();
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<DataPacket> m_data;
    std::unique_ptr<DeviceConfig> m_config;
    std::unique_ptr<EffectListModel> m_effects;
    std::unique_ptr<BoxWatcher> m_boxes;
    // The application's prompts, so the endpoint's errors come up as boxes.
    WidgetLinkPrompts m_prompts;
};

inline QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

} // namespace testing
