#pragma once
// The Effects tab: the nine effect panels, configured per effect and bound to the configuration
// through binding rows, their gain maps (linked axes, the stick marker on the spring charts),
// the friction tuning dialog, Axis Scaling against Rescale axes, and the trim and hi-res panels,
// in a flow layout inside the tab's scroll area.

#include "configtypes.h"

#include <QList>
#include <QObject>

class ConfigBinder;
class DataPacket;
class DeviceConfig;
class EffectSettings;
class QWidget;
class TavikComm;

class EffectsTab : public QObject
{
    Q_OBJECT

public:
    // contents is the scroll area's widget of tab_effects.
    EffectsTab(QWidget *contents, ConfigBinder *binder, TavikComm *comm, DataPacket *data,
        QObject *parent = nullptr);

    // Panels by object name ("effect_spring", ..., "effect_balance_spring").
    EffectSettings *panel(const char *name) const;
    QList<EffectSettings *> panels() const { return m_panels; }
    // Hides every gain-map dialog (they are top-level windows of their own).
    void closeDialogs();

private:
    EffectSettings *addPanel(const char *name, const QString &title, bool advanced);
    void configurePanels();
    void bindPanels();
    struct CurveParameter
    {
        DeviceMappingData (DeviceConfig::*get)() const;
        void (DeviceConfig::*set)(DeviceMappingData);
        void (DeviceConfig::*changed)(DeviceMappingData);
    };
    void bindGainMap(EffectSettings *panel, const CurveParameter &x, const CurveParameter &y,
        const char *separate);
    void openFrictionTuning();

    QWidget *m_contents;
    ConfigBinder *m_binder;
    DeviceConfig *m_config;
    TavikComm *m_comm;
    DataPacket *m_data;
    QList<EffectSettings *> m_panels;
};
