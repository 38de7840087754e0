#include "windowsregistry.h"

// Only built into the Windows program; PlatformRegistry::create() picks it there.
#ifdef Q_OS_WIN

#include <QByteArray>
#include <QSettings>
#include <QStringList>

#include <windows.h>

namespace {

void removeValueRecursive(const QString &path, const QString &valueName)
{
    QSettings store(path, QSettings::NativeFormat);
    const QStringList groups = store.childGroups();
    for (const QString &group : groups)
        removeValueRecursive(path + QLatin1Char('\\') + group, valueName);
    const QStringList keys = store.childKeys();
    for (const QString &key : keys)
        if (key == valueName)
            store.remove(key);
}

} // namespace

QString WindowsRegistry::readString(const QString &subkey, const QString &valueName) const
{
    const QByteArray key = subkey.toUtf8();
    const QByteArray name = valueName.toUtf8();
    HKEY handle = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key.constData(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return QString();
    char buffer[256];
    DWORD type = 0;
    DWORD size = sizeof(buffer);
    const LSTATUS status = RegQueryValueExA(
        handle, name.constData(), nullptr, &type, reinterpret_cast<LPBYTE>(buffer), &size);
    RegCloseKey(handle);
    if (status != ERROR_SUCCESS || type != REG_SZ || size == 0)
        return QString();
    // The stored value need not carry its terminator.
    const int length = int(qstrnlen(buffer, qMin<DWORD>(size, sizeof(buffer))));
    return QString::fromLatin1(buffer, length);
}

long WindowsRegistry::writeString(
    const QString &subkey, const QString &valueName, const QString &value)
{
    HKEY handle = nullptr;
    const LSTATUS opened = RegOpenKeyExW(
        HKEY_CURRENT_USER, reinterpret_cast<LPCWSTR>(subkey.utf16()), 0, KEY_SET_VALUE, &handle);
    if (opened != ERROR_SUCCESS)
        return opened;
    const DWORD bytes = DWORD(2 * value.size() + 2);
    const LSTATUS status = RegSetValueExW(handle, reinterpret_cast<LPCWSTR>(valueName.utf16()), 0,
        REG_SZ, reinterpret_cast<const BYTE *>(value.utf16()), bytes);
    RegCloseKey(handle);
    return status;
}

void WindowsRegistry::clearDirectInputCalibration(quint16 vendorId)
{
    // Drops the operating system's stored joystick calibration of every such device.
    const QString root = QStringLiteral("HKEY_CURRENT_USER\\System\\CurrentControlSet\\Control\\"
                                        "MediaProperties\\PrivateProperties\\DirectInput");
    const QString prefix = QString::asprintf("VID_%04X", unsigned(vendorId));
    const QSettings store(root, QSettings::NativeFormat);
    const QStringList groups = store.childGroups();
    for (const QString &group : groups)
        if (group.startsWith(prefix, Qt::CaseSensitive))
            removeValueRecursive(root + QLatin1Char('\\') + group, QStringLiteral("Calibration"));
}

#endif
