#pragma once

#include "baseconfig.h"
#include "configimage.h"

#include <QObject>

class DeviceConfig;

// Whether the record holds changes the base does not have: the record differs from the
// configuration the base last reported as active, or that was last sent to it. Judged by
// comparing values, so an edit undone by hand is no change, a batch of values (an image, a
// file) is judged once at its end, and a send from anywhere counts.
class UnsentChanges : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool unsent READ hasUnsentChanges NOTIFY unsentChangesChanged)

public:
    // The reference starts as the record's current values: nothing is unsent yet.
    explicit UnsentChanges(DeviceConfig *config, QObject *parent = nullptr);

    bool hasUnsentChanges() const { return m_unsent; }

public Q_SLOTS:
    // The base now runs what the record holds (it was sent, or the base reported it).
    void markInSync();

Q_SIGNALS:
    void unsentChangesChanged(bool unsent);

private:
    void onParameterChanged();
    void onChangesFinished(BaseConfig::ChangeOrigin origin);
    void evaluate();
    void setUnsent(bool unsent);

    DeviceConfig *m_config;
    ConfigImage m_reference {};
    bool m_unsent = false;
};
