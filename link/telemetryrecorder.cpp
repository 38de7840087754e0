#include "telemetryrecorder.h"

#include "datapacket.h"
#include "tavikcomm.h"

#include <QIODevice>
#include <QSaveFile>
#include <QVector>

#include <cstring>

namespace {

using Reader = int32_t (*)(const DataPacket &);

struct ChannelEntry
{
    TelemetryChannel channel;
    Reader read;
};

// The fields the live grid shows, in its order and with its units.
const ChannelEntry kChannels[] = {
    {{"x", "Position and force", "", 1.0, 0}, [](const DataPacket &p) -> int32_t { return p.x(); }},
    {{"y", "Position and force", "", 1.0, 0}, [](const DataPacket &p) -> int32_t { return p.y(); }},
    {{"dx", "Velocity", "", 1.0, 0}, [](const DataPacket &p) -> int32_t { return p.dx(); }},
    {{"dy", "Velocity", "", 1.0, 0}, [](const DataPacket &p) -> int32_t { return p.dy(); }},
    {{"d2x", "Acceleration", "", 1.0, 0}, [](const DataPacket &p) -> int32_t { return p.d2x(); }},
    {{"d2y", "Acceleration", "", 1.0, 0}, [](const DataPacket &p) -> int32_t { return p.d2y(); }},
    {{"fxout", "Position and force", "", 1.0, 0},
        [](const DataPacket &p) -> int32_t { return p.fxout(); }},
    {{"fyout", "Position and force", "", 1.0, 0},
        [](const DataPacket &p) -> int32_t { return p.fyout(); }},
    {{"raw_x", "Raw position", "", 1.0, 0},
        [](const DataPacket &p) -> int32_t { return p.raw_x(); }},
    {{"raw_y", "Raw position", "", 1.0, 0},
        [](const DataPacket &p) -> int32_t { return p.raw_y(); }},
    {{"cycle_time", "Cycle time", "µs", 1.0, 0},
        [](const DataPacket &p) -> int32_t { return p.cycle_time(); }},
    {{"pot_1", "Potentiometers", "%", 100.0 / 4095.0, 1},
        [](const DataPacket &p) -> int32_t { return p.pot_1(); }},
    {{"pot_2", "Potentiometers", "%", 100.0 / 4095.0, 1},
        [](const DataPacket &p) -> int32_t { return p.pot_2(); }},
    {{"curr_x", "Current", "A", 0.1, 1}, [](const DataPacket &p) -> int32_t { return p.curr_x(); }},
    {{"curr_y", "Current", "A", 0.1, 1}, [](const DataPacket &p) -> int32_t { return p.curr_y(); }},
    {{"temp_x", "Temperature", "°C", 1.0, 0},
        [](const DataPacket &p) -> int32_t { return p.temp_x(); }},
    {{"temp_y", "Temperature", "°C", 1.0, 0},
        [](const DataPacket &p) -> int32_t { return p.temp_y(); }},
    {{"Ibus", "Current", "A", 0.01, 2}, [](const DataPacket &p) -> int32_t { return p.Ibus(); }},
    {{"Vbus", "Voltage", "V", 0.01, 2}, [](const DataPacket &p) -> int32_t { return p.Vbus(); }},
};

constexpr int kChannelCount = int(sizeof(kChannels) / sizeof(kChannels[0]));

} // namespace

int TelemetryRecorder::channelCount()
{
    return kChannelCount;
}

const TelemetryChannel &TelemetryRecorder::channel(int index)
{
    return kChannels[index].channel;
}

int TelemetryRecorder::channelIndex(const QString &name)
{
    for (int i = 0; i < kChannelCount; ++i) {
        if (name == QLatin1String(kChannels[i].channel.name))
            return i;
    }
    return -1;
}

double TelemetryRecorder::physical(int channel, int32_t raw)
{
    const TelemetryChannel &c = kChannels[channel].channel;
    return c.decimals == 0 && c.scale == 1.0 ? double(raw) : raw * c.scale;
}

QString TelemetryRecorder::formatValue(int channel, int32_t raw)
{
    const TelemetryChannel &c = kChannels[channel].channel;
    if (c.scale == 1.0 && c.decimals == 0)
        return QString::number(raw);
    return QString::number(raw * c.scale, 'f', c.decimals);
}

QString TelemetryRecorder::label(int channel)
{
    const TelemetryChannel &c = kChannels[channel].channel;
    const QString name = QString::fromLatin1(c.name);
    if (!*c.unit)
        return name;
    return name + QStringLiteral(" (") + QString::fromUtf8(c.unit) + QLatin1Char(')');
}

TelemetryRecorder::TelemetryRecorder(TavikComm *comm, int capacity, QObject *parent)
    : QObject(parent)
    , m_ring(kChannelCount, capacity)
{
    if (comm) {
        connect(comm, &TavikComm::dataPacketReceived, this, [this, comm] {
            if (const DataPacket *packet = comm->dataPacket())
                record(*packet);
        });
    }
}

void TelemetryRecorder::record(const DataPacket &packet)
{
    int32_t values[kChannelCount];
    for (int i = 0; i < kChannelCount; ++i)
        values[i] = kChannels[i].read(packet);
    m_ring.append(qint64(m_clock.extend(packet.timestamp())), values);
    Q_EMIT recorded();
}

bool TelemetryRecorder::writeCsv(QIODevice *device, const TelemetryRing &ring,
    const QVector<int> &channels, double t0, double t1)
{
    if (!device)
        return false;
    QVector<int> shown;
    for (int c : channels) {
        if (c >= 0 && c < kChannelCount)
            shown.append(c);
    }
    QByteArray line = QByteArrayLiteral("time_ms");
    for (int c : shown)
        line += ',' + label(c).toUtf8();
    line += "\r\n";
    if (device->write(line) != line.size())
        return false;
    for (int i = ring.lowerBound(t0); i < ring.size() && double(ring.timeAt(i)) < t1; ++i) {
        line = QByteArray::number(ring.timeAt(i));
        for (int c : shown)
            line += ',' + formatValue(c, ring.valueAt(c, i)).toLatin1();
        line += "\r\n";
        if (device->write(line) != line.size())
            return false;
    }
    return true;
}

bool TelemetryRecorder::saveCsv(const QString &fileName, const TelemetryRing &ring,
    const QVector<int> &channels, double t0, double t1, QString *error)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    // The save file buffers: a write error may only show at flush, and commit() would
    // still rename the partial file over the old one.
    if (!writeCsv(&file, ring, channels, t0, t1) || !file.flush()) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}
