#pragma once
// The configurator's end of the message protocol with the base: commands out, received
// messages dispatched by their type byte into the telemetry record, the configuration
// record, the effect list, device text and the data log.

#include "serialportmanager.h"
#include "wireformat.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdint>

class DataPacket;
class DeviceConfig;
class EffectListModel;

class TavikComm : public SerialPortManager
{
    Q_OBJECT
    Q_PROPERTY(DataPacket *dataPacket READ dataPacket CONSTANT)
    // False after the base sent a configuration image of an incompatible version, until a
    // compatible one arrives; no configuration is sent meanwhile.
    Q_PROPERTY(bool configCompatible READ isConfigCompatible NOTIFY configCompatibleChanged)

public:
    static constexpr int kSpiReplyTimeoutMs = 100;
    static constexpr int kMaxSpiWrite = 255;

    TavikComm(DeviceConfig *config, DataPacket *dataPacket, EffectListModel *effects);
    ~TavikComm() override;

    DataPacket *dataPacket() const { return m_dataPacket; }
    bool isConfigCompatible() const { return m_configCompatible; }

    // The data log's file name (default "samples.csv" in the working directory).
    void setSampleFileName(const QString &fileName) { m_sampleFileName = fileName; }
    QString sampleFileName() const { return m_sampleFileName; }
    // Multiplies the calibration sweep's waits (default 1.0; tests shorten the sweep).
    void setCalibrationTimeScale(double scale);
    bool isCalibrating() const { return m_calibrating; }

    // Least squares fit of y on x in single precision; false when there are no points or no
    // spread in x (the fit is undefined then).
    static bool fitLine(const float *x, const float *y, int n, float *slope, float *intercept);

    using SerialPortManager::sendPacket;

Q_SIGNALS:
    void dataPacketReceived();
    void configReceived();
    void textDataReceived(QString data);
    void configCompatibleChanged(bool compatible);
    // A received configuration image was refused; reason is a short text for the status line.
    void configRefused(QString reason);
    // The record's configuration went to the base (Apply, Store, or any other sender), so the
    // base now runs what the record holds (a closed port drops it, as every command).
    void configSent();

public Q_SLOTS:
    bool sendConfig();
    bool getConfig();
    bool getStoredConfig();
    bool resetConfig();
    bool storeConfig();
    void setFanPower(bool enable);
    void resetMotors();
    void startSampling();
    void stopSampling();
    void startAutoCalibration();

    QByteArray spiRead(int n, int flags);
    QByteArray spiWrite(const QByteArray &data, int flags);
    QByteArray spiTransfer(int n, const QByteArray &data);
    qint64 sendPacket(const QByteArray &payload);

protected:
    void handlePacket(uint8_t *data, int length) override;
    // Shows the modal warning box titled "Error" through the installed LinkPrompts.
    virtual void showConfigError(const QString &text, bool richText);

private:
    void onConnectedChanged(bool connected);
    void handleText(const uint8_t *data, int length);
    void handleConfig(const uint8_t *data, int length);
    void handleSample(const uint8_t *data, int length);
    void handleFirmwareVersion(const uint8_t *data, int length);
    void setConfigCompatible(bool compatible);
    void send(std::initializer_list<uint8_t> bytes);
    void sendCalibrationPoint(int16_t x, int16_t y);
    void wait(int ms);
    void calibrateAxis(bool yAxis);

    DeviceConfig *m_config;
    DataPacket *m_dataPacket;
    EffectListModel *m_effects;

    QFile m_sampleFile;
    QString m_sampleFileName = QStringLiteral("samples.csv");
    // Time stamp extension of the data log; survives stop and start.
    uint16_t m_lastSampleTime = 0;
    uint32_t m_sampleTime = 0;

    bool m_configCompatible = true;
    bool m_errorBoxOpen = false;
    bool m_calibrating = false;
    double m_calibrationTimeScale = 1.0;
};
