#pragma once
// The values of a configuration detached from any record: taken from a DeviceConfig, or read
// from a .tavconf document (then only the parameters it names). Values are kept in their
// canonical JSON form, so two snapshots compare exactly as the setters do (curves by their
// points, names by their text) without building a second record, which would log every value.

#include "configfile.h"
#include "configparameters.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVector>

#include <array>
#include <string>

class DeviceConfig;

class ConfigSnapshot
{
public:
    // Names no parameter.
    ConfigSnapshot() = default;

    static ConfigSnapshot fromConfig(const DeviceConfig &config);
    // Reads a .tavconf document with the checks of the import (all or nothing): on failure
    // *out is left as it was and the result names the problem.
    static ConfigFileResult fromDocument(const QByteArray &document, ConfigSnapshot *out);
    static ConfigFileResult fromFile(const QString &path, ConfigSnapshot *out);

    bool has(int index) const;
    // Number of parameters named (kConfigParameterCount for a whole configuration).
    int count() const;
    bool isComplete() const { return count() == kConfigParameterCount; }
    // Compact canonical JSON of a value ("12", "\"name\"", "[[-127,...],[...]]"); empty when the
    // parameter is not named.
    QByteArray json(int index) const;
    // The value as the Settings tab shows it (percent, Hz, A, names of choices, ...).
    QString displayValue(int index) const;
    // The configuration's name, empty when not named.
    QString configName() const;

    // Writes the value through the parameter's setter (so it logs, signals and marks the record
    // modified as a user's edit does); false when the parameter is not named.
    bool applyTo(DeviceConfig &config, int index) const;
    // Every named value, in declaration order.
    void applyAllTo(DeviceConfig &config) const;
    // Writes one canonical value (as json() gives it) through the parameter's setter; false
    // when the index or the value is not valid.
    static bool applyValue(DeviceConfig &config, int index, const QByteArray &json);
    // Takes the record's current value of one parameter.
    void take(const DeviceConfig &config, int index);

    // The .tavconf document of a whole snapshot, byte for byte what exportConfig writes for a
    // record holding these values.
    std::string toDocument(const QString &serialNumber, const QDateTime &exportDate) const;

    // Descriptive members of the document (fromDocument) or of the record (fromConfig: the
    // firmware text only).
    QString firmwareVersion;
    QString serialNumber;
    QString exportDate;

    bool operator==(const ConfigSnapshot &other) const { return m_values == other.m_values; }
    bool operator!=(const ConfigSnapshot &other) const { return !(*this == other); }

private:
    std::array<std::string, kConfigParameterCount> m_values; // empty: not named
};

// Indices, in declaration order, of the parameters both snapshots name with different values.
QVector<int> configDifferences(const ConfigSnapshot &a, const ConfigSnapshot &b);
