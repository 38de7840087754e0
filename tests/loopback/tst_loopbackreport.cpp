// The report builder and the base filter as plain functions.
#include "loopbackreport.h"

#include <SDL.h>

#include <QtTest>

class TestLoopbackReport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void startsNeutral();
    void directionCodes_data();
    void directionCodes();
    void hatNibbles();
    void buttonsLittleEndian();
    void baseFilter_data();
    void baseFilter();
    void label();
};

void TestLoopbackReport::startsNeutral()
{
    LoopbackReport report;
    QCOMPARE(toHex(report.bytes()), QStringLiteral("40 00 00 00 00 00 00 00 00 FF FF"));
}

void TestLoopbackReport::directionCodes_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("code");
    QTest::newRow("up") << int(SDL_HAT_UP) << 0;
    QTest::newRow("up-right") << int(SDL_HAT_RIGHTUP) << 1;
    QTest::newRow("right") << int(SDL_HAT_RIGHT) << 2;
    QTest::newRow("down-right") << int(SDL_HAT_RIGHTDOWN) << 3;
    QTest::newRow("down") << int(SDL_HAT_DOWN) << 4;
    QTest::newRow("down-left") << int(SDL_HAT_LEFTDOWN) << 5;
    QTest::newRow("left") << int(SDL_HAT_LEFT) << 6;
    QTest::newRow("up-left") << int(SDL_HAT_LEFTUP) << 7;
    QTest::newRow("centred") << int(SDL_HAT_CENTERED) << 15;
    QTest::newRow("up and down") << 5 << 15;
    QTest::newRow("all bits") << 15 << 15;
    QTest::newRow("out of range") << 200 << 15;
}

void TestLoopbackReport::directionCodes()
{
    QFETCH(int, value);
    QFETCH(int, code);
    QCOMPARE(int(LoopbackReport::directionCode(uint8_t(value))), code);
}

void TestLoopbackReport::hatNibbles()
{
    LoopbackReport report;
    QVERIFY(report.setHat(0, SDL_HAT_RIGHTUP));
    QCOMPARE(report.bytes()[9], uint8_t(0xF1));
    QVERIFY(report.setHat(3, SDL_HAT_LEFT));
    QCOMPARE(report.bytes()[10], uint8_t(0x6F));
    QVERIFY(report.setHat(1, SDL_HAT_DOWN));
    QVERIFY(report.setHat(2, SDL_HAT_UP));
    QCOMPARE(toHex(report.bytes()), QStringLiteral("40 00 00 00 00 00 00 00 00 41 60"));
    QCOMPARE(int(report.hatCode(1)), 4);
    // A fifth hat has no room.
    QVERIFY(!report.setHat(4, SDL_HAT_UP));
    QVERIFY(!report.setHat(-1, SDL_HAT_UP));
    QCOMPARE(toHex(report.bytes()), QStringLiteral("40 00 00 00 00 00 00 00 00 41 60"));
}

void TestLoopbackReport::buttonsLittleEndian()
{
    LoopbackReport report;
    report.setButtons(0x8000000000000201ULL);
    QCOMPARE(toHex(report.bytes()), QStringLiteral("40 01 02 00 00 00 00 00 80 FF FF"));
    QCOMPARE(report.buttons(), 0x8000000000000201ULL);
}

void TestLoopbackReport::baseFilter_data()
{
    QTest::addColumn<QString>("product");
    QTest::addColumn<bool>("offered");
    QTest::newRow("base") << QStringLiteral("Brontel FFB Base") << true;
    QTest::newRow("exact") << QStringLiteral("Brontel FFB") << true;
    QTest::newRow("lower case") << QStringLiteral("brontel ffb base") << false;
    QTest::newRow("prefix elsewhere") << QStringLiteral("The Brontel FFB") << false;
    QTest::newRow("other") << QStringLiteral("Gamepad") << false;
    QTest::newRow("empty") << QString() << false;
}

void TestLoopbackReport::baseFilter()
{
    QFETCH(QString, product);
    QFETCH(bool, offered);
    QCOMPARE(isBaseProduct(product), offered);
}

void TestLoopbackReport::label()
{
    QCOMPARE(baseLabel(0xFFFF, 0x2055, QStringLiteral("Brontel FFB Base"), QStringLiteral("A1b2")),
        QStringLiteral("[FFFF:2055] Brontel FFB Base\nSerial:A1b2"));
    QCOMPARE(baseLabel(0x00ab, 0x0001, QStringLiteral("Brontel FFB"), QString()),
        QStringLiteral("[00AB:0001] Brontel FFB\nSerial:"));
}

QTEST_APPLESS_MAIN(TestLoopbackReport)
#include "tst_loopbackreport.moc"
