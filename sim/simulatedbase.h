#pragma once
// Serves a FirmwareModel over a pseudo-terminal, in the calling thread's event loop. Uses
// packet link channel 1, so it can share a process with the configurator's endpoint
// (channel 0): tests open the slave path with a real QSerialPort. One instance per process
// at a time.

#include "firmwaremodel.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

class QTimer;

class SimulatedBase : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool hostConnected READ isHostConnected NOTIFY hostConnectedChanged)

public:
    explicit SimulatedBase(const QString &flashPath = QString(), QObject *parent = nullptr);
    ~SimulatedBase() override;

    // Creates the pty pair and starts serving. slavePath receives the slave's path.
    bool open(QString *slavePath = nullptr);
    void close();
    bool isOpen() const { return m_master >= 0; }
    QString slavePath() const { return m_slavePath; }
    // Makes symlinkPath point at the slave (replacing an old symlink there); removed again by
    // close(). Refuses to replace anything that is not a symlink.
    bool setLink(const QString &symlinkPath);
    QString linkPath() const { return m_linkPath; }

    FirmwareModel &model() { return m_model; }
    const FirmwareModel &model() const { return m_model; }
    void setTelemetryRate(int hz) { m_model.setTelemetryRate(hz); }
    void setSeed(quint32 seed) { m_model.setSeed(seed); }

    // True while a program holds the slave side open.
    bool isHostConnected() const { return m_hostConnected; }
    // Every payload received from the host, in order (tests inspect the command stream).
    const QVector<QByteArray> &receivedPayloads() const { return m_receivedPayloads; }
    void clearReceivedPayloads() { m_receivedPayloads.clear(); }
    // Sends one payload to the host (framed on channel 1).
    void sendPayload(const QByteArray &payload);
    // Raw bytes to the host, bypassing the framing (tests of corrupted input).
    void sendRaw(const QByteArray &bytes);

Q_SIGNALS:
    void hostConnectedChanged(bool connected);
    void payloadReceived(const QByteArray &payload);

private:
    static int64_t writeFrame(const uint8_t *data, uint32_t length);
    static void receivePacket(uint8_t *data, uint32_t length);
    void poll();
    void flush();
    void setHostConnected(bool connected);

    FirmwareModel m_model;
    int m_master = -1;
    QString m_slavePath;
    QString m_linkPath;
    QTimer *m_timer = nullptr;
    QElapsedTimer m_clock;
    qint64 m_ticksDone = 0;
    bool m_hostConnected = false;
    QByteArray m_outgoing;
    QVector<QByteArray> m_receivedPayloads;
    QVector<QByteArray> m_pending;
};
