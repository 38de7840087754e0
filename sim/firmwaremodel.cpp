#include "firmwaremodel.h"

#include "imagefields.h"
#include "simlog.h"
#include "telemetry.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDt = 0.001; // one physics step per millisecond
constexpr int kTextLogLimit = 200;
constexpr int kEffectReportPeriodMs = 100;
constexpr int kEffectCycleMs = 30000;

inline int16_t clamp16(double v)
{
    if (!(v == v))
        return 0;
    return int16_t(std::lround(std::clamp(v, -32768.0, 32767.0)));
}

inline uint16_t clampU16(double v)
{
    if (!(v == v))
        return 0;
    return uint16_t(std::lround(std::clamp(v, 0.0, 65535.0)));
}

inline void put16(QByteArray &b, int offset, int v)
{
    b[offset] = char(v & 0xFF);
    b[offset + 1] = char((v >> 8) & 0xFF);
}

inline int get16s(const uint8_t *d)
{
    return int16_t(uint16_t(d[0] | (d[1] << 8)));
}

// Game effects the model plays, with the part of the effect cycle during which each one is
// loaded (the reports stop outside it, so the configurator sees them appear and expire).
struct GameEffect
{
    uint8_t id;
    uint8_t type;
    int fromMs;
    int toMs;
};
constexpr GameEffect kGameEffects[] = {
    {1, 8, 1000, 28000}, // spring with a moving centre
    {2, 9, 5000, 20000}, // damper
    {3, 4, 10000, 25000}, // sine
};
constexpr int kGameEffectCount = int(sizeof(kGameEffects) / sizeof(kGameEffects[0]));

} // namespace

FirmwareModel::FirmwareModel(const QString &flashPath)
    : m_flashPath(flashPath)
    , m_serialNumber(QStringLiteral("SIM0001"))
    , m_active(defaultImage())
    , m_stored(m_active)
{
    for (int i = 0; i < kSpiRegisterCount; ++i)
        m_spi[size_t(i)] = uint8_t(i ^ 0x5A);
    m_crashLog << QStringLiteral("crash 1: HardFault at pc=0x0800a1c4 lr=0x08003e11")
               << QStringLiteral("crash 2: watchdog reset in motor loop");
    loadFlash();
    m_active = m_stored;
    activeChanged();
    setSeed(1);
}

QByteArray FirmwareModel::activeImage() const
{
    return m_active;
}

QByteArray FirmwareModel::storedImage() const
{
    return m_stored;
}

QByteArray FirmwareModel::defaultImage()
{
    QByteArray img(wire::kConfigImageSize, '\0');
    img[0] = char(wire::kConfigImageVersion);
    ImageFields::setDefaults(img);
    return img;
}

bool FirmwareModel::applyImage(const QByteArray &image, QString *error)
{
    if (image.size() != wire::kConfigImageSize) {
        if (error)
            *error = QStringLiteral("bad config size %1, expected %2")
                         .arg(image.size())
                         .arg(wire::kConfigImageSize);
        return false;
    }
    if (uint8_t(image[0]) != wire::kConfigImageVersion) {
        if (error)
            *error = QStringLiteral("bad config version %1, expected %2")
                         .arg(uint8_t(image[0]))
                         .arg(wire::kConfigImageVersion);
        return false;
    }
    m_active = image;
    activeChanged();
    return true;
}

void FirmwareModel::store()
{
    m_stored = m_active;
    saveFlash();
}

void FirmwareModel::revertToStored()
{
    m_active = m_stored;
    activeChanged();
}

void FirmwareModel::resetToDefaults()
{
    m_active = defaultImage();
    activeChanged();
}

QString FirmwareModel::firmwareVersion() const
{
    return QStringLiteral("2.1.0-sim");
}

void FirmwareModel::loadFlash()
{
    if (m_flashPath.isEmpty())
        return;
    QFile file(m_flashPath);
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcSim) << "cannot read flash file" << m_flashPath << file.errorString();
        return;
    }
    const QByteArray data = file.read(wire::kConfigImageSize + 1);
    if (data.size() != wire::kConfigImageSize || uint8_t(data[0]) != wire::kConfigImageVersion) {
        qCWarning(lcSim) << "flash file" << m_flashPath << "is not a valid image; using defaults";
        return;
    }
    m_stored = data;
}

void FirmwareModel::saveFlash()
{
    m_flashError.clear();
    if (m_flashPath.isEmpty())
        return;
    QSaveFile file(m_flashPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(m_stored) != m_stored.size()
        || !file.commit()) {
        m_flashError = file.errorString();
        qCWarning(lcSim) << "cannot write flash file" << m_flashPath << m_flashError;
    }
}

void FirmwareModel::setSeed(quint32 seed)
{
    m_seed = seed;
    m_rng = (quint64(seed) << 1) | 1u;
    for (int i = 0; i < 4; ++i)
        nextRandom();
}

quint32 FirmwareModel::nextRandom()
{
    // xorshift64*: small, fast and identical on every platform.
    m_rng ^= m_rng >> 12;
    m_rng ^= m_rng << 25;
    m_rng ^= m_rng >> 27;
    return quint32((m_rng * 2685821657736338717ULL) >> 32);
}

double FirmwareModel::randomUnit()
{
    return nextRandom() / 4294967296.0;
}

void FirmwareModel::setTelemetryRate(int hz)
{
    m_telemetryRate = std::clamp(hz, 0, 1000);
}

int FirmwareModel::activeField(const char *name) const
{
    return int(ImageFields::read(m_active, name));
}

uint8_t FirmwareModel::spiRegister(int index) const
{
    if (index < 0 || index >= kSpiRegisterCount)
        return 0;
    return m_spi[size_t(index)];
}

void FirmwareModel::text(QVector<QByteArray> *out, const QString &line)
{
    QByteArray payload(1, char(wire::MsgText));
    payload += line.toLatin1();
    out->append(payload);
    m_textLog.append(line);
    while (m_textLog.size() > kTextLogLimit)
        m_textLog.removeFirst();
}

void FirmwareModel::hostConnected(QVector<QByteArray> *out)
{
    text(out,
        QStringLiteral("Brontel FFB base (simulated), firmware %1, serial %2\n")
            .arg(firmwareVersion(), m_serialNumber));
}

void FirmwareModel::handleMessage(const uint8_t *data, int length, QVector<QByteArray> *out)
{
    if (!data || length < 1)
        return;
    const uint8_t type = data[0];
    ++m_received[type];
    switch (type) {
    case wire::MsgApplyConfig: {
        QString error;
        const QByteArray image(reinterpret_cast<const char *>(data + 1), length - 1);
        if (applyImage(image, &error))
            text(out, QStringLiteral("Config applied\n"));
        else
            text(out, QStringLiteral("Config refused: %1\n").arg(error));
        break;
    }
    case wire::MsgActiveConfig:
        out->append(QByteArray(1, char(wire::MsgActiveConfig)) + m_active);
        break;
    case wire::MsgStartSampling:
        m_sampling = true;
        break;
    case wire::MsgStopSampling:
        m_sampling = false;
        break;
    case wire::MsgStoreConfig:
        store();
        if (m_flashError.isEmpty())
            text(out, QStringLiteral("Config stored\n"));
        else
            text(out, QStringLiteral("Config store failed: %1\n").arg(m_flashError));
        break;
    case wire::MsgFirmwareVersion: {
        QByteArray reply(1, char(wire::MsgFirmwareVersion));
        reply += firmwareVersion().toLatin1();
        reply += '\0';
        out->append(reply);
        break;
    }
    case wire::MsgFan:
        if (length < 2)
            break;
        m_fanOn = data[1] != 0;
        text(out, m_fanOn ? QStringLiteral("Fan on\n") : QStringLiteral("Fan off\n"));
        break;
    case wire::MsgResetConfig:
        if (length >= 3 && data[1] == wire::kResetConfigKey[0]
            && data[2] == wire::kResetConfigKey[1]) {
            resetToDefaults();
            text(out, QStringLiteral("Config reset to defaults\n"));
        } else {
            text(out, QStringLiteral("Config reset refused: bad key\n"));
        }
        break;
    case wire::MsgPrintCrashLog:
        if (m_crashLog.isEmpty())
            text(out, QStringLiteral("Crash log empty\n"));
        for (const QString &entry : std::as_const(m_crashLog))
            text(out, entry + QLatin1Char('\n'));
        break;
    case wire::MsgEraseCrashLog:
        m_crashLog.clear();
        text(out, QStringLiteral("Crash log erased\n"));
        break;
    case wire::MsgSpiWrite:
        spiWrite(data, length, out);
        break;
    case wire::MsgSpiRead:
        spiRead(data, length, out);
        break;
    case wire::MsgStoredConfig:
        out->append(QByteArray(1, char(wire::MsgStoredConfig)) + m_stored);
        break;
    case wire::MsgCalibration:
        if (length < 5)
            break;
        m_calTarget[0] = get16s(data + 1);
        m_calTarget[1] = get16s(data + 3);
        m_calHold = true;
        m_calHoldUntilMs = m_timeMs + 10000;
        break;
    case wire::MsgResetMotors:
        m_motorResetStep = 1;
        m_motorResetStartMs = m_timeMs;
        m_motFault = 0xFF;
        text(out, QStringLiteral("Motor reset\n"));
        break;
    default:
        break;
    }
}

void FirmwareModel::spiWrite(const uint8_t *data, int length, QVector<QByteArray> *out)
{
    // 17, n, flags, n data bytes. The first data byte addresses the register file, the rest
    // are written from there on; a write that starts with '$' is a text command to the
    // motor controller, whose answer the next read returns.
    if (length < 3) {
        // Nothing written, declared length not matched.
        const char refused[3] = {char(wire::MsgSpiWrite), 0, 1};
        out->append(QByteArray(refused, 3));
        return;
    }
    const int declared = data[1];
    const int available = length - 3;
    const int n = std::min(declared, available);
    const uint8_t *bytes = data + 3;
    QByteArray reply(3, '\0');
    reply[0] = char(wire::MsgSpiWrite);
    reply[1] = char(n);
    reply[2] = char(declared == available ? 0 : 1);
    if (n > 0 && bytes[0] == '$') {
        m_spiCommand = QByteArray(reinterpret_cast<const char *>(bytes), n);
    } else if (n > 0) {
        m_spiPointer = bytes[0];
        for (int i = 1; i < n; ++i)
            m_spi[size_t(uint8_t(m_spiPointer + i - 1))] = bytes[i];
    }
    out->append(reply);
}

void FirmwareModel::spiRead(const uint8_t *data, int length, QVector<QByteArray> *out)
{
    if (length < 3) {
        out->append(QByteArray(1, char(wire::MsgSpiRead)));
        return;
    }
    const int n = data[1];
    QByteArray reply(1 + n, '\0');
    reply[0] = char(wire::MsgSpiRead);
    if (!m_spiCommand.isEmpty()) {
        // "$R<w>": report word w as text, preceded by its length.
        QByteArray answer;
        if (m_spiCommand.startsWith("$R"))
            answer
                = "W" + m_spiCommand.mid(2).trimmed() + "=" + QByteArray::number(m_timeMs % 1000);
        else
            answer = "OK";
        m_spiCommand.clear();
        if (n > 0) {
            const int len = std::min<int>(answer.size(), n - 1);
            reply[1] = char(len);
            std::memcpy(reply.data() + 2, answer.constData(), size_t(len));
        }
    } else {
        for (int i = 0; i < n; ++i)
            reply[1 + i] = char(m_spi[size_t(uint8_t(m_spiPointer + i))]);
    }
    out->append(reply);
}

double FirmwareModel::calibrationSlope(int axis) const
{
    if (axis < 0 || axis > 1 || !m_params.springEn)
        return 0.0;
    return -(m_params.springPos[axis] + m_params.springNeg[axis]) / 2.0 * m_params.master;
}

double FirmwareModel::axisForce(int a) const
{
    const Params &p = m_params;
    const Axis &s = m_axis[a];
    double f = 0;
    if (p.springEn) {
        const double db = p.springDeadband[a];
        double e = 0;
        if (s.pos > db)
            e = s.pos - db;
        else if (s.pos < -db)
            e = s.pos + db;
        double fs = -(e >= 0 ? p.springPos[a] : p.springNeg[a]) * e / 4096.0;
        if (p.springSatPos[a] > 0 && fs > p.springSatPos[a])
            fs = p.springSatPos[a];
        if (p.springSatNeg[a] > 0 && fs < -p.springSatNeg[a])
            fs = -p.springSatNeg[a];
        f += fs;
    }
    if (m_calHold) // the calibration jig holds the stick: only the spring acts
        return f * p.master;

    if (p.damperEn)
        f += -(s.vel >= 0 ? p.damperPos[a] : p.damperNeg[a]) * s.vel / 4096.0;
    if (p.endstopEn) {
        if (p.endstopPos[a] > 0 && s.pos > p.endstopPos[a])
            f -= p.endstopTqPos[a] * std::min(1.0, (s.pos - p.endstopPos[a]) / 200.0);
        if (p.endstopNeg[a] < 0 && s.pos < p.endstopNeg[a])
            f += p.endstopTqNeg[a] * std::min(1.0, (p.endstopNeg[a] - s.pos) / 200.0);
    }
    if (p.constEn)
        f += p.constant[a];
    if (m_effectsEnabled) {
        const int cycle = int(m_timeMs % kEffectCycleMs);
        for (const GameEffect &e : kGameEffects) {
            if (cycle < e.fromMs || cycle >= e.toMs)
                continue;
            if (e.type == 8)
                f += -1500.0 * (s.pos - m_springCentre[a]) / 4096.0;
            else if (e.type == 9)
                f += -800.0 * s.vel / 4096.0;
            else if (e.type == 4 && a == 1)
                f += 300.0 * std::sin(2 * kPi * double(m_timeMs % 200) / 200.0);
        }
    }
    return std::clamp(f * p.master, -4096.0, 4096.0);
}

void FirmwareModel::activeChanged()
{
    Params p;
    auto rd = [this](const char *name) { return double(ImageFields::read(m_active, name)); };
    p.springEn = rd("default_spring_en") != 0;
    p.damperEn = rd("default_damper_en") != 0;
    p.endstopEn = rd("endstop_enable") != 0;
    p.constEn = rd("const_enable") != 0;
    p.invert[0] = rd("x_input_invert") != 0;
    p.invert[1] = rd("y_input_invert") != 0;
    p.disable[0] = rd("x_disable") != 0;
    p.disable[1] = rd("y_disable") != 0;
    for (int a = 0; a < 2; ++a) {
        const QByteArray axis = a == 0 ? "x" : "y";
        auto ax = [&](const char *prefix) { return rd((QByteArray(prefix) + axis).constData()); };
        p.springPos[a] = ax("default_spring_coef_pos_");
        p.springNeg[a] = ax("default_spring_coef_neg_");
        p.springSatPos[a] = ax("default_spring_saturation_pos_");
        p.springSatNeg[a] = ax("default_spring_saturation_neg_");
        p.springDeadband[a] = ax("default_spring_deadband_");
        p.damperPos[a] = ax("default_damper_coef_pos_");
        p.damperNeg[a] = ax("default_damper_coef_neg_");
        p.endstopPos[a] = ax("endstop_pos_");
        p.endstopNeg[a] = ax("endstop_neg_");
        p.endstopTqPos[a] = ax("endstop_tq_pos_");
        p.endstopTqNeg[a] = ax("endstop_tq_neg_");
        p.constant[a] = ax("constant_f");
    }
    p.master = rd("master_gain") / 100.0;
    p.maxCurrent = std::max(1, int(rd("max_drive_current")));
    const QByteArray map = ImageFields::buttonMapping(m_active);
    for (int i = 0; i < map.size() && i < 48; ++i)
        p.buttonMap[i] = uint8_t(map[i]);
    p.invMask = ImageFields::buttonInvMask(m_active);
    m_params = p;
}

void FirmwareModel::stepPhysics()
{
    const double t = m_timeMs / 1000.0;
    m_springCentre[0] = 800.0 * std::sin(2 * kPi * t / 8.0);
    m_springCentre[1] = 800.0 * std::cos(2 * kPi * t / 8.0);

    if (m_calHold && m_timeMs > m_calHoldUntilMs)
        m_calHold = false;

    if (!m_calHold && m_timeMs >= m_handChangeAtMs) {
        // The hand moves to a new place now and then, or lets go.
        for (Axis &s : m_axis)
            s.handTarget = randomUnit() < 0.25 ? 0.0 : (randomUnit() * 6000.0 - 3000.0);
        m_handChangeAtMs = m_timeMs + 1500 + nextRandom() % 1500;
    }

    const int maxCurrent = m_params.maxCurrent;
    for (int a = 0; a < 2; ++a) {
        Axis &s = m_axis[a];
        const bool disabled
            = m_params.disable[a] || ((a == 0 ? (m_motFault >> 4) : (m_motFault & 0x0F)) != 0);
        if (m_calHold) {
            s.acc = 0;
            s.vel = 0;
            s.pos = m_calTarget[a];
            s.force = disabled ? 0.0 : axisForce(a);
        } else {
            s.force = disabled ? 0.0 : axisForce(a);
            const double hand = 2.0 * (s.handTarget - s.pos) - 0.05 * s.vel;
            s.acc = (hand + s.force) * 20.0;
            s.vel += s.acc * kDt;
            s.pos += s.vel * kDt;
            if (s.pos > 4096.0 || s.pos < -4096.0) {
                s.pos = std::clamp(s.pos, -4096.0, 4096.0);
                s.vel = 0;
            }
        }
        // Motor current follows the force; the winding heats with I^2 and cools towards
        // the ambient 30 °C, faster with the fans on.
        s.current = s.force / 4096.0 * maxCurrent;
        const double cooling = m_fanOn ? 0.02 : 0.005;
        s.temp += (0.002 * s.current * s.current - cooling * (s.temp - 30.0)) * kDt * 10.0;
    }

    if (m_motorResetStep > 0) {
        const quint64 since = m_timeMs - m_motorResetStartMs;
        if (since >= 500) {
            m_motFault = 0x00;
            m_motorResetStep = 0;
        } else if (since >= 300) {
            m_motFault = 0x55; // bus still charging
        }
    }
}

QByteArray FirmwareModel::telemetryPayload() const
{
    wire::Telemetry t;
    const Axis &ax = m_axis[0];
    const Axis &ay = m_axis[1];
    const bool invX = m_params.invert[0];
    const bool invY = m_params.invert[1];
    t.x = clamp16(invX ? -ax.pos : ax.pos);
    t.y = clamp16(invY ? -ay.pos : ay.pos);
    t.dx = clamp16(ax.vel / 10.0);
    t.dy = clamp16(ay.vel / 10.0);
    t.d2x = clamp16(ax.acc / 100.0);
    t.d2y = clamp16(ay.acc / 100.0);
    t.fxout = clamp16(ax.force);
    t.fyout = clamp16(ay.force);
    t.timestamp = uint16_t(m_timeMs & 0xFFFF);
    t.raw_x = clamp16(8192.0 + ax.pos * 2.0);
    t.raw_y = clamp16(8192.0 + ay.pos * 2.0);
    const double time = m_timeMs / 1000.0;
    t.cycle_time = uint16_t(240 + (m_timeMs * 7919 % 23));
    t.pot_1 = clampU16(2048.0 + 1800.0 * std::sin(2 * kPi * time / 17.0));
    t.pot_2 = clampU16(2048.0 + 1800.0 * std::cos(2 * kPi * time / 23.0));
    t.curr_x = clamp16(ax.current * 10.0);
    t.curr_y = clamp16(ay.current * 10.0);
    t.temp_x = clamp16(ax.temp);
    t.temp_y = clamp16(ay.temp);
    const double ibus
        = 25.0 + (std::abs(int(t.curr_x)) + std::abs(int(t.curr_y))) * 3.0 + (m_fanOn ? 15.0 : 0.0);
    t.Ibus = clamp16(ibus);
    t.Vbus = clamp16(2400.0 - ibus / 10.0);

    // Hat 1 walks round its eight directions and rests centred; hats 2-4 stay centred.
    const int hatPhase = int(m_timeMs / 400 % 12);
    const quint32 hat1 = hatPhase < 8 ? quint32(hatPhase) : 0xFu;
    t.hats = 0xFFF0u | hat1;
    t.mot_fault = m_motFault;
    t.aux_axis_1 = clampU16(2048.0 + 2000.0 * std::sin(2 * kPi * time / 5.0));
    t.aux_axis_2 = clampU16(2048.0 + 2000.0 * std::sin(2 * kPi * time / 7.0));
    t.aux_axis_3 = clampU16(2048.0 + 2000.0 * std::sin(2 * kPi * time / 11.0));
    t.aux_axis_4 = clampU16(2048.0 + 2000.0 * std::sin(2 * kPi * time / 13.0));

    // Buttons: one walks over buttons 1-16, button 17 blinks every second.
    quint64 buttons = quint64(1) << (m_timeMs / 500 % 16);
    if (m_timeMs / 1000 % 2)
        buttons |= quint64(1) << 16;
    t.buttons64 = buttons;
    quint64 logical = 0;
    for (int i = 0; i < 48; ++i) {
        const int physical = m_params.buttonMap[i];
        if (physical >= 1 && physical <= 64 && (buttons >> (physical - 1)) & 1u)
            logical |= quint64(1) << i;
    }
    t.buttons_logical64 = logical ^ m_params.invMask;
    // The joystick axes the base reports to games, from the auxiliary inputs.
    t.Z = clamp16(16.0 * (double(t.aux_axis_1) - 2048.0));
    t.Rz = uint8_t(t.aux_axis_2 >> 4);
    t.Rx = uint8_t(t.aux_axis_3 >> 4);
    t.Ry = uint8_t(t.aux_axis_4 >> 4);
    t.Slider = uint8_t(t.pot_1 >> 4);

    QByteArray p(wire::kTelemetrySize, '\0');
    wire::encodeTelemetry(t, reinterpret_cast<uint8_t *>(p.data()));
    return p;
}

QByteArray FirmwareModel::samplePayload() const
{
    QByteArray p(wire::kSampleSize, '\0');
    p[0] = char(wire::MsgSample);
    put16(p, 1, int(m_timeMs & 0xFFFF));
    put16(p, 3, clamp16(m_axis[0].pos));
    put16(p, 5, clamp16(m_axis[1].pos));
    put16(p, 7, clamp16(m_axis[0].vel / 10.0));
    put16(p, 9, clamp16(m_axis[1].vel / 10.0));
    put16(p, 11, clamp16(m_axis[0].acc / 100.0));
    put16(p, 13, clamp16(m_axis[1].acc / 100.0));
    put16(p, 15, clamp16(m_axis[0].force));
    put16(p, 17, clamp16(m_axis[1].force));
    return p;
}

QByteArray FirmwareModel::effectReport(int slot) const
{
    const GameEffect &e = kGameEffects[slot];
    QByteArray p(wire::kEffectReportSize, '\0');
    p[0] = char(wire::MsgEffect);
    p[1] = char(e.id);
    p[2] = char(e.type);
    put16(p, 3, 4096);
    p[5] = char(0x01);
    if (e.type >= 8) {
        const int coef = e.type == 8 ? 1500 : 800;
        put16(p, 6, e.type == 8 ? clamp16(m_springCentre[0]) : 0);
        put16(p, 8, e.type == 8 ? clamp16(m_springCentre[1]) : 0);
        for (int off = 10; off <= 16; off += 2)
            put16(p, off, coef);
        for (int off = 18; off <= 24; off += 2)
            put16(p, off, 4096);
        put16(p, 26, e.type == 8 ? 0 : 50);
        put16(p, 28, e.type == 8 ? 0 : 50);
    } else {
        put16(p, 6, 0); // direction: straight along Y
        put16(p, 8, 100);
        put16(p, 10, 300);
        put16(p, 12, 0);
        put16(p, 14, 0);
        put16(p, 16, 200);
        put16(p, 18, 0xFFFF);
        p[20] = char(0);
    }
    return p;
}

void FirmwareModel::tick(QVector<QByteArray> *out)
{
    ++m_timeMs;
    stepPhysics();

    m_telemetryAccumulator += m_telemetryRate;
    if (m_telemetryAccumulator >= 1000) {
        m_telemetryAccumulator -= 1000;
        out->append(telemetryPayload());
    }
    if (m_sampling)
        out->append(samplePayload());
    if (m_effectsEnabled) {
        const int cycle = int(m_timeMs % kEffectCycleMs);
        for (int i = 0; i < kGameEffectCount; ++i) {
            const GameEffect &e = kGameEffects[i];
            // Stagger the reports so they do not all go out in the same millisecond.
            if (cycle >= e.fromMs && cycle < e.toMs
                && (m_timeMs + quint64(i) * 7) % kEffectReportPeriodMs == 0)
                out->append(effectReport(i));
        }
    }
}
