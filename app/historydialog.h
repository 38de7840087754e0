#pragma once
// The backups of the connected base, newest first: date, configuration name and how many
// parameters differ from the window's current values. Choosing one shows the differences;
// "Restore" loads it into the window (through the setters, as a user's edits), sending nothing.

#include "backupstore.h"

#include <QDialog>
#include <QVector>

class DeviceConfig;
class DifferenceTable;
class QLabel;
class QPushButton;
class QTimer;
class QTreeWidget;

class HistoryDialog : public QDialog
{
    Q_OBJECT

public:
    HistoryDialog(BackupStore *store, const QString &serialNumber, DeviceConfig *config,
        QWidget *parent = nullptr);

    int backupCount() const { return m_entries.size(); }
    // Selects the backup in row (0 = newest).
    void selectBackup(int row);
    // Loads the selected backup into the window; false when none is selected.
    bool restoreSelected();

Q_SIGNALS:
    // A backup was loaded into the window.
    void restored(const QString &path, const QDateTime &time);

private:
    void reload();
    void refresh();
    void showSelected();

    BackupStore *m_store;
    QString m_serialNumber;
    DeviceConfig *m_config;
    QVector<BackupStore::Entry> m_entries;

    QTreeWidget *m_list = nullptr;
    DifferenceTable *m_differences = nullptr;
    QLabel *m_problems = nullptr;
    QPushButton *m_restore = nullptr;
    QTimer *m_refresh = nullptr;
};
