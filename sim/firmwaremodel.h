#pragma once
// Model of the base's firmware as far as the configurator can observe it: configuration
// images (active, stored, defaults), the command set of the serial protocol, a small
// physical model of the stick that produces telemetry, game effect reports, data-log
// samples, an SPI register file, motor states and a crash log.
//
// Plain C++ over Qt value types. Not thread-safe but thread-compatible: a caller that uses
// one model from several threads (for example a USB control-request fake on its own
// thread) holds its own lock around every call.

#include "wireformat.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include <array>
#include <cstdint>

class FirmwareModel
{
public:
    static constexpr int kSpiRegisterCount = 256;

    // flashPath: file that keeps the stored image across runs (empty: kept in memory only).
    // A missing, short or incompatible file is replaced by the defaults.
    explicit FirmwareModel(const QString &flashPath = QString());

    // Configuration images, 463 bytes each, version byte 181.
    QByteArray activeImage() const;
    QByteArray storedImage() const;
    static QByteArray defaultImage();
    // Makes image the active configuration; refuses a wrong size or version (error filled,
    // active image unchanged).
    bool applyImage(const QByteArray &image, QString *error = nullptr);
    // Active -> stored (and to the flash file when there is one).
    void store();
    // Stored -> active.
    void revertToStored();
    // Defaults -> active (the stored image is not touched).
    void resetToDefaults();
    QString flashPath() const { return m_flashPath; }
    // Last failure writing the flash file (empty when the last store succeeded).
    QString flashError() const { return m_flashError; }

    QString firmwareVersion() const;
    QString serialNumber() const { return m_serialNumber; }
    void setSerialNumber(const QString &serial) { m_serialNumber = serial; }

    // Deterministic behaviour for tests: same seed, same messages.
    void setSeed(quint32 seed);
    // Telemetry messages per second (1..1000; default 1000).
    void setTelemetryRate(int hz);
    int telemetryRate() const { return m_telemetryRate; }
    // Effect reports on/off (on by default).
    void setEffectsEnabled(bool enabled) { m_effectsEnabled = enabled; }

    // Protocol. handleMessage takes one received payload (type byte first) and appends the
    // payloads to send back. hostConnected() produces the greeting text. tick() advances
    // the model by one millisecond and appends the periodic messages due then.
    void handleMessage(const uint8_t *data, int length, QVector<QByteArray> *out);
    void hostConnected(QVector<QByteArray> *out);
    void tick(QVector<QByteArray> *out);
    quint64 elapsedMs() const { return m_timeMs; }
    // Moves the model's clock (tests of the 16-bit time stamps' wrap-around).
    void setElapsedMs(quint64 ms) { m_timeMs = ms; }

    // Observable state, for tests and the simulator's own log.
    uint8_t motFault() const { return m_motFault; }
    bool fanOn() const { return m_fanOn; }
    bool sampling() const { return m_sampling; }
    QStringList crashLog() const { return m_crashLog; }
    bool calibrationHold() const { return m_calHold; }
    // The slope (force per full deflection, i.e. d(force)/d(position) * 4096) that a
    // calibration sweep of the given axis (0 = X, 1 = Y) measures under the active image.
    double calibrationSlope(int axis) const;
    uint8_t spiRegister(int index) const;
    int receivedCount(uint8_t type) const { return m_received[type]; }
    // The telemetry payload the next telemetry message would carry.
    QByteArray telemetryPayload() const;
    // Firmware text messages (type 0) produced so far, newest last (bounded).
    QStringList textLog() const { return m_textLog; }

    // Read a signed/unsigned integer field of the active image by parameter name (0 when the
    // name is unknown). Used by the physical model and by tests.
    int activeField(const char *name) const;

private:
    // Fields of the active image that the physical model uses, decoded once per change.
    struct Params
    {
        bool springEn = false, damperEn = false, endstopEn = false, constEn = false;
        bool invert[2] = {false, false};
        bool disable[2] = {false, false};
        double springPos[2] {}, springNeg[2] {}, springSatPos[2] {}, springSatNeg[2] {};
        double springDeadband[2] {};
        double damperPos[2] {}, damperNeg[2] {};
        double endstopPos[2] {}, endstopNeg[2] {}, endstopTqPos[2] {}, endstopTqNeg[2] {};
        double constant[2] {};
        double master = 1.0;
        int maxCurrent = 1;
        uint8_t buttonMap[48] {};
        quint64 invMask = 0;
    };

    struct Axis
    {
        double pos = 0; // 4096 = full deflection
        double vel = 0; // units per second
        double acc = 0;
        double force = 0; // motor output, 4096 = full force
        double handTarget = 0;
        double temp = 30.0;
        double current = 0; // amperes
    };

    quint32 nextRandom();
    double randomUnit(); // [0, 1)
    void text(QVector<QByteArray> *out, const QString &line);
    void activeChanged();
    void loadFlash();
    void saveFlash();
    void stepPhysics();
    double axisForce(int axis) const;
    QByteArray effectReport(int slot) const;
    QByteArray samplePayload() const;
    void spiRead(const uint8_t *data, int length, QVector<QByteArray> *out);
    void spiWrite(const uint8_t *data, int length, QVector<QByteArray> *out);

    QString m_flashPath;
    QString m_flashError;
    QString m_serialNumber;
    QByteArray m_active;
    QByteArray m_stored;
    Params m_params;

    quint32 m_seed = 1;
    quint64 m_rng = 1;
    int m_telemetryRate = 1000;
    int m_telemetryAccumulator = 0;
    bool m_effectsEnabled = true;
    quint64 m_timeMs = 0;

    Axis m_axis[2];
    bool m_calHold = false;
    quint64 m_calHoldUntilMs = 0;
    double m_calTarget[2] = {0, 0};
    double m_handChangeAtMs = 0;
    double m_springCentre[2] = {0, 0};

    uint8_t m_motFault = 0x00;
    int m_motorResetStep = 0;
    quint64 m_motorResetStartMs = 0;
    bool m_fanOn = false;
    bool m_sampling = false;
    QStringList m_crashLog;
    QStringList m_textLog;
    std::array<uint8_t, kSpiRegisterCount> m_spi {};
    uint8_t m_spiPointer = 0;
    QByteArray m_spiCommand;
    std::array<int, 256> m_received {};
};
