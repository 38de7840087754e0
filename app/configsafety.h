#pragma once
// Keeps the base's configuration safe while the window edits it: automatic backups (the first
// configuration a base sends in a session, and before every Store, Reset and applied Import),
// the History and Compare dialogs. A failed backup is reported in the status bar and the log;
// a Store asks before it goes on without its backup.

#include "backupstore.h"
#include "baseconfig.h"
#include "configsnapshot.h"

#include <QObject>
#include <QSet>
#include <QString>

class ConfigBinder;
class DeviceConfig;
class ModifiedMarkers;
class QTabWidget;
class UndoHistory;
class QLabel;
class QMainWindow;
class QMenuBar;
class TavikComm;

class ConfigSafety : public QObject
{
    Q_OBJECT

public:
    // Object name of the question asked when a Store would go on without its backup.
    static constexpr const char *kStoreQuestionName = "tavik_backup_question";

    ConfigSafety(DeviceConfig *config, TavikComm *comm, QMainWindow *window);

    BackupStore &store() { return m_store; }
    // Adds the "Configuration" menu (History…, Compare…).
    void addMenu(QMenuBar *menuBar);
    // Adds undo and redo (the "Edit" menu), the modified markers of the bound controls and the
    // counts in the tab titles, and the "Configuration" menu.
    void install(QMenuBar *menuBar, ConfigBinder *binder, QTabWidget *tabs);
    UndoHistory *undoHistory() const { return m_undo; }
    ModifiedMarkers *markers() const { return m_markers; }

    // Backs up the base's configuration before a Store; when that fails, asks (with the reason)
    // whether to store anyway. False: do not store.
    bool backupBeforeStore();
    // Backs up before another action (Reset, an applied Import); a failure is reported and the
    // action goes on.
    void backupBefore(const QString &action);

    // The backup that would be written now, and whether one is known (a configuration arrived).
    bool hasBaseConfiguration() const { return m_haveBase; }
    const ConfigSnapshot &baseConfiguration() const { return m_base; }
    QString lastError() const { return m_lastError; }

    void openHistory();
    void openCompare();

Q_SIGNALS:
    void backupFailed(const QString &reason);
    // What the base holds changed (a configuration arrived or was sent).
    void baseConfigurationChanged();

private:
    void onConfigReceived();
    // The window's values were sent: the base now holds them.
    void configurationSent();
    // Writes the backup; empty on success, the reason otherwise.
    QString backup(const QString &action);
    QString backup(const QString &action, const ConfigSnapshot &configuration);
    void reportFailure(const QString &action, const QString &reason);
    QString serialNumber() const;

    DeviceConfig *m_config;
    TavikComm *m_comm;
    QMainWindow *m_window;
    BackupStore m_store;
    ConfigSnapshot m_base;
    bool m_haveBase = false;
    BaseConfig::ChangeOrigin m_lastOrigin = BaseConfig::ChangeOrigin::User;
    // Bases whose first configuration of this session was backed up.
    QSet<QString> m_backedUp;
    QString m_lastError;
    QLabel *m_failureLabel = nullptr;
    UndoHistory *m_undo = nullptr;
    ModifiedMarkers *m_markers = nullptr;
};
