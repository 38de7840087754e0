#pragma once
// Keeps registry-style values in the program's own settings store, for platforms without the
// Windows registry. Values sit under the group "registry", keyed by subkey and value name.

#include "platformregistry.h"

class SettingsRegistry : public PlatformRegistry
{
public:
    QString readString(const QString &subkey, const QString &valueName) const override;
    long writeString(
        const QString &subkey, const QString &valueName, const QString &value) override;
    // There is no stored calibration to forget outside Windows.
    void clearDirectInputCalibration(quint16 vendorId) override;

    static QString settingsKey(const QString &subkey, const QString &valueName);
};
