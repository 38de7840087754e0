#include "buttonmapfile.h"

#include "configlog.h"

#include <QFile>
#include <QSaveFile>

#include <nlohmann/json.hpp>

using nlohmann::json;

namespace {

// A button map of 48 entries is a few kilobytes; anything far larger is not one.
constexpr qint64 kMaxFileSize = 1024 * 1024;

const QString kNotAButtonMap = QStringLiteral("not a button map");

QString typeName(const json &j)
{
    return QString::fromLatin1(j.type_name());
}

// An integer element within lo..hi (booleans and fractions are not integers here).
bool readInteger(const json &j, int lo, int hi, int *out)
{
    if (j.is_number_unsigned()) {
        const uint64_t v = j.get<uint64_t>();
        if (v > uint64_t(hi) || int64_t(v) < lo)
            return false;
        *out = int(v);
        return true;
    }
    if (j.is_number_integer()) {
        const int64_t v = j.get<int64_t>();
        if (v < lo || v > hi)
            return false;
        *out = int(v);
        return true;
    }
    return false;
}

QString describe(const json &j)
{
    return QString::fromStdString(j.dump());
}

// Checks one entry; where names it in messages ("entry 3", "entry \"a\"").
bool readEntry(const json &j, const QString &where, ButtonMapEntry *entry, QString *error)
{
    if (!j.is_array()) {
        *error = QStringLiteral("%1: %2 is a %3, not [logical, physical, inverted, toggle]")
                     .arg(kNotAButtonMap, where, typeName(j));
        return false;
    }
    if (j.size() < 2) {
        *error = QStringLiteral("%1: %2 has no physical button").arg(kNotAButtonMap, where);
        return false;
    }
    if (!readInteger(
            j[0], ButtonMapEntry::kMinLogical, ButtonMapEntry::kMaxLogical, &entry->logical)) {
        *error = QStringLiteral("%1: the logical button %2 is not a number from %3 to %4")
                     .arg(where, describe(j[0]))
                     .arg(ButtonMapEntry::kMinLogical)
                     .arg(ButtonMapEntry::kMaxLogical);
        return false;
    }
    if (!readInteger(j[1], 0, ButtonMapEntry::kMaxPhysical, &entry->physical)) {
        *error = QStringLiteral("%1: the physical button %2 is not a number from 0 to %3")
                     .arg(where, describe(j[1]))
                     .arg(ButtonMapEntry::kMaxPhysical);
        return false;
    }
    const char *const flagNames[] = {"inverted", "toggle"};
    std::optional<bool> *flags[] = {&entry->inverted, &entry->toggle};
    for (size_t i = 0; i < 2; ++i) {
        if (j.size() <= 2 + i)
            break;
        const json &flag = j[2 + i];
        if (!flag.is_boolean()) {
            *error = QStringLiteral("%1: %2 is %3, not true or false")
                         .arg(where, QLatin1String(flagNames[i]), describe(flag));
            return false;
        }
        *flags[i] = flag.get<bool>();
    }
    return true;
}

} // namespace

bool operator==(const ButtonMapEntry &a, const ButtonMapEntry &b)
{
    return a.logical == b.logical && a.physical == b.physical && a.inverted == b.inverted
        && a.toggle == b.toggle;
}

std::string buttonMapToJson(const QVector<ButtonMapEntry> &entries)
{
    json doc; // null
    for (const ButtonMapEntry &e : entries)
        doc.push_back(json::array(
            {e.logical, e.physical, e.inverted.value_or(false), e.toggle.value_or(false)}));
    return doc.dump(4) + '\n';
}

ConfigFileResult writeButtonMapFile(const QString &path, const QVector<ButtonMapEntry> &entries)
{
    const std::string text = buttonMapToJson(entries);
    QSaveFile file(path);
    auto fail = [&](const char *step) {
        const QString reason = file.errorString();
        qCWarning(lcConfig) << "button map export:" << step << "failed" << path << reason;
        file.cancelWriting();
        return ConfigFileResult::failure(QStringLiteral("cannot write %1: %2").arg(path, reason));
    };
    if (!file.open(QIODevice::WriteOnly))
        return fail("open");
    if (file.write(text.data(), qint64(text.size())) != qint64(text.size()))
        return fail("write");
    // commit() renames even after a failed buffered write; flush first and look.
    if (!file.flush())
        return fail("flush");
    if (!file.commit()) {
        const QString reason = file.errorString();
        qCWarning(lcConfig) << "button map export: commit failed" << path << reason;
        return ConfigFileResult::failure(QStringLiteral("cannot write %1: %2").arg(path, reason));
    }
    qCInfo(lcConfig) << "exported button map to" << path;
    return ConfigFileResult::success();
}

ConfigFileResult parseButtonMap(const QByteArray &document, QVector<ButtonMapEntry> *entries)
{
    entries->clear();
    json doc;
    try {
        doc = json::parse(document.constBegin(), document.constEnd());
    } catch (const json::exception &e) {
        return ConfigFileResult::failure(QStringLiteral("%1 (not valid JSON: %2)")
                                             .arg(kNotAButtonMap, QString::fromUtf8(e.what())));
    }
    if (doc.is_null())
        return ConfigFileResult::success();
    if (!doc.is_array() && !doc.is_object()) {
        return ConfigFileResult::failure(
            QStringLiteral("%1: the file holds a %2, not a list of bindings")
                .arg(kNotAButtonMap, typeName(doc)));
    }

    QVector<ButtonMapEntry> read;
    QString error;
    int index = 0;
    for (auto it = doc.begin(); it != doc.end(); ++it) {
        ++index;
        const QString where = doc.is_object()
            ? QStringLiteral("entry \"%1\"").arg(QString::fromStdString(it.key()))
            : QStringLiteral("entry %1").arg(index);
        ButtonMapEntry entry;
        if (!readEntry(*it, where, &entry, &error))
            return ConfigFileResult::failure(error);
        read.append(entry);
    }
    *entries = read;
    return ConfigFileResult::success();
}

ConfigFileResult readButtonMapFile(const QString &path, QVector<ButtonMapEntry> *entries)
{
    entries->clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return ConfigFileResult::failure(
            QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
    }
    // Read one byte more than allowed rather than trust size(), which is 0 for devices.
    const QByteArray document = file.read(kMaxFileSize + 1);
    if (file.error() != QFileDevice::NoError) {
        return ConfigFileResult::failure(
            QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
    }
    if (document.size() > kMaxFileSize)
        return ConfigFileResult::failure(
            QStringLiteral("%1: the file is too large").arg(kNotAButtonMap));
    return parseButtonMap(document, entries);
}
