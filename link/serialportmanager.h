#pragma once
// Finds the base's USB virtual serial port, opens it, retries once a second while it is closed,
// and carries packet link channel 0 over it.

#include <QBasicTimer>
#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <QSet>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>

class PlatformRegistry;

class SerialPortManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool connected READ isConnected NOTIFY connectedChanged)

public:
    static constexpr int kCheckPeriodMs = 1000;
    static constexpr uint32_t kLinkChannel = 0;

    explicit SerialPortManager();
    ~SerialPortManager() override;

    // The one manager the framing callbacks reach (null when none exists).
    static SerialPortManager *instance();

    // Starts the once-a-second port check and checks at once.
    void start();
    bool isConnected() const;

    // Raw bytes to the port; nothing is written (and 0 returned) while it is closed.
    qint64 write(const uint8_t *data, int length);
    // Frames the payload on channel 0 and writes it; logs a warning when it cannot be sent.
    qint64 sendPacket(const uint8_t *payload, int length);
    // Runs a nested event loop until a packet whose first byte is type arrives (returns the whole
    // payload), the timeout expires (0 = no timeout) or the port is lost (both return empty).
    QByteArray waitForReply(int type, unsigned timeoutMs);

    QString serialNumber() const;
    quint16 vendorIdentifier() const;
    quint16 productIdentifier() const;

    // Open this device (e.g. from --port PATH or TAVIK_PORT) instead of discovering one.
    // An empty path returns to discovery.
    void setPortOverride(const QString &path);
    QString portOverride() const;

    QString readRegistryString(const QString &subkey, const QString &valueName) const;
    long writeRegistryString(const QString &subkey, const QString &valueName, const QString &value);
    static QString registrySubkey(quint16 vid, quint16 pid);
    static QString registryNameValue() { return QStringLiteral("OEMName"); }
    PlatformRegistry *registry() const;

    static bool qualifies(const QSerialPortInfo &info);

Q_SIGNALS:
    void connectedChanged(bool state);

protected:
    // Every good packet ends up here (replies included); the base version ignores it.
    virtual void handlePacket(uint8_t *data, int length);
    void timerEvent(QTimerEvent *event) override;

    void checkPorts();
    QSerialPortInfo findPort();
    void dispatchPacket(uint8_t *data, uint32_t length);

private Q_SLOTS:
    void onReadyRead();
    void onError(QSerialPort::SerialPortError error);

private:
    using ReplyFunction = std::function<void(uint8_t *, uint32_t)>;
    struct ReplyHandler
    {
        quint64 id;
        ReplyFunction function;
    };

    static int64_t linkWrite(const uint8_t *data, uint32_t length);
    static void linkPacket(uint8_t *data, uint32_t length);

    static QSerialPortInfo describePort(const QString &path);
    void openPort(const QString &location, const QSerialPortInfo &info);
    void requestQuit();
    void readAvailable();
    void feedPending();

    std::unordered_multimap<int, ReplyHandler> m_replyHandlers;
    bool m_checking = false;
    QSerialPortInfo m_currentPort;
    std::unique_ptr<QSerialPort> m_port;

    std::unique_ptr<PlatformRegistry> m_registry;
    QBasicTimer m_checkTimer;
    QString m_portOverride;
    // Ports whose open failure was already logged, so a failing port is not reported every second.
    QSet<QString> m_reportedOpenFailures;
    // Received bytes not yet fed to the channel, shared by nested reads.
    QByteArray m_rxPending;
    int m_rxFed = 0;
    int m_rxDepth = 0;
    bool m_loopHooked = false;
    static constexpr int kRxBufferReserve = 4096;
    quint64 m_nextReplyId = 1;
    bool m_quitting = false;
};
