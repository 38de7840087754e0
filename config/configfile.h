#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <string>

class DeviceConfig;

// Larger files cannot be configuration files; they are refused before parsing.
constexpr qint64 kMaxConfigFileSize = 16 * 1024 * 1024;

// Version text written as "software_ver".
constexpr const char *kConfiguratorVersion = "v1.0.16";

struct ConfigFileResult
{
    bool ok = false;
    QString error; // empty when ok; otherwise names the file problem or the failing member

    explicit operator bool() const { return ok; }
    static ConfigFileResult success() { return {true, QString()}; }
    static ConfigFileResult failure(const QString &message) { return {false, message}; }
};

// The .tavconf document: every parameter under "config" (sorted keys, indent 2, UTF-8, one
// trailing newline) plus "export_date" ("yyyy.MM.dd hh:mm:ss", local time), "firmware_ver"
// (config.firmware()), "serial_number" and "software_ver". Name bytes that are not valid UTF-8
// are written as U+FFFD so that an export never fails on them.
std::string configToJson(
    const DeviceConfig &config, const QString &serialNumber, const QDateTime &exportDate);

// Writes the document atomically: an existing file is replaced only when the whole text was
// written. Open, write and commit errors are reported.
ConfigFileResult exportConfig(const DeviceConfig &config, const QString &path,
    const QString &serialNumber = QString(),
    const QDateTime &exportDate = QDateTime::currentDateTime());

// Reads a .tavconf file and applies its "config" members through the setters (so unchanged
// values stay silent). All or nothing: every member that names a parameter is converted and
// checked first; on any error (unreadable file, invalid JSON, no "config" object, a member of the
// wrong type or shape, an integer out of its type's range) nothing is changed and the error names
// the member. Unknown members are ignored. Curves start from the identity curve (count 5) and
// take the x and y entries given; button maps start from all zeros; names keep at most 20 bytes,
// cut only between characters. Works on any DeviceConfig instance.
ConfigFileResult importConfig(DeviceConfig &config, const QString &path);
// The same for a document already in memory.
ConfigFileResult importConfigData(DeviceConfig &config, const QByteArray &document);
