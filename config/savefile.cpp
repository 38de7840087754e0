#include "savefile.h"

#include "configlog.h"

#include <QSaveFile>

namespace {

bool fail(QSaveFile &file, const QString &path, const char *step, QString *error)
{
    const QString reason = file.errorString();
    // Removes the temporary file; the previous file is never touched.
    file.cancelWriting();
    qCWarning(lcConfig) << "save:" << step << "failed for" << path << reason;
    if (error)
        *error = reason;
    return false;
}

} // namespace

bool saveFileAtomically(const QString &path, const QByteArray &data, QString *error)
{
    QSaveFile file(path);
    // Unbuffered: each write() reaches the file at once and reports what it wrote; a buffered
    // write would only fail inside commit(), which would not notice.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(file, path, "open", error);
    // A write may stop short (the disk fills up); the next one then reports why.
    for (qint64 done = 0; done < data.size();) {
        const qint64 written = file.write(data.constData() + done, data.size() - done);
        if (written <= 0)
            return fail(file, path, "write", error);
        done += written;
    }
    if (!file.flush() || file.error() != QFileDevice::NoError)
        return fail(file, path, "flush", error);
    if (!file.commit()) {
        qCWarning(lcConfig) << "save: commit failed for" << path << file.errorString();
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}
