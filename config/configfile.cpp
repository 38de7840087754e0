#include "configfile.h"

#include "configkind.h"
#include "configlog.h"
#include "configjson_p.h"
#include "deviceconfig.h"
#include "savefile.h"

#include <QFile>
#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <type_traits>

using nlohmann::json;

namespace {

using configjson::fromJson;
using configjson::toJson;

// Every parameter the document gives, converted and checked, before any is applied.
struct StagedConfig
{
#define TAVIK_PARAM(name, kind, offset, bit) std::optional<TAVIK_PARAM_TYPE(kind)> name;
#include "parameters.def"
};

QString memberError(const char *name, const std::string &what)
{
    return QStringLiteral("\"%1\": %2").arg(QString::fromUtf8(name), QString::fromStdString(what));
}

} // namespace

std::string configToJson(
    const DeviceConfig &config, const QString &serialNumber, const QDateTime &exportDate)
{
    json doc = json::object();
    doc["firmware_ver"] = config.firmware().toStdString();
    doc["software_ver"] = kConfiguratorVersion;
    doc["serial_number"] = serialNumber.toStdString();
    doc["export_date"] = exportDate.toString(QStringLiteral("yyyy.MM.dd hh:mm:ss")).toStdString();
    json &params = doc["config"] = json::object();
#define TAVIK_PARAM(name, kind, offset, bit)                                                       \
    params[#name] = toJson<ConfigKind::kind>(config.name());
#include "parameters.def"
    return doc.dump(2, ' ', false, json::error_handler_t::replace) + '\n';
}

ConfigFileResult exportConfig(const DeviceConfig &config, const QString &path,
    const QString &serialNumber, const QDateTime &exportDate)
{
    const std::string text = configToJson(config, serialNumber, exportDate);
    QString reason;
    if (!saveFileAtomically(path, QByteArray::fromStdString(text), &reason))
        return ConfigFileResult::failure(QStringLiteral("Cannot write %1: %2").arg(path, reason));
    qCInfo(lcConfig) << "exported configuration to" << path;
    return ConfigFileResult::success();
}

ConfigFileResult importConfig(DeviceConfig &config, const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return ConfigFileResult::failure(
            QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()));
    }
    if (file.size() > kMaxConfigFileSize)
        return ConfigFileResult::failure(QStringLiteral("%1 is too large").arg(path));
    const QByteArray data = file.read(kMaxConfigFileSize + 1);
    if (file.error() != QFileDevice::NoError) {
        return ConfigFileResult::failure(
            QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()));
    }
    if (data.size() > kMaxConfigFileSize)
        return ConfigFileResult::failure(QStringLiteral("%1 is too large").arg(path));
    const ConfigFileResult result = importConfigData(config, data);
    if (result)
        qCInfo(lcConfig) << "imported configuration from" << path;
    else
        qCWarning(lcConfig) << "import of" << path << "failed:" << result.error;
    return result;
}

ConfigFileResult importConfigData(DeviceConfig &config, const QByteArray &document)
{
    json doc;
    try {
        doc = json::parse(document.constBegin(), document.constEnd());
    } catch (const json::exception &e) {
        return ConfigFileResult::failure(
            QStringLiteral("Not valid JSON: %1").arg(QString::fromUtf8(e.what())));
    }
    const auto configIt = doc.is_object() ? doc.find("config") : doc.end();
    if (!doc.is_object() || configIt == doc.end() || !configIt->is_object()) {
        return ConfigFileResult::failure(
            QStringLiteral("Not a configuration file: no \"config\" object"));
    }
    const json &members = *configIt;

    StagedConfig staged;
    std::string error;
#define TAVIK_PARAM(name, kind, offset, bit)                                                       \
    if (const auto it = members.find(#name); it != members.end()) {                                \
        TAVIK_PARAM_TYPE(kind) value {};                                                           \
        if (!fromJson<ConfigKind::kind>(*it, value, error))                                        \
            return ConfigFileResult::failure(memberError(#name, error));                           \
        staged.name = value;                                                                       \
    }
#include "parameters.def"

    // One batch: listeners see a file's values as such, and judge the result once.
    const BaseConfig::OriginScope scope(config, BaseConfig::ChangeOrigin::File);
#define TAVIK_PARAM(name, kind, offset, bit)                                                       \
    if (staged.name)                                                                               \
        config.set_##name(*staged.name);
#include "parameters.def"
    return ConfigFileResult::success();
}
