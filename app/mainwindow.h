#pragma once
// The configurator's only top-level window: follows the serial connection, shows the motor and
// USB state, and carries the configuration row (apply, store, load, revert, reset, import,
// export). The tabs' editing controls bind themselves to the configuration record.

#include "configtypes.h"
#include "widgetlinkprompts.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <cstdint>

class AutoCalibration;
class BtnMapWidget;
class ConfigSafety;
class ConfigBinder;
class SettingsTab;
class EffectsTab;
class DataPacket;
class DebugConsole;
class LivePanel;
class DeviceConfig;
class EffectListModel;
class QLabel;
class ScopeWindow;
class TavikComm;
class TelemetryRecorder;
class UnsentChanges;

namespace Ui {
class MainWindow;
}

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    static constexpr const char *kTitle = "Tavik FFB Configurator (v1.0.16)";
    static constexpr const char *kDisplayNamePrefix = "Tavik Brontel FFB";

    MainWindow(DeviceConfig *config, TavikComm *comm, DataPacket *data, EffectListModel *effects,
        QWidget *parent = nullptr);
    ~MainWindow() override;

    // Name of a 4-bit motor state code ("OK", "FAULT_ENCODER_I2C", ..., "OFFLINE").
    static QString motorFaultName(unsigned code);
    // The file name the export dialog suggests for a configuration name at a moment.
    static QString suggestedExportName(const DeviceName &configName, const QDateTime &now);

    // Last file or folder used by the configuration (and button map) file dialogs.
    QString exportPath() const { return m_exportPath; }
    void setExportPath(const QString &path) { m_exportPath = path; }

    QLabel *statusLabelWidget() const { return m_statusLabel; }
    // The live view, the Debug tab's tools and the window-side range calibration.
    LivePanel *livePanel() const { return m_livePanel; }
    DebugConsole *debugConsole() const { return m_debugConsole; }
    AutoCalibration *autoCalibration() const { return m_autoCalibration; }
    ConfigBinder *binder() const { return m_binder; }
    SettingsTab *settingsTab() const { return m_settingsTab; }
    EffectsTab *effectsTab() const { return m_effectsTab; }
    // True while the record differs from what the base last reported as active or was last sent.
    bool hasUnappliedChanges() const;

    // The desktop session is ending: the next close asks nothing (it must not block the
    // session; unsent changes are lost as on any other shutdown).
    void prepareForSessionEnd();

    // Geometry, window state and the last file dialog path, as closing the window saves them.
    void saveWindowSettings();

    // The file dialogs of the Import and Export buttons.
    void importConfiguration();
    void exportConfiguration();

    // Opens (or raises) the Scope window of the live telemetry.
    void showScope();
    ScopeWindow *scopeWindow() const;

public Q_SLOTS:
    void on_cmdline_returnPressed();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void updateStatus();
    void onConnectedChanged(bool connected);
    void onConfigReceived();
    void onConfigRefused(const QString &reason);
    void restoreWindowSettings();
    void clearDirectInputCalibration();
    void updateCommandButtons();
    bool requireConnection();
    void applyConfiguration();
    void storeConfiguration();
    void loadStoredConfiguration();
    void revertConfiguration();
    void resetConfiguration();
    void buildDebugTools();

    uint8_t m_savedMasterGain = 0;
    QString m_exportPath;
    QLabel *m_statusLabel = nullptr;
    Ui::MainWindow *ui = nullptr;

    DeviceConfig *m_config;
    TavikComm *m_comm;
    DataPacket *m_data;
    EffectListModel *m_effects;
    LivePanel *m_livePanel = nullptr;
    DebugConsole *m_debugConsole = nullptr;
    AutoCalibration *m_autoCalibration = nullptr;
    ConfigSafety *m_safety = nullptr;

    QString m_refusedReason;
    UnsentChanges *m_unsent = nullptr;
    ConfigBinder *m_binder = nullptr;
    SettingsTab *m_settingsTab = nullptr;
    EffectsTab *m_effectsTab = nullptr;
    bool m_sessionEnding = false;
    bool m_closeConfirmed = false;
    // The link's chooser and error boxes, while the window exists.
    WidgetLinkPrompts m_linkPrompts;

    // Records from the start, so that the Scope shows the last minute when it opens.
    TelemetryRecorder *m_scopeRecorder = nullptr;
    QPointer<ScopeWindow> m_scopeWindow;
};
