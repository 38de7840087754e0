#pragma once
// Tells when any notifying property of an object changes, whatever its type: the close
// question needs to know about edits made after the last Apply, which parametersModified
// (raised once, cleared only by a received configuration) cannot tell.

#include <QObject>

class ConfigChangeWatcher : public QObject
{
    Q_OBJECT
public:
    // Watches every property that target's own class declares with a notify signal.
    explicit ConfigChangeWatcher(QObject *target, QObject *parent = nullptr);

    int watchedCount() const { return m_watched; }

Q_SIGNALS:
    void changed();

private Q_SLOTS:
    void onNotify();

private:
    int m_watched = 0;
};
