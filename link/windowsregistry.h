#pragma once
// The current user's Windows registry hive.

#include "platformregistry.h"

class WindowsRegistry : public PlatformRegistry
{
public:
    QString readString(const QString &subkey, const QString &valueName) const override;
    long writeString(
        const QString &subkey, const QString &valueName, const QString &value) override;
    void clearDirectInputCalibration(quint16 vendorId) override;
};
