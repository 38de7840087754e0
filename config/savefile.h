#pragma once
// Atomic saving of a user's file. QSaveFile::write() only fills a buffer, and on Qt 5.15
// commit() renames the temporary file even when writing the buffer out failed (full disk, file
// size limit), so a failed save would replace the previous file with a cut-off one and report
// success. saveFileAtomically() writes, flushes and checks every step before it renames.

#include <QByteArray>
#include <QString>

// Replaces the file at path with data, or leaves the previous file (or its absence) exactly as
// it was. Returns true on success; otherwise false, with the reason in *error when given.
bool saveFileAtomically(const QString &path, const QByteArray &data, QString *error = nullptr);
