#include "windowsregistry.h"

// Only built into the Windows program; PlatformRegistry::create() picks it there.
#ifdef Q_OS_WIN

#include <QByteArray>
#include <QStringList>

#include <windows.h>

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
    const QString root = QStringLiteral(
        "System\\CurrentControlSet\\Control\\MediaProperties\\PrivateProperties\\DirectInput");
    HKEY handle = nullptr;
    if (RegOpenKeyExW(
            HKEY_CURRENT_USER, reinterpret_cast<LPCWSTR>(root.utf16()), 0, KEY_READ, &handle)
        != ERROR_SUCCESS)
        return;
    const QString prefix = QString::asprintf("VID_%04X&", unsigned(vendorId));
    QStringList devices;
    wchar_t name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = DWORD(sizeof(name) / sizeof(name[0]));
        if (RegEnumKeyExW(handle, index, name, &length, nullptr, nullptr, nullptr, nullptr)
            != ERROR_SUCCESS)
            break;
        const QString device = QString::fromWCharArray(name, int(length));
        if (device.startsWith(prefix, Qt::CaseInsensitive))
            devices.append(device);
    }
    RegCloseKey(handle);
    for (const QString &device : qAsConst(devices)) {
        const QString calibration
            = root + QLatin1Char('\\') + device + QStringLiteral("\\Calibration");
        RegDeleteTreeW(HKEY_CURRENT_USER, reinterpret_cast<LPCWSTR>(calibration.utf16()));
    }
}

#endif
