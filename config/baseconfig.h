#pragma once

#include <QObject>
#include <QString>

// Firmware version text of the connected base and whether any parameter changed since the base
// last reported its active configuration.
//
// Every parameter change passes one choke point that knows where the change came from: a user's
// edit (the default), a configuration the base reported, or an imported file. Code that writes
// many parameters at once (decoding an image, importing a file) opens an OriginScope; listeners
// then see each change with its origin and one changesFinished() when the batch is complete.
class BaseConfig : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString firmware READ firmware WRITE setFirmware NOTIFY firmwareChanged)
    Q_PROPERTY(bool parametersModified READ parametersModified WRITE setParametersModified NOTIFY
            parametersModifiedChanged)

public:
    enum class ChangeOrigin {
        User, // an edit in the window (or any write outside a scope)
        ActiveConfig, // the configuration the base runs, as it reported it
        StoredConfig, // the base's stored configuration, which it does not run
        File, // an imported configuration file
    };
    Q_ENUM(ChangeOrigin)

    // Marks every parameter change made while it lives with its origin. Scopes nest; the
    // outermost one decides the origin and emits changesFinished() when it ends.
    class OriginScope
    {
    public:
        OriginScope(BaseConfig &config, ChangeOrigin origin);
        ~OriginScope();
        OriginScope(const OriginScope &) = delete;
        OriginScope &operator=(const OriginScope &) = delete;

    private:
        BaseConfig &m_config;
    };

    explicit BaseConfig(QObject *parent = nullptr);

    QString firmware() const { return m_firmware; }
    bool parametersModified() const { return m_parametersModified; }

    // Origin of the change being made now.
    ChangeOrigin changeOrigin() const { return m_origin; }
    // True while an OriginScope is open.
    bool isInBatch() const { return m_scopeDepth > 0; }

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
    // A parameter (index in declaration order) took a new value.
    void parameterChanged(int index, BaseConfig::ChangeOrigin origin);
    // The outermost OriginScope ended; changed is the number of parameters that changed in it
    // (possibly 0: the base may report exactly what the record holds).
    void changesFinished(BaseConfig::ChangeOrigin origin, int changed);

protected:
    // Called by every setter after it stored a new value and emitted its signal.
    void noteParameterChanged(int index);

private:
    QString m_firmware;
    bool m_parametersModified = false;
    ChangeOrigin m_origin = ChangeOrigin::User;
    int m_scopeDepth = 0;
    int m_batchChanges = 0;
};
