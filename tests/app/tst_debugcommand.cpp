// The Debug tab's command line as plain text: what each line means, what is refused, the rows
// of hexadecimal, the bytes read_ww shows and the lines flash_ww writes.

#include "debugcommand.h"

#include <QtTest>

class TestDebugCommand : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parse_data();
    void parse();
    void hexRows();
    void readWwBytes_data();
    void readWwBytes();
    void flashLines();
};

void TestDebugCommand::parse_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("length");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("path");

    const int invalid = DebugCommand::Invalid;
    QTest::newRow("empty") << "" << int(DebugCommand::None) << 0 << QByteArray() << "";
    QTest::newRow("blanks") << "   " << int(DebugCommand::None) << 0 << QByteArray() << "";
    QTest::newRow("spi_rd 20") << "spi_rd 20" << int(DebugCommand::SpiRead) << 20 << QByteArray()
                               << "";
    QTest::newRow("spi_rd 0") << "spi_rd 0" << int(DebugCommand::SpiRead) << 0 << QByteArray()
                              << "";
    QTest::newRow("spi_rd 255") << "spi_rd 255" << int(DebugCommand::SpiRead) << 255 << QByteArray()
                                << "";
    QTest::newRow("spi_rd 256") << "spi_rd 256" << invalid << 0 << QByteArray() << "";
    QTest::newRow("spi_rd hex") << "spi_rd 0x10" << invalid << 0 << QByteArray() << "";
    QTest::newRow("SPI_RD") << "SPI_RD 20" << invalid << 0 << QByteArray() << "";
    QTest::newRow("spi_rd extra") << "spi_rd 20 1" << invalid << 0 << QByteArray() << "";
    QTest::newRow("spi_rdwr") << "spi_rdwr 4 a0 ff" << int(DebugCommand::SpiReadWrite) << 4
                              << QByteArray("\xa0\xff") << "";
    QTest::newRow("spi_rdwr no data")
        << "spi_rdwr 4" << int(DebugCommand::SpiReadWrite) << 4 << QByteArray() << "";
    QTest::newRow("spi_rdwr upper case")
        << "spi_rdwr 1 0A" << int(DebugCommand::SpiReadWrite) << 1 << QByteArray("\x0a") << "";
    QTest::newRow("spi_rdwr 300") << "spi_rdwr 300 a0" << invalid << 0 << QByteArray() << "";
    QTest::newRow("spi_rdwr 256 bytes")
        << ("spi_rdwr 1" + QString(" 00").repeated(256)) << invalid << 0 << QByteArray() << "";
    QTest::newRow("read_ww") << "read_ww 12" << int(DebugCommand::ReadWw) << 0 << QByteArray("$R12")
                             << "";
    QTest::newRow("flash_ww") << "flash_ww /tmp/a b.txt" << int(DebugCommand::FlashWw) << 0
                              << QByteArray() << "/tmp/a b.txt";
    QTest::newRow("flash_ww blank") << "flash_ww " << invalid << 0 << QByteArray() << "";
    QTest::newRow("spi_wr") << "spi_wr" << int(DebugCommand::SpiWr) << 0 << QByteArray() << "";
    QTest::newRow("unknown") << "reboot" << invalid << 0 << QByteArray() << "";
}

void TestDebugCommand::parse()
{
    QFETCH(QString, line);
    QFETCH(int, kind);
    QFETCH(int, length);
    QFETCH(QByteArray, data);
    QFETCH(QString, path);
    const DebugCommand c = DebugCommand::parse(line);
    QCOMPARE(int(c.kind()), kind);
    QCOMPARE(c.error().isEmpty(), kind != DebugCommand::Invalid);
    if (kind == DebugCommand::Invalid)
        return;
    QCOMPARE(c.length(), length);
    QCOMPARE(c.data(), data);
    QCOMPARE(c.path(), path);
}

void TestDebugCommand::hexRows()
{
    QByteArray bytes;
    for (int i = 0; i < 20; ++i)
        bytes.append(char(0xF0 + i));
    const QStringList rows = DebugCommand::hexRows(bytes);
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows.at(0), QStringLiteral("f0 f1 f2 f3 f4 f5 f6 f7 f8 f9 fa fb fc fd fe ff\n"));
    QCOMPARE(rows.at(1), QStringLiteral("00 01 02 03\n"));
    QVERIFY(DebugCommand::hexRows(QByteArray()).isEmpty());
}

void TestDebugCommand::readWwBytes_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("shown");
    QTest::newRow("count 2") << QByteArray("\x12\x02"
                                           "ABC")
                             << QByteArray("AB");
    QTest::newRow("count past the reply") << QByteArray("\x12\x64"
                                                        "AB")
                                          << QByteArray("AB");
    QTest::newRow("count 0") << QByteArray("\x12\x00"
                                           "AB",
        4) << QByteArray();
    QTest::newRow("negative count") << QByteArray("\x12\x80"
                                                  "AB")
                                    << QByteArray();
    QTest::newRow("type byte only") << QByteArray("\x12") << QByteArray();
    QTest::newRow("no reply") << QByteArray() << QByteArray();
}

void TestDebugCommand::readWwBytes()
{
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, shown);
    QCOMPARE(DebugCommand::readWwBytes(reply), shown);
}

void TestDebugCommand::flashLines()
{
    QString error;
    QCOMPARE(DebugCommand::flashLines("a\nbb\r\nccc", &error),
        (QList<QByteArray> {"a\n", "bb\r\n", "ccc"}));
    QVERIFY(error.isEmpty());
    QVERIFY(DebugCommand::flashLines(QByteArray(), &error).isEmpty());
    QVERIFY(error.isEmpty());
    // 255 bytes fit one write, 256 do not.
    QCOMPARE(DebugCommand::flashLines(QByteArray(254, 'x') + "\n", &error).size(), 1);
    QVERIFY(DebugCommand::flashLines("ok\n" + QByteArray(255, 'x') + "\n", &error).isEmpty());
    QVERIFY(error.contains(QStringLiteral("line 2 has 256 bytes")));
}

QTEST_APPLESS_MAIN(TestDebugCommand)
#include "tst_debugcommand.moc"
