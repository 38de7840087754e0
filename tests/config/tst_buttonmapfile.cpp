// The .tavmap button map file: the text written, the round trip through a real file, every
// import case as a row (all or nothing, checked ranges and types), and failures reported.

#include "buttonmapfile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// "5:12:t:f" per entry, joined by ';'; '-' for a flag the file leaves out.
QString describe(const QVector<ButtonMapEntry> &entries)
{
    QStringList parts;
    auto flag = [](const std::optional<bool> &f) {
        return f ? QString(*f ? QLatin1Char('t') : QLatin1Char('f')) : QStringLiteral("-");
    };
    for (const ButtonMapEntry &e : entries)
        parts << QStringLiteral("%1:%2:%3:%4")
                     .arg(e.logical)
                     .arg(e.physical)
                     .arg(flag(e.inverted), flag(e.toggle));
    return parts.join(QLatin1Char(';'));
}

bool writeText(const QString &path, const QByteArray &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

QByteArray readText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestButtonMapFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void textOfTheFile();
    void roundTrip();
    void importCases_data();
    void importCases();
    void unreadableFiles_data();
    void unreadableFiles();
    void failedExportIsReported();
};

void TestButtonMapFile::textOfTheFile()
{
    QVector<ButtonMapEntry> entries {{1, 7, true, false}, {48, 191, false, true}, {2, 0, {}, {}}};
    QCOMPARE(QByteArray::fromStdString(buttonMapToJson(entries)),
        QByteArray("[\n    [\n        1,\n        7,\n        true,\n        false\n    ],\n"
                   "    [\n        48,\n        191,\n        false,\n        true\n    ],\n"
                   "    [\n        2,\n        0,\n        false,\n        false\n    ]\n]\n"));
    QCOMPARE(QByteArray::fromStdString(buttonMapToJson({})), QByteArray("null\n"));
}

void TestButtonMapFile::roundTrip()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVector<ButtonMapEntry> entries;
    for (int n = 1; n <= 48; ++n)
        entries.append({n, (n * 37) % 256, n % 3 == 0, n % 5 == 0});
    entries[0].physical = 0;
    entries[1].physical = 255;
    entries[2].physical = 128;
    const QString path = dir.filePath(QStringLiteral("map.tavmap"));
    QVERIFY(writeButtonMapFile(path, entries));
    QVector<ButtonMapEntry> read;
    const ConfigFileResult result = readButtonMapFile(path, &read);
    QVERIFY2(result, qPrintable(result.error));
    QCOMPARE(describe(read), describe(entries));
    QCOMPARE(read, entries);
    // Writing again replaces the file whole.
    entries.resize(1);
    QVERIFY(writeButtonMapFile(path, entries));
    QVERIFY(readButtonMapFile(path, &read));
    QCOMPARE(read, entries);
}

void TestButtonMapFile::importCases_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QString>("entries"); // empty when the import fails
    QTest::addColumn<QString>("error"); // part of the error; empty when it succeeds

    QTest::newRow("one entry") << QByteArray("[[5, 12, true, false]]") << "5:12:t:f"
                               << "";
    QTest::newRow("without flags") << QByteArray("[[5, 12]]") << "5:12:-:-"
                                   << "";
    QTest::newRow("one flag") << QByteArray("[[5, 12, true]]") << "5:12:t:-"
                              << "";
    QTest::newRow("extra elements") << QByteArray("[[5, 12, false, true, 9]]") << "5:12:f:t"
                                    << "";
    QTest::newRow("object in key order")
        << QByteArray(R"({"b": [6, 3, false, true], "a": [5, 12]})") << "5:12:-:-;6:3:f:t"
        << "";
    QTest::newRow("null") << QByteArray("null") << ""
                          << "";
    QTest::newRow("empty list") << QByteArray(" [ ] \n") << ""
                                << "";
    QTest::newRow("hat code") << QByteArray("[[48, 191, false, false]]") << "48:191:f:f"
                              << "";
    QTest::newRow("physical 0") << QByteArray("[[1, 0]]") << "1:0:-:-"
                                << "";
    QTest::newRow("physical 255") << QByteArray("[[1, 255]]") << "1:255:-:-"
                                  << "";
    QTest::newRow("same logical twice, last wins")
        << QByteArray("[[5, 1], [5, 2]]") << "5:1:-:-;5:2:-:-"
        << "";

    QTest::newRow("numbers as flags") << QByteArray("[[5, 12, 1, 0]]") << ""
                                      << "entry 1: inverted is 1, not true or false";
    QTest::newRow("string as toggle") << QByteArray(R"([[5, 12, true, "no"]])") << ""
                                      << "toggle is \"no\"";
    QTest::newRow("logical 0") << QByteArray("[[0, 1]]") << ""
                               << "entry 1: the logical button 0 is not a number from 1 to 48";
    QTest::newRow("logical 49") << QByteArray("[[49, 1]]") << ""
                                << "logical button 49";
    QTest::newRow("logical negative") << QByteArray("[[-1, 1]]") << ""
                                      << "logical button -1";
    QTest::newRow("logical fraction") << QByteArray("[[5.5, 1]]") << ""
                                      << "logical button 5.5";
    QTest::newRow("logical boolean") << QByteArray("[[true, 1]]") << ""
                                     << "logical button true";
    QTest::newRow("physical 256") << QByteArray("[[5, 256]]") << ""
                                  << "the physical button 256 is not a number from 0 to 255";
    QTest::newRow("physical negative") << QByteArray("[[5, -1]]") << ""
                                       << "physical button -1";
    QTest::newRow("physical huge") << QByteArray("[[5, 18446744073709551615]]") << ""
                                   << "physical button 18446744073709551615";
    QTest::newRow("physical string") << QByteArray(R"([[5, "12"]])") << ""
                                     << "physical button";
    QTest::newRow("bad entry after good ones") << QByteArray("[[1, 2], [2, 3], [3, 300]]") << ""
                                               << "entry 3:";
    QTest::newRow("entry without physical") << QByteArray("[[5]]") << ""
                                            << "not a button map: entry 1 has no physical button";
    QTest::newRow("flat entry") << QByteArray("[5, 12, true, false]") << ""
                                << "not a button map: entry 1 is a number";
    QTest::newRow("object member not an entry") << QByteArray(R"({"a": [5, 12], "b": "x"})") << ""
                                                << "entry \"b\" is a string";
    QTest::newRow("configuration file")
        << QByteArray(R"({"config": {"master_gain": 10}, "software_ver": "v1.0.16"})") << ""
        << "not a button map: entry \"config\" is a object";
    QTest::newRow("number") << QByteArray("5") << ""
                            << "not a button map: the file holds a number";
    QTest::newRow("string") << QByteArray("\"map\"") << ""
                            << "the file holds a string";
    QTest::newRow("not JSON") << QByteArray("[[5, 12") << ""
                              << "not a button map (not valid JSON";
    QTest::newRow("empty file") << QByteArray() << ""
                                << "not valid JSON";
    QTest::newRow("trailing text") << QByteArray("[[5, 12]] x") << ""
                                   << "not valid JSON";
}

void TestButtonMapFile::importCases()
{
    QFETCH(QByteArray, document);
    QFETCH(QString, entries);
    QFETCH(QString, error);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("case.tavmap"));
    QVERIFY(writeText(path, document));

    QVector<ButtonMapEntry> read {{1, 1, {}, {}}};
    const ConfigFileResult result = readButtonMapFile(path, &read);
    QCOMPARE(bool(result), error.isEmpty());
    QVERIFY2(result.error.contains(error), qPrintable(result.error));
    QCOMPARE(describe(read), entries);
    if (!result)
        QVERIFY(read.isEmpty());
}

void TestButtonMapFile::unreadableFiles_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("error");
    QTest::newRow("missing") << "missing.tavmap"
                             << "cannot read";
    QTest::newRow("directory") << "."
                               << "cannot read";
    QTest::newRow("too large") << "large.tavmap"
                               << "not a button map: the file is too large";
    QTest::newRow("endless device") << "/dev/zero"
                                    << "too large";
}

void TestButtonMapFile::unreadableFiles()
{
    QFETCH(QString, path);
    QFETCH(QString, error);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeText(
        dir.filePath(QStringLiteral("large.tavmap")), "[" + QByteArray(1024 * 1024, ' ') + "]"));
    QVector<ButtonMapEntry> read {{1, 1, {}, {}}};
    const ConfigFileResult result
        = readButtonMapFile(path.startsWith(QLatin1Char('/')) ? path : dir.filePath(path), &read);
    QVERIFY(!result);
    QVERIFY2(result.error.contains(error), qPrintable(result.error));
    QVERIFY(read.isEmpty());
}

void TestButtonMapFile::failedExportIsReported()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QVector<ButtonMapEntry> entries {{1, 2, true, true}};
    // No such folder.
    const QString missing = dir.filePath(QStringLiteral("nowhere/map.tavmap"));
    ConfigFileResult result = writeButtonMapFile(missing, entries);
    QVERIFY(!result);
    QVERIFY2(result.error.startsWith(QStringLiteral("cannot write")), qPrintable(result.error));
    QVERIFY(!QFileInfo::exists(missing));
    // A folder in the way stays as it was.
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("taken.tavmap")));
    result = writeButtonMapFile(dir.filePath(QStringLiteral("taken.tavmap")), entries);
    QVERIFY(!result);
    QVERIFY(QFileInfo(dir.filePath(QStringLiteral("taken.tavmap"))).isDir());
    // The failures left no temporary files behind; a good export then writes the whole text.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());
    const QString good = dir.filePath(QStringLiteral("good.tavmap"));
    QVERIFY(writeButtonMapFile(good, entries));
    QCOMPARE(readText(good), QByteArray::fromStdString(buttonMapToJson(entries)));
}

QTEST_MAIN(TestButtonMapFile)
#include "tst_buttonmapfile.moc"
