#pragma once
// Automatic backups of a base's configuration: ordinary .tavconf files (importable anywhere)
// under the user's data directory, one folder per base serial number, named by the local date
// and time ("2026-12-11_141500.tavconf", "..._2.tavconf" for a second one in the same second).
// A backup identical to the newest one is not written again; the newest kKeepPerBase of a base
// are kept. Files in a folder that are not backups of that base (another serial number, not a
// configuration, unreadable) are reported and left alone: nothing here deletes a file it did
// not write.

#include "configsnapshot.h"

#include <QDateTime>
#include <QFileInfo>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

class BackupStore
{
public:
    static constexpr int kKeepPerBase = 100;

    // root: the folder holding one folder per base; empty for defaultRoot().
    explicit BackupStore(const QString &root = QString());

    // "<AppDataLocation>/backups".
    static QString defaultRoot();
    QString root() const { return m_root; }
    // The folder of a base: its serial number with anything but letters, digits, '-', '_' and
    // '.' replaced (a serial number comes from the device), "no-serial-number" when empty.
    static QString folderName(const QString &serialNumber);
    QString folder(const QString &serialNumber) const;

    struct Entry
    {
        QString path;
        QDateTime time; // from the file name, local time
        int sequence = 1; // 2, 3, ... for further backups within the same second
        ConfigSnapshot snapshot;
    };

    struct Result
    {
        enum Status { Written, Unchanged, Failed };
        Status status = Failed;
        QString path; // the new file (Written) or the newest one (Unchanged)
        QString error; // why it failed
        explicit operator bool() const { return status != Failed; }
    };

    // Writes a whole configuration as the newest backup of the base, unless the newest one
    // holds the same values. Atomic: a failed write leaves no partial file behind. Then removes
    // the oldest backups beyond kKeepPerBase.
    Result write(const ConfigSnapshot &config, const QString &serialNumber,
        const QDateTime &now = QDateTime::currentDateTime());

    // The base's backups, newest first. Every file skipped adds a line to problems.
    QVector<Entry> list(const QString &serialNumber, QStringList *problems = nullptr) const;

private:
    // What was read from a file, kept while its size and time stamp stay the same: a folder of
    // a hundred backups is parsed once, not on every backup.
    struct Cached
    {
        qint64 size = -1;
        QDateTime modified;
        QString problem; // empty when the file is a usable backup
        ConfigSnapshot snapshot;
    };
    const Cached &read(const QFileInfo &info) const;

    QString m_root;
    mutable QHash<QString, Cached> m_cache;
};
