#pragma once
// Compares the window's configuration with a .tavconf file or a backup of the connected base:
// every parameter that differs (the file's unnamed ones are no difference), a tick box per row,
// and "Take ticked values", which writes just those values into the window through the setters.

#include "backupstore.h"

#include <QDialog>
#include <QVector>

class DeviceConfig;
class DifferenceTable;
class QComboBox;
class QLabel;
class QPushButton;
class QTimer;

class CompareDialog : public QDialog
{
    Q_OBJECT

public:
    CompareDialog(BackupStore *store, const QString &serialNumber, DeviceConfig *config,
        QWidget *parent = nullptr);

    // The folder the "File…" dialog starts in.
    void setStartFolder(const QString &folder) { m_startFolder = folder; }
    QString startFolder() const { return m_startFolder; }

    // Compares with a file; false (and the reason shown) when it cannot be read.
    bool compareWithFile(const QString &path);
    // Compares with a backup of the base (0 = newest); false when there is no such backup.
    bool compareWithBackup(int index);
    int backupCount() const { return m_backups.size(); }
    QString error() const { return m_error; }

    DifferenceTable *table() const { return m_table; }
    // Writes the ticked values into the window; returns how many.
    int takeTicked();

Q_SIGNALS:
    void valuesTaken(int count);

private:
    void chooseFile();
    void refresh();
    void showSource(const QString &text);

    BackupStore *m_store;
    DeviceConfig *m_config;
    QVector<BackupStore::Entry> m_backups;
    ConfigSnapshot m_there;
    bool m_haveThere = false;
    QString m_error;
    QString m_startFolder;

    QComboBox *m_source = nullptr;
    QLabel *m_sourceLabel = nullptr;
    DifferenceTable *m_table = nullptr;
    QPushButton *m_take = nullptr;
    QTimer *m_refresh = nullptr;
};
