#include "tavikcomm.h"

#include "configimage.h"
#include "datapacket.h"
#include "deviceconfig.h"
#include "effectlistmodel.h"
#include "linklog.h"
#include "linkprompts.h"

#include <QDebug>
#include <QEventLoop>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <vector>

namespace {

// Where the version warning sends the user for matching firmware and software.
const char kUpdatePageUrl[] = "https://tavik.example/brontel/updates";

constexpr int kCalibrationSettleMs = 5000;
constexpr int kCalibrationStepMs = 1500;
constexpr int kCalibrationFrom = -2500;
constexpr int kCalibrationTo = 2500;
constexpr int kCalibrationStep = 500;

inline int16_t s16(const uint8_t *p)
{
    return int16_t(uint16_t(p[0] | (p[1] << 8)));
}
inline uint16_t u16(const uint8_t *p)
{
    return uint16_t(p[0] | (p[1] << 8));
}

} // namespace

TavikComm::TavikComm(DeviceConfig *config, DataPacket *dataPacket, EffectListModel *effects)
    : m_config(config)
    , m_dataPacket(dataPacket)
    , m_effects(effects)
{
    connect(this, &SerialPortManager::connectedChanged, this, &TavikComm::onConnectedChanged);
}

TavikComm::~TavikComm() = default;

void TavikComm::setCalibrationTimeScale(double scale)
{
    m_calibrationTimeScale = (scale > 0 && std::isfinite(scale)) ? scale : 1.0;
}

void TavikComm::send(std::initializer_list<uint8_t> bytes)
{
    sendPacket(bytes.begin(), int(bytes.size()));
}

qint64 TavikComm::sendPacket(const QByteArray &payload)
{
    return sendPacket(reinterpret_cast<const uint8_t *>(payload.constData()), payload.size());
}

void TavikComm::onConnectedChanged(bool connected)
{
    if (connected) {
        getConfig();
        Q_EMIT textDataReceived(QStringLiteral("* USB Connected\n"));
    } else {
        Q_EMIT textDataReceived(QStringLiteral("* USB Disconnected\n"));
    }
}

bool TavikComm::sendConfig()
{
    if (!m_configCompatible) {
        qCWarning(lcLink) << "Not sending the configuration: the base's configuration format is"
                             " incompatible with this program";
        return false;
    }
    if (!m_config)
        return false;
    const QByteArray image = buildConfigImage(*m_config);
    QByteArray payload;
    payload.reserve(1 + image.size());
    payload.append(char(wire::MsgApplyConfig));
    payload.append(image);
    qDebug() << "send" << payload.size();
    // Only what reached the port counts as sent: a closed port drops the packet.
    const qint64 written = sendPacket(payload);
    if (written > 0 && isConnected())
        Q_EMIT configSent();
    return true;
}

bool TavikComm::getConfig()
{
    qDebug() << "Get config";
    send({wire::MsgActiveConfig});
    send({wire::MsgFirmwareVersion});
    return true;
}

bool TavikComm::getStoredConfig()
{
    send({wire::MsgStoredConfig});
    send({wire::MsgFirmwareVersion});
    return true;
}

bool TavikComm::resetConfig()
{
    send({wire::MsgResetConfig, wire::kResetConfigKey[0], wire::kResetConfigKey[1]});
    getConfig();
    return true;
}

bool TavikComm::storeConfig()
{
    if (!sendConfig())
        return false;
    send({wire::MsgStoreConfig});
    return true;
}

void TavikComm::setFanPower(bool enable)
{
    send({wire::MsgFan, uint8_t(enable ? 1 : 0)});
}

void TavikComm::resetMotors()
{
    send({wire::MsgResetMotors});
}

void TavikComm::startSampling()
{
    if (m_sampleFile.isOpen())
        m_sampleFile.close();
    m_sampleFile.setFileName(m_sampleFileName);
    if (m_sampleFile.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qDebug() << "Opened" << m_sampleFile.fileName();
    else
        qCWarning(lcLink) << "Cannot open the data log" << m_sampleFile.fileName() << ":"
                          << m_sampleFile.errorString() << "- samples will be ignored";
    send({wire::MsgStartSampling});
}

void TavikComm::stopSampling()
{
    send({wire::MsgStopSampling});
    m_sampleFile.close();
}

QByteArray TavikComm::spiRead(int n, int flags)
{
    if (n < 0 || n > kMaxSpiWrite) {
        // The count travels in one byte.
        qCWarning(lcLink) << "SPI read of" << n << "bytes refused; at most" << kMaxSpiWrite;
        return QByteArray();
    }
    send({wire::MsgSpiRead, uint8_t(n), uint8_t(flags)});
    return waitForReply(wire::MsgSpiRead, kSpiReplyTimeoutMs);
}

QByteArray TavikComm::spiWrite(const QByteArray &data, int flags)
{
    if (data.size() > kMaxSpiWrite) {
        // The length travels in one byte; a longer write would be announced with a wrong length.
        qCWarning(lcLink) << "SPI write of" << data.size() << "bytes refused; at most"
                          << kMaxSpiWrite;
        return QByteArray();
    }
    QByteArray payload;
    payload.reserve(3 + data.size());
    payload.append(char(wire::MsgSpiWrite));
    payload.append(char(uint8_t(data.size())));
    payload.append(char(uint8_t(flags)));
    payload.append(data);
    sendPacket(payload);
    return waitForReply(wire::MsgSpiWrite, kSpiReplyTimeoutMs);
}

QByteArray TavikComm::spiTransfer(int n, const QByteArray &data)
{
    const QByteArray reply = spiRead(n, 1);
    spiWrite(data, 2);
    return reply;
}

void TavikComm::sendCalibrationPoint(int16_t x, int16_t y)
{
    const uint16_t ux = uint16_t(x);
    const uint16_t uy = uint16_t(y);
    send({wire::MsgCalibration, uint8_t(ux & 0xFF), uint8_t(ux >> 8), uint8_t(uy & 0xFF),
        uint8_t(uy >> 8)});
}

void TavikComm::wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(
        std::max(0, int(std::lround(ms * m_calibrationTimeScale))), &loop, &QEventLoop::quit);
    loop.exec();
}

bool TavikComm::fitLine(const float *x, const float *y, int n, float *slope, float *intercept)
{
    if (n <= 0 || !x || !y)
        return false;
    float sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (int i = 0; i < n; ++i) {
        sx += x[i];
        sy += y[i];
        sxx += x[i] * x[i];
        sxy += x[i] * y[i];
    }
    const float fn = float(n);
    const float denominator = fn * sxx - sx * sx;
    if (denominator == 0.0f || !std::isfinite(denominator))
        return false;
    const float m = (fn * sxy - sx * sy) / denominator;
    const float b = (sy - m * sx) / fn;
    if (!std::isfinite(m) || !std::isfinite(b))
        return false;
    if (slope)
        *slope = m;
    if (intercept)
        *intercept = b;
    return true;
}

void TavikComm::calibrateAxis(bool yAxis)
{
    if (yAxis)
        sendCalibrationPoint(0, kCalibrationFrom);
    else
        sendCalibrationPoint(kCalibrationFrom, 0);
    wait(kCalibrationSettleMs);
    std::vector<float> positions;
    std::vector<float> forces;
    for (int v = kCalibrationFrom; v <= kCalibrationTo; v += kCalibrationStep) {
        if (yAxis)
            sendCalibrationPoint(0, int16_t(v));
        else
            sendCalibrationPoint(int16_t(v), 0);
        wait(kCalibrationStepMs);
        const int position = yAxis ? m_dataPacket->y() : m_dataPacket->x();
        const int force = yAxis ? m_dataPacket->fyout() : m_dataPacket->fxout();
        positions.push_back(float(position));
        forces.push_back(float(force));
        Q_EMIT textDataReceived(QString::asprintf("%d,%d\n", position, force));
    }
    float slope = 0, intercept = 0;
    if (fitLine(positions.data(), forces.data(), int(positions.size()), &slope, &intercept))
        Q_EMIT textDataReceived(
            QString::asprintf("fit: y = %fx+%f\n", double(slope * 4096.0f), double(intercept)));
    else
        Q_EMIT textDataReceived(
            QStringLiteral("fit: failed, the position did not change during the sweep\n"));
}

void TavikComm::startAutoCalibration()
{
    if (m_calibrating) {
        qCWarning(lcLink) << "Automatic calibration is already running";
        return;
    }
    if (!m_dataPacket)
        return;
    m_calibrating = true;
    calibrateAxis(true);
    calibrateAxis(false);
    m_calibrating = false;
}

void TavikComm::setConfigCompatible(bool compatible)
{
    if (m_configCompatible == compatible)
        return;
    m_configCompatible = compatible;
    Q_EMIT configCompatibleChanged(compatible);
}

void TavikComm::showConfigError(const QString &text, bool richText)
{
    LinkPrompts *prompts = LinkPrompts::instance();
    if (!prompts) {
        // No window in this process (tools, benchmarks): the log line is the report.
        qCWarning(lcLink).noquote() << "Error:" << text;
        return;
    }
    prompts->showConfigError(text, richText);
}

void TavikComm::handlePacket(uint8_t *data, int length)
{
    if (!data || length < 1)
        return;
    switch (data[0]) {
    case wire::MsgText:
        handleText(data, length);
        break;
    case wire::MsgTelemetry:
        if (m_dataPacket) {
            m_dataPacket->applyTelemetry(data, length);
            Q_EMIT dataPacketReceived();
        }
        break;
    case wire::MsgActiveConfig:
    case wire::MsgStoredConfig:
        handleConfig(data, length);
        break;
    case wire::MsgEffect:
        if (m_effects)
            m_effects->updateEffect(data, length);
        break;
    case wire::MsgSample:
        handleSample(data, length);
        break;
    case wire::MsgFirmwareVersion:
        handleFirmwareVersion(data, length);
        break;
    default:
        break;
    }
}

void TavikComm::handleText(const uint8_t *data, int length)
{
    const QString text
        = QString::fromLocal8Bit(reinterpret_cast<const char *>(data + 1), length - 1);
    const QByteArray utf8 = text.toUtf8();
    std::fwrite(utf8.constData(), 1, size_t(utf8.size()), stdout);
    std::fflush(stdout);
    Q_EMIT textDataReceived(text);
}

void TavikComm::handleFirmwareVersion(const uint8_t *data, int length)
{
    const char *text = reinterpret_cast<const char *>(data + 1);
    const int available = length - 1;
    int n = 0;
    while (n < available && text[n] != '\0')
        ++n;
    if (n == available)
        qCWarning(lcLink) << "Firmware version text without a terminating zero; taking its"
                          << available << "bytes";
    const QString version = QString::fromLatin1(text, n);
    qCInfo(lcLink).noquote() << "Firmware version" << version;
    if (m_config)
        m_config->setFirmware(version);
}

void TavikComm::handleConfig(const uint8_t *data, int length)
{
    const uint8_t type = data[0];
    const int payloadLength = length - 1;
    if (payloadLength >= 1 && data[1] != kConfigImageVersion) {
        const int version = data[1];
        qDebug("Wrong configuration version %X, expected %X", version, kConfigImageVersion);
        // Refused without changing a parameter; the program goes on, but sends no configuration
        // built in a format the base does not read until a compatible image arrives.
        setConfigCompatible(false);
        Q_EMIT configRefused(
            QStringLiteral("Incompatible configuration version %1 (expected %2): update firmware "
                           "and/or software")
                .arg(version)
                .arg(kConfigImageVersion));
        if (!m_errorBoxOpen) {
            m_errorBoxOpen = true;
            showConfigError(
                QStringLiteral("Wrong firmware configuration version %1, expected %2.<br>"
                               "Please Update firmware and/or software at "
                               "<a href=\"%3\">%3</a>")
                    .arg(version)
                    .arg(kConfigImageVersion)
                    .arg(QLatin1String(kUpdatePageUrl)),
                true);
            m_errorBoxOpen = false;
        }
        return;
    }
    qDebug("Received config len:%d %d", payloadLength, kConfigImageSize);
    if (length != 1 + kConfigImageSize) {
        qDebug("Bad config size");
        Q_EMIT configRefused(QStringLiteral("Bad configuration size %1 (expected %2)")
                                 .arg(payloadLength)
                                 .arg(kConfigImageSize));
        if (!m_errorBoxOpen) {
            m_errorBoxOpen = true;
            showConfigError(QStringLiteral("Bad FW config size"), false);
            m_errorBoxOpen = false;
        }
        return;
    }
    if (!m_config)
        return;
    {
        // The base's own values, one batch: the window tells them apart from edits.
        const BaseConfig::OriginScope scope(*m_config,
            type == wire::MsgActiveConfig ? BaseConfig::ChangeOrigin::ActiveConfig
                                    : BaseConfig::ChangeOrigin::StoredConfig);
        if (applyConfigImage(*m_config, data + 1, size_t(kConfigImageSize)) != ImageCheck::Ok)
            return; // cannot happen after the checks above
    }
    setConfigCompatible(true);
    Q_EMIT configReceived();
    if (type == wire::MsgActiveConfig)
        m_config->resetParametersModified();
}

void TavikComm::handleSample(const uint8_t *data, int length)
{
    if (!m_sampleFile.isOpen())
        return;
    if (length < wire::kSampleSize) {
        qCWarning(lcLink) << "Short data-log sample of" << length << "bytes ignored";
        return;
    }
    const uint16_t stamp = u16(data + 1);
    if (stamp < m_lastSampleTime)
        m_sampleTime += 0x10000u;
    m_sampleTime = (m_sampleTime & 0xFFFF0000u) | stamp;
    m_lastSampleTime = stamp;

    const double currX = m_dataPacket ? m_dataPacket->curr_x() / 10.0 : 0.0;
    const double currY = m_dataPacket ? m_dataPacket->curr_y() / 10.0 : 0.0;
    const double ibus = m_dataPacket ? m_dataPacket->Ibus() / 100.0 : 0.0;
    char line[256];
    const int n = std::snprintf(line, sizeof line,
        "%u,x=%d,y=%d,dx=%d,dy=%d,d2x=%d,d2y=%d,fx=%d,fy=%d,%.2f,%.2f,%.3f\r\n", m_sampleTime,
        s16(data + 3), s16(data + 5), s16(data + 7), s16(data + 9), s16(data + 11), s16(data + 13),
        s16(data + 15), s16(data + 17), currX, currY, ibus);
    if (n > 0)
        m_sampleFile.write(line, std::min<qint64>(n, qint64(sizeof line) - 1));
}
