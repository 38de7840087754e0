#pragma once
// Reads and writes fields of a raw 463-byte configuration image by parameter name, through
// the parameter table of config/, so the simulated firmware needs no layout of its own.

#include <QByteArray>

#include <cstdint>

namespace ImageFields {

// Integer value of a flag, 8/16-bit or mask field (0 for an unknown name or a short image).
qint64 read(const QByteArray &image, const char *name);
// Stores an integer into a flag, 8/16-bit or mask field; false for an unknown name, a
// non-integer field or a short image.
bool write(QByteArray &image, const char *name, qint64 value);
// Raw bytes of a field (curves, names, the button map); empty when unknown.
QByteArray bytes(const QByteArray &image, const char *name);
bool writeBytes(QByteArray &image, const char *name, const QByteArray &value);

// The simulated firmware's default configuration, written into an image whose byte 0 is
// already the version.
void setDefaults(QByteArray &image);

QByteArray buttonMapping(const QByteArray &image);
quint64 buttonInvMask(const QByteArray &image);

} // namespace ImageFields
