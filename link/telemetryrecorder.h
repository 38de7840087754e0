#pragma once
// Keeps every telemetry message of the last minute for the Scope: on each message the
// endpoint decoded, the plotted fields of the telemetry record are appended to a ring with
// the base's 16-bit time stamp extended to a monotonic millisecond time, as the data log
// extends its own.

#include "telemetryring.h"

#include <QObject>
#include <QString>
#include <QVector>

#include <cstdint>

class DataPacket;
class QIODevice;
class TavikComm;

// One recorded field: its property name, the lane it is drawn in, and how a raw value turns
// into the unit the live grid shows (value = raw * scale, with `decimals` decimals).
struct TelemetryChannel
{
    const char *name;
    const char *group;
    const char *unit;
    double scale;
    int decimals;
};

// The base's 16-bit time stamp extended across wrap-arounds: a stamp below the previous one
// starts the next 65536 ms; the low 16 bits are the stamp. 64 bits, so it never wraps.
class TimeStampExtender
{
public:
    uint64_t extend(uint16_t stamp)
    {
        if (stamp < m_last)
            m_time += 0x10000u;
        m_time = (m_time & ~uint64_t(0xFFFF)) | stamp;
        m_last = stamp;
        return m_time;
    }

private:
    uint16_t m_last = 0;
    uint64_t m_time = 0;
};

class TelemetryRecorder : public QObject
{
    Q_OBJECT

public:
    // 65536 samples: a little more than a minute at 1 kHz.
    static constexpr int kDefaultCapacity = 65536;

    static int channelCount();
    static const TelemetryChannel &channel(int index);
    // Index of the channel with this property name, or -1.
    static int channelIndex(const QString &name);
    // value * scale with the channel's decimals, '.' as the decimal point.
    static QString formatValue(int channel, int32_t raw);
    static double physical(int channel, int32_t raw);
    // "name" or "name (unit)".
    static QString label(int channel);

    // Records every dataPacketReceived of comm from its telemetry record.
    explicit TelemetryRecorder(
        TavikComm *comm, int capacity = kDefaultCapacity, QObject *parent = nullptr);

    const TelemetryRing &ring() const { return m_ring; }

    // Appends the record's current values, as one sample. Called once per telemetry message.
    void record(const DataPacket &packet);

    // Writes a CSV table of the samples with t0 <= time < t1 (the range a plot shows): a header
    // "time_ms" and the channels' labels, then one CR LF terminated row per sample. Returns false
    // when a write fails.
    static bool writeCsv(QIODevice *device, const TelemetryRing &ring, const QVector<int> &channels,
        double t0, double t1);
    // Saves that table atomically to fileName; a failed save leaves any earlier file intact.
    static bool saveCsv(const QString &fileName, const TelemetryRing &ring,
        const QVector<int> &channels, double t0, double t1, QString *error = nullptr);

Q_SIGNALS:
    // A sample was appended. Listeners that draw must pace themselves.
    void recorded();

private:
    TelemetryRing m_ring;
    TimeStampExtender m_clock;
};
