#pragma once
// The game-controller display name of a base lives in the Windows registry on Windows; elsewhere
// the program keeps it in its own settings store. Callers only see this interface.

#include <QString>
#include <QtGlobal>

#include <memory>

class PlatformRegistry
{
public:
    virtual ~PlatformRegistry();

    // Empty when the value is missing or unreadable.
    virtual QString readString(const QString &subkey, const QString &valueName) const = 0;
    // Returns 0 on success, otherwise a platform status code (nothing is written then).
    virtual long writeString(const QString &subkey, const QString &valueName, const QString &value)
        = 0;
    // Forgets the stored game-controller calibration of every device with this vendor id.
    virtual void clearDirectInputCalibration(quint16 vendorId) = 0;

    // The implementation for the platform the program was built for.
    static std::unique_ptr<PlatformRegistry> create();
};
