#pragma once
// Marks every bound control whose parameter differs from what the base last reported as active
// (or was last sent): a coloured edge in the palette's highlight colour, legible in light and
// dark palettes, and a context menu entry "Revert to the base's value". The tab titles count
// their modified parameters ("Settings (3)").

#include "configsnapshot.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QStringList>

class ConfigBinder;
class ConfigSafety;
class DeviceConfig;
class QTabWidget;
class QTimer;
class QWidget;

class ModifiedMarkers : public QObject
{
    Q_OBJECT

public:
    ModifiedMarkers(DeviceConfig *config, ConfigBinder *binder, ConfigSafety *safety,
        QTabWidget *tabs, QObject *parent = nullptr);

    // Parameter indices that differ from the base's configuration now.
    QVector<int> modifiedParameters() const;
    bool isMarked(const QWidget *control) const;
    // The parameters bound to a control that are modified (what its context menu reverts).
    QVector<int> modifiedParametersOf(const QWidget *control) const;
    // Writes the base's value of a parameter into the window (as a user's edit).
    bool revert(int index);
    // Recomputes at once (normally coalesced to once per event loop pass).
    void refresh();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *controlFor(QObject *watched) const;
    void mark(QWidget *control, bool on);

    DeviceConfig *m_config;
    ConfigBinder *m_binder;
    ConfigSafety *m_safety;
    QTabWidget *m_tabs;
    QStringList m_titles;
    QTimer *m_timer = nullptr;
    // Control -> parameters bound to it.
    QHash<QWidget *, QVector<int>> m_controls;
    QSet<int> m_modified;
    QHash<QWidget *, QPointer<QWidget>> m_outlines;
};
