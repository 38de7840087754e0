#pragma once

#include <QObject>
#include <QString>

// Firmware version text of the connected base and whether any parameter changed since the base
// last reported its active configuration.
class BaseConfig : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString firmware READ firmware WRITE setFirmware NOTIFY firmwareChanged)
    Q_PROPERTY(bool parametersModified READ parametersModified WRITE setParametersModified NOTIFY
            parametersModifiedChanged)

public:
    explicit BaseConfig(QObject *parent = nullptr);

    QString firmware() const { return m_firmware; }
    bool parametersModified() const { return m_parametersModified; }

public Q_SLOTS:
    // Always emits, even for the same text: a reconnected base reports its version again.
    void setFirmware(const QString &version);
    void setParametersModified(bool changed);
    // Clears the flag and emits parametersModifiedChanged(false) even when it was clear already:
    // used when the base reports its active configuration.
    void resetParametersModified();

Q_SIGNALS:
    void firmwareChanged(QString version);
    void parametersModifiedChanged(bool changed);

private:
    QString m_firmware;
    bool m_parametersModified = false;
};
