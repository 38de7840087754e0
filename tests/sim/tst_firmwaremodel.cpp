#include "filesizelimit.h"
#include "firmwaremodel.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cstring>
#include <memory>

namespace {

QVector<QByteArray> send(FirmwareModel &m, const QByteArray &payload)
{
    // Exact-size copy: the model must not read past what it was given.
    std::unique_ptr<uint8_t[]> exact(new uint8_t[size_t(qMax(payload.size(), 1))]);
    std::memcpy(exact.get(), payload.constData(), size_t(payload.size()));
    QVector<QByteArray> out;
    m.handleMessage(exact.get(), payload.size(), &out);
    return out;
}

QVector<QByteArray> run(FirmwareModel &m, int ms)
{
    QVector<QByteArray> out;
    for (int i = 0; i < ms; ++i)
        m.tick(&out);
    return out;
}

int countType(const QVector<QByteArray> &messages, int type)
{
    int n = 0;
    for (const QByteArray &p : messages)
        n += uint8_t(p[0]) == type;
    return n;
}

int16_t s16(const QByteArray &p, int offset)
{
    return int16_t(uint16_t(uint8_t(p[offset]) | (uint8_t(p[offset + 1]) << 8)));
}

} // namespace

class TestFirmwareModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void defaults();
    void applyRefusesBadImages_data();
    void applyRefusesBadImages();
    void configCommands();
    void resetNeedsItsKey();
    void flashKeepsTheStoredImage();
    void failedStoreTellsAndKeepsTheFlash();
    void corruptFlashFallsBackToDefaults();
    void deterministicWithSeed();
    void telemetryRateAndSamples();
    void calibrationHoldsTheStick();
    void spiRegisterFile();
    void motorResetWalk();
    void effectsAppearAndExpire();
    void truncatedCommands_data();
    void truncatedCommands();
};

void TestFirmwareModel::defaults()
{
    FirmwareModel m;
    QCOMPARE(m.activeImage().size(), 463);
    QCOMPARE(uint8_t(m.activeImage()[0]), uint8_t(181));
    QCOMPARE(m.activeImage(), FirmwareModel::defaultImage());
    QCOMPARE(m.storedImage(), m.activeImage());
    QCOMPARE(m.activeField("master_gain"), 100);
    QCOMPARE(m.activeField("default_spring_coef_pos_y"), 2048);
    QCOMPARE(m.activeField("endstop_enable"), 1);
    QVERIFY(m.activeImage().mid(165, 20).startsWith("Factory default"));
    QCOMPARE(m.activeField("no_such_parameter"), 0);
}

void TestFirmwareModel::applyRefusesBadImages_data()
{
    QTest::addColumn<QByteArray>("image");
    QByteArray good = FirmwareModel::defaultImage();
    QTest::newRow("short") << good.left(462);
    QTest::newRow("long") << good + QByteArray(1, '\0');
    QTest::newRow("empty") << QByteArray();
    QByteArray wrong = good;
    wrong[0] = char(180);
    QTest::newRow("version") << wrong;
}

void TestFirmwareModel::applyRefusesBadImages()
{
    QFETCH(QByteArray, image);
    FirmwareModel m;
    QString error;
    QVERIFY(!m.applyImage(image, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(m.activeImage(), FirmwareModel::defaultImage());
    const QVector<QByteArray> out = send(m, QByteArray(1, char(2)) + image);
    QCOMPARE(out.size(), 1);
    QVERIFY(out[0].startsWith(QByteArray(1, '\0') + "Config refused"));
    QCOMPARE(m.activeImage(), FirmwareModel::defaultImage());
}

void TestFirmwareModel::configCommands()
{
    FirmwareModel m;
    QByteArray image = m.activeImage();
    image[17] = char(42);
    QCOMPARE(send(m, QByteArray(1, char(2)) + image).size(), 1);
    QCOMPARE(m.activeImage(), image);
    QCOMPARE(send(m, QByteArray(1, char(3))), QVector<QByteArray> {QByteArray(1, char(3)) + image});
    QCOMPARE(send(m, QByteArray(1, char(19))),
        QVector<QByteArray> {QByteArray(1, char(19)) + FirmwareModel::defaultImage()});
    send(m, QByteArray(1, char(9)));
    QCOMPARE(m.storedImage(), image);
    const QVector<QByteArray> version = send(m, QByteArray(1, char(12)));
    QCOMPARE(version.size(), 1);
    QCOMPARE(
        version[0], QByteArray(1, char(12)) + m.firmwareVersion().toLatin1() + QByteArray(1, '\0'));
}

void TestFirmwareModel::resetNeedsItsKey()
{
    FirmwareModel m;
    QByteArray image = m.activeImage();
    image[17] = char(42);
    QVERIFY(m.applyImage(image));
    send(m, QByteArray::fromHex("0eaabc"));
    send(m, QByteArray::fromHex("0eaa"));
    QCOMPARE(m.activeImage(), image);
    send(m, QByteArray::fromHex("0eaabb"));
    QCOMPARE(m.activeImage(), FirmwareModel::defaultImage());
}

void TestFirmwareModel::flashKeepsTheStoredImage()
{
    QTemporaryDir dir;
    const QString flash = dir.filePath(QStringLiteral("flash.bin"));
    QByteArray image = FirmwareModel::defaultImage();
    image[17] = char(7);
    {
        FirmwareModel m(flash);
        QVERIFY(m.applyImage(image));
        m.store();
        QCOMPARE(m.flashError(), QString());
    }
    FirmwareModel again(flash);
    QCOMPARE(again.storedImage(), image);
    QCOMPARE(again.activeImage(), image); // the base starts from its stored configuration
    again.resetToDefaults();
    QCOMPARE(again.storedImage(), image);
    again.revertToStored();
    QCOMPARE(again.activeImage(), image);
}

void TestFirmwareModel::failedStoreTellsAndKeepsTheFlash()
{
    QTemporaryDir dir;
    const QString flash = dir.filePath(QStringLiteral("flash.bin"));
    QByteArray first = FirmwareModel::defaultImage();
    first[17] = char(7);
    QByteArray second = first;
    second[17] = char(9);
    FirmwareModel m(flash);
    QVERIFY(m.applyImage(first));
    QCOMPARE(
        send(m, QByteArray(1, char(9))), QVector<QByteArray> {QByteArray("\0Config stored\n", 15)});

    QVERIFY(m.applyImage(second));
    QVector<QByteArray> answer;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("save: write failed"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot write flash file"));
    {
        // The flash image does not fit under the limit, as on a full disk.
        FileSizeLimit limit(100);
        QVERIFY(limit.isActive());
        answer = send(m, QByteArray(1, char(9)));
    }
    QCOMPARE(answer.size(), 1);
    QVERIFY2(
        answer[0].startsWith(QByteArray("\0Config store failed: ", 22)), answer[0].constData() + 1);
    QVERIFY(!m.flashError().isEmpty());
    // The base tells the truth: its stored configuration is still the one in the flash file.
    QCOMPARE(m.storedImage(), first);
    QCOMPARE(m.activeImage(), second);
    FirmwareModel restarted(flash);
    QCOMPARE(restarted.storedImage(), first);

    // Once there is room again, the store goes through.
    QCOMPARE(
        send(m, QByteArray(1, char(9))), QVector<QByteArray> {QByteArray("\0Config stored\n", 15)});
    QCOMPARE(m.flashError(), QString());
    QCOMPARE(FirmwareModel(flash).storedImage(), second);
}

void TestFirmwareModel::corruptFlashFallsBackToDefaults()
{
    QTemporaryDir dir;
    const QString flash = dir.filePath(QStringLiteral("flash.bin"));
    QFile file(flash);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(100, char(0xB5)));
    file.close();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("not a valid image"));
    FirmwareModel m(flash);
    QCOMPARE(m.activeImage(), FirmwareModel::defaultImage());
}

void TestFirmwareModel::deterministicWithSeed()
{
    FirmwareModel a, b, c;
    a.setSeed(5);
    b.setSeed(5);
    c.setSeed(6);
    const QVector<QByteArray> ra = run(a, 4000);
    QCOMPARE(ra, run(b, 4000));
    QVERIFY(ra != run(c, 4000));
    // The stick moves, the buttons and hats change.
    QSet<int16_t> xs;
    QSet<quint32> hats;
    for (const QByteArray &p : ra) {
        if (p[0] != 1)
            continue;
        xs.insert(s16(p, 1));
        hats.insert(quint32(uint8_t(p[41])) | (quint32(uint8_t(p[42])) << 8));
    }
    QVERIFY(xs.size() > 100);
    QVERIFY(hats.size() >= 5);
}

void TestFirmwareModel::telemetryRateAndSamples()
{
    FirmwareModel m;
    m.setEffectsEnabled(false);
    m.setTelemetryRate(100);
    QVector<QByteArray> out = run(m, 1000);
    QCOMPARE(countType(out, 1), 100);
    QCOMPARE(countType(out, 7), 0);
    send(m, QByteArray(1, char(5)));
    out = run(m, 200);
    QCOMPARE(countType(out, 7), 200);
    for (const QByteArray &p : out)
        QCOMPARE(p.size(), p[0] == 1 ? 76 : 19);
    send(m, QByteArray(1, char(6)));
    QCOMPARE(countType(run(m, 100), 7), 0);
}

void TestFirmwareModel::calibrationHoldsTheStick()
{
    FirmwareModel m;
    m.setTelemetryRate(1000);
    send(m, QByteArray::fromHex("140000") + QByteArray::fromHex("e803")); // Y = 1000
    run(m, 2);
    const QByteArray t = m.telemetryPayload();
    QCOMPARE(s16(t, 1), int16_t(0));
    QCOMPARE(s16(t, 3), int16_t(1000));
    QCOMPARE(s16(t, 15), int16_t(qRound(m.calibrationSlope(1) * 1000 / 4096.0)));
    QCOMPARE(s16(t, 15), int16_t(-500));
}

void TestFirmwareModel::spiRegisterFile()
{
    FirmwareModel m;
    QCOMPARE(send(m, QByteArray::fromHex("1102022001")),
        QVector<QByteArray> {QByteArray::fromHex("110200")});
    QCOMPARE(m.spiRegister(0x20), uint8_t(0x01));
    // A declared length beyond the data is flagged and only the data is used.
    QCOMPARE(send(m, QByteArray::fromHex("1109022002")),
        QVector<QByteArray> {QByteArray::fromHex("110201")});
    QCOMPARE(send(m, QByteArray::fromHex("120203")),
        QVector<QByteArray> {QByteArray::fromHex("12") + QByteArray(1, char(m.spiRegister(0x20)))
            + QByteArray(1, char(m.spiRegister(0x21)))});
}

void TestFirmwareModel::motorResetWalk()
{
    FirmwareModel m;
    QCOMPARE(m.motFault(), uint8_t(0));
    send(m, QByteArray(1, char(21)));
    QCOMPARE(m.motFault(), uint8_t(0xFF));
    run(m, 350);
    QCOMPARE(m.motFault(), uint8_t(0x55));
    run(m, 200);
    QCOMPARE(m.motFault(), uint8_t(0x00));
}

void TestFirmwareModel::effectsAppearAndExpire()
{
    FirmwareModel m;
    m.setTelemetryRate(0);
    QSet<int> early, middle, late;
    for (const QByteArray &p : run(m, 900))
        early.insert(uint8_t(p[1]));
    for (const QByteArray &p : run(m, 11000)) // to 11.9 s
        if (p[0] == 4)
            middle.insert(uint8_t(p[1]));
    run(m, 17000); // to 28.9 s
    for (const QByteArray &p : run(m, 1000))
        if (p[0] == 4)
            late.insert(uint8_t(p[1]));
    QCOMPARE(early, QSet<int>());
    QCOMPARE(middle, (QSet<int> {1, 2, 3}));
    QCOMPARE(late, QSet<int>());
}

void TestFirmwareModel::truncatedCommands_data()
{
    QTest::addColumn<QByteArray>("payload");
    const QList<QByteArray> full = {
        QByteArray(1, char(2)) + FirmwareModel::defaultImage(),
        QByteArray::fromHex("0d01"),
        QByteArray::fromHex("0eaabb"),
        QByteArray::fromHex("1104021020304050"),
        QByteArray::fromHex("120403"),
        QByteArray::fromHex("14c409c409"),
    };
    for (const QByteArray &p : full)
        for (int n = 0; n < p.size(); ++n)
            if (p.size() < 100 || n < 4 || n > p.size() - 3)
                QTest::addRow("type %d, %d bytes", uint8_t(p[0]), n) << p.left(n);
}

void TestFirmwareModel::truncatedCommands()
{
    QFETCH(QByteArray, payload);
    FirmwareModel m;
    send(m, payload);
    QCOMPARE(m.activeImage(), FirmwareModel::defaultImage());
    QVERIFY(!m.calibrationHold());
}

QTEST_MAIN(TestFirmwareModel)
#include "tst_firmwaremodel.moc"
