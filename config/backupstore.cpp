#include "backupstore.h"

#include "configlog.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

namespace {

constexpr const char *kTimeFormat = "yyyy-MM-dd_hhmmss";
constexpr int kMaxFolderNameLength = 64;
// Names of files we may write, so no other file is ever taken for one of ours.
const QRegularExpression &backupName()
{
    static const QRegularExpression re(
        QStringLiteral("^(\\d{4}-\\d{2}-\\d{2}_\\d{6})(?:_(\\d{1,4}))?\\.tavconf$"));
    return re;
}

QString fileName(const QDateTime &time, int sequence)
{
    const QString stamp = time.toString(QLatin1String(kTimeFormat));
    if (sequence <= 1)
        return stamp + QStringLiteral(".tavconf");
    return QStringLiteral("%1_%2.tavconf").arg(stamp).arg(sequence);
}

bool newerFirst(const BackupStore::Entry &a, const BackupStore::Entry &b)
{
    if (a.time != b.time)
        return a.time > b.time;
    return a.sequence > b.sequence;
}

} // namespace

BackupStore::BackupStore(const QString &root)
    : m_root(root.isEmpty() ? defaultRoot() : root)
{
}

QString BackupStore::defaultRoot()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
        + QStringLiteral("/backups");
}

QString BackupStore::folderName(const QString &serialNumber)
{
    if (serialNumber.isEmpty())
        return QStringLiteral("no-serial-number");
    QString name = serialNumber.left(kMaxFolderNameLength);
    for (QChar &c : name) {
        const ushort u = c.unicode();
        const bool plain = (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z')
            || (u >= 'a' && u <= 'z') || u == '-' || u == '_' || u == '.';
        if (!plain)
            c = QLatin1Char('_');
    }
    // "." and ".." (or any name of dots only) would name another folder.
    if (name.count(QLatin1Char('.')) == name.size())
        name.prepend(QLatin1Char('_'));
    return name;
}

const BackupStore::Cached &BackupStore::read(const QFileInfo &info) const
{
    const QString path = info.absoluteFilePath();
    auto it = m_cache.find(path);
    if (it != m_cache.end() && it->size == info.size() && it->modified == info.lastModified())
        return *it;
    Cached cached;
    cached.size = info.size();
    cached.modified = info.lastModified();
    const ConfigFileResult r = ConfigSnapshot::fromFile(path, &cached.snapshot);
    if (!r)
        cached.problem = QStringLiteral("cannot be read (%1)").arg(r.error);
    else if (!cached.snapshot.isComplete())
        cached.problem = QStringLiteral("holds only %1 of %2 parameters")
                             .arg(cached.snapshot.count())
                             .arg(kConfigParameterCount);
    return *m_cache.insert(path, std::move(cached));
}

QString BackupStore::folder(const QString &serialNumber) const
{
    return m_root + QLatin1Char('/') + folderName(serialNumber);
}

QVector<BackupStore::Entry> BackupStore::list(
    const QString &serialNumber, QStringList *problems) const
{
    QVector<Entry> entries;
    const QDir dir(folder(serialNumber));
    if (!dir.exists())
        return entries;
    auto report = [problems](const QString &line) {
        qCWarning(lcConfig).noquote() << "backups:" << line;
        if (problems)
            problems->append(line);
    };
    const QFileInfoList files = dir.entryInfoList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QFileInfo &info : files) {
        const QRegularExpressionMatch m = backupName().match(info.fileName());
        if (!m.hasMatch()) {
            report(QStringLiteral("%1 is not a backup; skipped").arg(info.fileName()));
            continue;
        }
        Entry entry;
        entry.path = info.absoluteFilePath();
        entry.time = QDateTime::fromString(m.captured(1), QLatin1String(kTimeFormat));
        entry.sequence = m.captured(2).isEmpty() ? 1 : m.captured(2).toInt();
        if (!entry.time.isValid()) {
            report(QStringLiteral("%1 is not a backup; skipped").arg(info.fileName()));
            continue;
        }
        const Cached &cached = read(info);
        if (!cached.problem.isEmpty()) {
            report(QStringLiteral("%1 %2; skipped").arg(info.fileName(), cached.problem));
            continue;
        }
        if (cached.snapshot.serialNumber != serialNumber) {
            report(QStringLiteral("%1 belongs to the base with serial number \"%2\"; skipped")
                       .arg(info.fileName(), cached.snapshot.serialNumber));
            continue;
        }
        entry.snapshot = cached.snapshot;
        entries.append(std::move(entry));
    }
    std::sort(entries.begin(), entries.end(), newerFirst);
    return entries;
}

BackupStore::Result BackupStore::write(
    const ConfigSnapshot &config, const QString &serialNumber, const QDateTime &now)
{
    Result result;
    if (!config.isComplete()) {
        result.error = QStringLiteral("the configuration is incomplete");
        return result;
    }
    const QString dirPath = folder(serialNumber);
    if (!QDir().mkpath(dirPath)) {
        result.error = QStringLiteral("cannot create the folder %1").arg(dirPath);
        qCWarning(lcConfig).noquote() << "backup failed:" << result.error;
        return result;
    }

    const QVector<Entry> existing = list(serialNumber);
    if (!existing.isEmpty() && existing.first().snapshot == config) {
        result.status = Result::Unchanged;
        result.path = existing.first().path;
        qCDebug(lcConfig).noquote() << "backup unchanged:" << result.path;
        return result;
    }

    // A clock set back must not give a name that sorts before the newest backup.
    QDateTime stamp = now;
    if (!existing.isEmpty() && existing.first().time > stamp)
        stamp = existing.first().time;
    stamp.setTime(QTime(stamp.time().hour(), stamp.time().minute(), stamp.time().second()));
    int sequence = 1;
    if (!existing.isEmpty() && existing.first().time == stamp)
        sequence = existing.first().sequence + 1;
    QString path = dirPath + QLatin1Char('/') + fileName(stamp, sequence);
    // Never replace a file, ours or not.
    while (QFileInfo::exists(path) && sequence < 9999)
        path = dirPath + QLatin1Char('/') + fileName(stamp, ++sequence);

    const std::string text = config.toDocument(serialNumber, stamp);
    QSaveFile file(path);
    auto fail = [&](const QString &what) {
        result.error = QStringLiteral("%1 %2: %3").arg(what, path, file.errorString());
        file.cancelWriting();
        qCWarning(lcConfig).noquote() << "backup failed:" << result.error;
        return result;
    };
    if (!file.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("cannot create"));
    if (file.write(text.data(), qint64(text.size())) != qint64(text.size()))
        return fail(QStringLiteral("cannot write"));
    // commit() renames even after a failed buffered write; the flush shows such a failure.
    if (!file.flush())
        return fail(QStringLiteral("cannot write"));
    if (!file.commit()) {
        result.error = QStringLiteral("cannot save %1: %2").arg(path, file.errorString());
        qCWarning(lcConfig).noquote() << "backup failed:" << result.error;
        return result;
    }
    result.status = Result::Written;
    result.path = path;
    qCInfo(lcConfig).noquote() << "backup written:" << path;

    // Keep the newest ones (the new file and the newest existing ones); only files that are
    // this base's backups are ever removed.
    for (int i = kKeepPerBase - 1; i < existing.size(); ++i) {
        if (!QFile::remove(existing.at(i).path))
            qCWarning(lcConfig).noquote()
                << "backups: cannot remove old backup" << existing.at(i).path;
        m_cache.remove(existing.at(i).path);
    }
    return result;
}
