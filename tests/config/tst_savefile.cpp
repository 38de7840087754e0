// Atomic saving under a failed write: the file size limit makes the real write fail as a full
// disk would, after QSaveFile has buffered the data.

#include "configfile.h"
#include "deviceconfig.h"
#include "filesizelimit.h"
#include "savefile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writePlain(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

constexpr rlim_t kLimit = 4096;
const QByteArray kPrevious = QByteArrayLiteral("previous contents\n");

} // namespace

class TestSaveFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void savesAndReplaces();
    void failedWriteKeepsPrevious_data();
    void failedWriteKeepsPrevious();
    void failedExportKeepsPrevious();
};

void TestSaveFile::savesAndReplaces()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.bin"));
    QString error = QStringLiteral("untouched");
    QVERIFY(saveFileAtomically(path, QByteArray(100000, 'x'), &error));
    QCOMPARE(readAll(path), QByteArray(100000, 'x'));
    QVERIFY(saveFileAtomically(path, QByteArrayLiteral("short"), &error));
    QCOMPARE(readAll(path), QByteArrayLiteral("short"));
    QVERIFY(saveFileAtomically(path, QByteArray()));
    QCOMPARE(QFileInfo(path).size(), 0);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList {"a.bin"});

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("save: open failed"));
    QVERIFY(!saveFileAtomically(dir.filePath(QStringLiteral("no/dir/a.bin")), "x", &error));
    QVERIFY(!error.isEmpty());
}

void TestSaveFile::failedWriteKeepsPrevious_data()
{
    QTest::addColumn<bool>("previousExists");
    QTest::addColumn<int>("size");
    // Just past the limit (the whole text sits in QSaveFile's buffer until the flush), and far
    // past it (write() already goes to the file and fails part way).
    QTest::newRow("replace, just past") << true << int(kLimit + 1);
    QTest::newRow("replace, far past") << true << int(kLimit * 64);
    QTest::newRow("new file, just past") << false << int(kLimit + 1);
    QTest::newRow("new file, far past") << false << int(kLimit * 64);
}

void TestSaveFile::failedWriteKeepsPrevious()
{
    QFETCH(bool, previousExists);
    QFETCH(int, size);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.bin"));
    if (previousExists)
        QVERIFY(writePlain(path, kPrevious));

    QString error;
    bool saved = true;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("save: (write|flush) failed"));
    {
        FileSizeLimit limit(kLimit);
        QVERIFY(limit.isActive());
        saved = saveFileAtomically(path, QByteArray(size, 'n'), &error);
    }
    QVERIFY(!saved);
    QVERIFY2(error.contains(QStringLiteral("too large"), Qt::CaseInsensitive), qPrintable(error));
    if (previousExists)
        QCOMPARE(readAll(path), kPrevious);
    else
        QVERIFY(!QFile::exists(path));
    // No temporary file is left behind.
    const QStringList expected = previousExists ? QStringList {"a.bin"} : QStringList {};
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), expected);

    // With the limit gone the same save succeeds.
    QVERIFY(saveFileAtomically(path, QByteArray(size, 'n')));
    QCOMPARE(readAll(path), QByteArray(size, 'n'));
}

void TestSaveFile::failedExportKeepsPrevious()
{
    registerConfigMetaTypes();
    DeviceConfig config;
    config.set_master_gain(1);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("keep.tavconf"));
    QVERIFY(writePlain(path, kPrevious));

    ConfigFileResult result;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("save: (write|flush) failed"));
    {
        // Every export is several kilobytes long.
        FileSizeLimit limit(1000);
        QVERIFY(limit.isActive());
        result = exportConfig(config, path);
    }
    QVERIFY(!result.ok);
    QVERIFY2(
        result.error.startsWith(QStringLiteral("Cannot write ") + path), qPrintable(result.error));
    QCOMPARE(readAll(path), kPrevious);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList {"keep.tavconf"});
}

QTEST_GUILESS_MAIN(TestSaveFile)
#include "tst_savefile.moc"
