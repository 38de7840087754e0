#include "settingsregistry.h"

#include "linklog.h"

#include <QSettings>

QString SettingsRegistry::settingsKey(const QString &subkey, const QString &valueName)
{
    QString path = subkey;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return QStringLiteral("registry/") + path + QLatin1Char('/') + valueName;
}

QString SettingsRegistry::readString(const QString &subkey, const QString &valueName) const
{
    const QSettings settings;
    return settings.value(settingsKey(subkey, valueName)).toString();
}

long SettingsRegistry::writeString(
    const QString &subkey, const QString &valueName, const QString &value)
{
    QSettings settings;
    settings.setValue(settingsKey(subkey, valueName), value);
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        qCWarning(lcLink) << "Cannot store" << valueName << "in" << settings.fileName();
        return long(settings.status());
    }
    return 0;
}

void SettingsRegistry::clearDirectInputCalibration(quint16 vendorId)
{
    Q_UNUSED(vendorId)
}
