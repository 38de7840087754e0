#include "configsnapshot.h"

#include "configjson_p.h"
#include "configlog.h"
#include "deviceconfig.h"

#include <QFile>

#include <cstring>

using nlohmann::json;

namespace {

using Reader = std::string (*)(const DeviceConfig &config);
// Converts a canonical value back and hands it to the setter; false if it does not convert.
using Writer = bool (*)(DeviceConfig &config, const json &value);
// Checks a document member and gives its canonical form; false with error on a bad member.
using Canoniser = bool (*)(const json &member, std::string &canonical, std::string &error);

std::string dumpCompact(const json &j)
{
    return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

struct Codec
{
    Reader read;
    Writer write;
    Canoniser canonise;
};

const Codec kCodecs[kConfigParameterCount] = {
#define TAVIK_PARAM(name, kind, offset, bit)                                                       \
    {[](const DeviceConfig &c) {                                                                   \
         return dumpCompact(configjson::toJson<ConfigKind::kind>(c.name()));                       \
     },                                                                                            \
        [](DeviceConfig &c, const json &j) {                                                       \
            TAVIK_PARAM_TYPE(kind) v {};                                                           \
            std::string e;                                                                         \
            if (!configjson::fromJson<ConfigKind::kind>(j, v, e))                                  \
                return false;                                                                      \
            c.set_##name(v);                                                                       \
            return true;                                                                           \
        },                                                                                         \
        [](const json &j, std::string &out, std::string &e) {                                      \
            TAVIK_PARAM_TYPE(kind) v {};                                                           \
            if (!configjson::fromJson<ConfigKind::kind>(j, v, e))                                  \
                return false;                                                                      \
            out = dumpCompact(configjson::toJson<ConfigKind::kind>(v));                            \
            return true;                                                                           \
        }},
#include "parameters.def"
};

QString jsonString(const json &doc, const char *key)
{
    const auto it = doc.find(key);
    if (it == doc.end() || !it->is_string())
        return QString();
    return QString::fromStdString(it->get<std::string>());
}

// ---- display in the Settings tab's units ----

bool startsWith(const char *name, const char *prefix)
{
    return std::strncmp(name, prefix, std::strlen(prefix)) == 0;
}

bool endsWith(const char *name, const char *suffix)
{
    const size_t n = std::strlen(name), m = std::strlen(suffix);
    return n >= m && std::strcmp(name + n - m, suffix) == 0;
}

bool contains(const char *name, const char *part)
{
    return std::strstr(name, part) != nullptr;
}

bool is(const char *name, const char *other)
{
    return std::strcmp(name, other) == 0;
}

QString choiceName(const char *name, qint64 id)
{
    struct Choice
    {
        int id;
        const char *text;
    };
    static const Choice kPotFunctions[]
        = {{0, "Disabled"}, {1, "Master Gain"}, {11, "Periodic Effects Gain"}, {12, "Spring Gain"},
            {14, "Inertia Gain"}, {13, "Damper Gain"}, {15, "Friction Gain"},
            {17, "Constant Force Gain"}, {18, "Trim X"}, {19, "Trim Y"}, {16, "Axis: Slider"},
            {20, "Axis: Z"}, {21, "Axis: Rx"}, {22, "Axis: Ry"}, {23, "Axis: Rz"}};
    static const Choice kGrips[]
        = {{0, "Generic Grip"}, {3, "Generic Grip (64 Button, Realsimulator)"},
            {4, "Generic Grip (Debug)"}, {2, "Tavik Shift-Register"}, {1, "VPC T-50CM2"},
            {6, "VPC Constellation Alpha+Prime"}, {5, "VPC WarBrd"}, {7, "VPC V.F.X"},
            {8, "WinWing Adapter"}, {9, "Loopback"}, {10, "Disabled"}};
    auto find = [id](const Choice *begin, const Choice *end) -> QString {
        for (const Choice *c = begin; c != end; ++c)
            if (c->id == id)
                return QString::fromLatin1(c->text);
        return QStringLiteral("unknown (%1)").arg(id);
    };
    if (is(name, "grip_type"))
        return find(std::begin(kGrips), std::end(kGrips));
    return find(std::begin(kPotFunctions), std::end(kPotFunctions));
}

QString displayInteger(const ConfigParameter &p, qint64 v)
{
    const char *n = p.name;
    if (isFlagKind(p.kind))
        return v ? QStringLiteral("on") : QStringLiteral("off");
    if (p.kind == ConfigKind::Mask48)
        return QStringLiteral("0x%1").arg(quint64(v), 12, 16, QLatin1Char('0'));
    if (is(n, "pot_1_func") || is(n, "pot_2_func") || is(n, "grip_type"))
        return choiceName(n, v);
    if (endsWith(n, "_lpf_hz"))
        return QStringLiteral("%1 Hz").arg(double(v) / 10.0, 0, 'f', 1);
    if (is(n, "max_psu_current"))
        return QStringLiteral("%1 A").arg(double(v) / 10.0, 0, 'f', 1);
    if (is(n, "max_drive_current"))
        return QStringLiteral("%1 A").arg(v);
    if (is(n, "hires_mode_scale"))
        return QStringLiteral("× %1").arg(double(v) / 255.0, 0, 'f', 2);
    if (is(n, "frictionP") || is(n, "frictionI") || is(n, "frictionD"))
        return QString::number(double(v) / 100.0, 'f', 2);
    // The gain sliders and percent labels show the stored value itself.
    if (is(n, "master_gain") || is(n, "audio_gain") || is(n, "effects_gain")
        || (startsWith(n, "global_") && endsWith(n, "_gain")))
        return QStringLiteral("%1 %").arg(v);
    // 4096 stands for 100 %, converted as the Settings tab's percent boxes do.
    if ((startsWith(n, "default_")
            && (contains(n, "_coef_") || contains(n, "_saturation_") || contains(n, "_deadband_")))
        || startsWith(n, "neutral_damping_comp") || is(n, "spring_prop_damper_gain"))
        return QStringLiteral("%1 %").arg((v * 100 + 2048) / 4096);
    return QString::number(v);
}

QString displayCurve(const json &j)
{
    // [[x...],[y...]]; trailing unused (0, 0) points after the fifth are left out.
    if (!j.is_array() || j.size() != 2 || !j[0].is_array() || !j[1].is_array())
        return QString::fromStdString(dumpCompact(j));
    const json &x = j[0], &y = j[1];
    size_t n = std::min(x.size(), y.size());
    while (n > 5 && x[n - 1] == 0 && y[n - 1] == 0)
        --n;
    QStringList points;
    for (size_t i = 0; i < n; ++i)
        points << QStringLiteral("(%1, %2)")
                      .arg(x[i].get<int>() / 127.0, 0, 'f', 2)
                      .arg(y[i].get<int>() / 127.0, 0, 'f', 2);
    return points.join(QLatin1Char(' '));
}

} // namespace

ConfigSnapshot ConfigSnapshot::fromConfig(const DeviceConfig &config)
{
    ConfigSnapshot s;
    for (int i = 0; i < kConfigParameterCount; ++i)
        s.m_values[size_t(i)] = kCodecs[i].read(config);
    s.firmwareVersion = config.firmware();
    return s;
}

ConfigFileResult ConfigSnapshot::fromDocument(const QByteArray &document, ConfigSnapshot *out)
{
    nlohmann::json doc;
    try {
        doc = nlohmann::json::parse(document.constBegin(), document.constEnd());
    } catch (const nlohmann::json::exception &e) {
        return ConfigFileResult::failure(
            QStringLiteral("Not valid JSON: %1").arg(QString::fromUtf8(e.what())));
    }
    const auto configIt = doc.is_object() ? doc.find("config") : doc.end();
    if (!doc.is_object() || configIt == doc.end() || !configIt->is_object())
        return ConfigFileResult::failure(
            QStringLiteral("Not a configuration file: no \"config\" object"));

    ConfigSnapshot s;
    for (int i = 0; i < kConfigParameterCount; ++i) {
        const char *name = configParameter(i).name;
        const auto it = configIt->find(name);
        if (it == configIt->end())
            continue;
        std::string error;
        if (!kCodecs[i].canonise(*it, s.m_values[size_t(i)], error))
            return ConfigFileResult::failure(
                QStringLiteral("\"%1\": %2")
                    .arg(QString::fromUtf8(name), QString::fromStdString(error)));
    }
    s.firmwareVersion = jsonString(doc, "firmware_ver");
    s.serialNumber = jsonString(doc, "serial_number");
    s.exportDate = jsonString(doc, "export_date");
    if (out)
        *out = std::move(s);
    return ConfigFileResult::success();
}

ConfigFileResult ConfigSnapshot::fromFile(const QString &path, ConfigSnapshot *out)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return ConfigFileResult::failure(
            QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()));
    if (file.size() > kMaxConfigFileSize)
        return ConfigFileResult::failure(QStringLiteral("%1 is too large").arg(path));
    const QByteArray data = file.read(kMaxConfigFileSize + 1);
    if (file.error() != QFileDevice::NoError)
        return ConfigFileResult::failure(
            QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()));
    if (data.size() > kMaxConfigFileSize)
        return ConfigFileResult::failure(QStringLiteral("%1 is too large").arg(path));
    return fromDocument(data, out);
}

bool ConfigSnapshot::has(int index) const
{
    return index >= 0 && index < kConfigParameterCount && !m_values[size_t(index)].empty();
}

int ConfigSnapshot::count() const
{
    int n = 0;
    for (const std::string &v : m_values)
        n += v.empty() ? 0 : 1;
    return n;
}

QByteArray ConfigSnapshot::json(int index) const
{
    if (!has(index))
        return QByteArray();
    const std::string &v = m_values[size_t(index)];
    return QByteArray(v.data(), int(v.size()));
}

QString ConfigSnapshot::displayValue(int index) const
{
    if (!has(index))
        return QString();
    const ConfigParameter &p = configParameter(index);
    const nlohmann::json j = nlohmann::json::parse(m_values[size_t(index)]);
    switch (p.kind) {
    case ConfigKind::Curve:
        return displayCurve(j);
    case ConfigKind::Name:
        return QStringLiteral("\"%1\"").arg(QString::fromStdString(j.get<std::string>()));
    case ConfigKind::ButtonMap: {
        QStringList buttons;
        for (const auto &b : j)
            buttons << QString::number(b.get<int>());
        return buttons.join(QLatin1Char(' '));
    }
    default:
        if (j.is_number_unsigned())
            return displayInteger(p, qint64(j.get<uint64_t>() & 0x7fffffffffffffffULL));
        return displayInteger(p, j.get<int64_t>());
    }
}

QString ConfigSnapshot::configName() const
{
    static const int index = findConfigParameter("config_name")->index;
    if (!has(index))
        return QString();
    return QString::fromStdString(
        nlohmann::json::parse(m_values[size_t(index)]).get<std::string>());
}

bool ConfigSnapshot::applyTo(DeviceConfig &config, int index) const
{
    if (!has(index))
        return false;
    return kCodecs[index].write(config, nlohmann::json::parse(m_values[size_t(index)]));
}

bool ConfigSnapshot::applyValue(DeviceConfig &config, int index, const QByteArray &json)
{
    if (index < 0 || index >= kConfigParameterCount || json.isEmpty())
        return false;
    const nlohmann::json j
        = nlohmann::json::parse(json.constBegin(), json.constEnd(), nullptr, false);
    if (j.is_discarded())
        return false;
    return kCodecs[index].write(config, j);
}

void ConfigSnapshot::take(const DeviceConfig &config, int index)
{
    if (index >= 0 && index < kConfigParameterCount)
        m_values[size_t(index)] = kCodecs[index].read(config);
}

void ConfigSnapshot::applyAllTo(DeviceConfig &config) const
{
    for (int i = 0; i < kConfigParameterCount; ++i)
        applyTo(config, i);
}

std::string ConfigSnapshot::toDocument(const QString &serial, const QDateTime &date) const
{
    nlohmann::json doc = nlohmann::json::object();
    doc["firmware_ver"] = firmwareVersion.toStdString();
    doc["software_ver"] = kConfiguratorVersion;
    doc["serial_number"] = serial.toStdString();
    doc["export_date"] = date.toString(QStringLiteral("yyyy.MM.dd hh:mm:ss")).toStdString();
    nlohmann::json &params = doc["config"] = nlohmann::json::object();
    for (int i = 0; i < kConfigParameterCount; ++i) {
        if (has(i))
            params[configParameter(i).name] = nlohmann::json::parse(m_values[size_t(i)]);
    }
    return doc.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + '\n';
}

QVector<int> configDifferences(const ConfigSnapshot &a, const ConfigSnapshot &b)
{
    QVector<int> differing;
    for (int i = 0; i < kConfigParameterCount; ++i) {
        if (a.has(i) && b.has(i) && a.json(i) != b.json(i))
            differing.append(i);
    }
    return differing;
}
