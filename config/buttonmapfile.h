#pragma once
// The .tavmap button map file: a JSON array of [logical, physical, inverted, toggle] entries,
// one per tile of the Button Mapping tab. It holds what the tiles show, not the record; the
// tab applies what was read to its tiles.

#include "configfile.h"

#include <QByteArray>
#include <QString>
#include <QVector>

#include <optional>
#include <string>

// One binding: logical button 1..48 is fed by physical button 0..255 (hat codes included).
struct ButtonMapEntry
{
    static constexpr int kMinLogical = 1;
    static constexpr int kMaxLogical = 48;
    static constexpr int kMaxPhysical = 255;

    int logical = 0;
    int physical = 0;
    // Absent in the file: the tile's box stays as it is.
    std::optional<bool> inverted;
    std::optional<bool> toggle;
};

bool operator==(const ButtonMapEntry &a, const ButtonMapEntry &b);
inline bool operator!=(const ButtonMapEntry &a, const ButtonMapEntry &b)
{
    return !(a == b);
}

// Pretty-printed with an indent of 4 and one trailing newline; no entries give "null". Absent
// flags are written as false.
std::string buttonMapToJson(const QVector<ButtonMapEntry> &entries);

// Writes the file atomically: an existing file is replaced only when the whole text was
// written and flushed. Every failure is reported.
ConfigFileResult writeButtonMapFile(const QString &path, const QVector<ButtonMapEntry> &entries);

// Reads and checks a whole file. All or nothing: on any error entries is left empty and the
// error says why; a document that is not a button map is reported as such. The document is an
// array of entries (or an object whose member values are entries, in key order); null is an
// empty map. An entry is an array whose element 0 is an integer 1..48, element 1 an integer
// 0..255, and elements 2 and 3, when present, booleans; further elements are ignored.
ConfigFileResult readButtonMapFile(const QString &path, QVector<ButtonMapEntry> *entries);
// The same for a document already in memory.
ConfigFileResult parseButtonMap(const QByteArray &document, QVector<ButtonMapEntry> *entries);
