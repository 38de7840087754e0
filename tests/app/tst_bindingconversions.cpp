// The eight conversions between a control's value and a parameter's raw value, as tables.

#include "bindingconversions.h"
#include "configbinder.h"
#include "deviceconfig.h"

#include <QtTest>

namespace BC = BindingConversions;

class TestBindingConversions : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { registerConfigMetaTypes(); }
    void forwardDecimal_data();
    void forwardDecimal();
    void reverseDecimal_data();
    void reverseDecimal();
    void percent_data();
    void percent();
    void boxes();
    void text();
    void variantsHaveThePropertyType_data();
    void variantsHaveThePropertyType();
};

void TestBindingConversions::forwardDecimal_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<double>("control");
    QTest::addColumn<qint64>("stored");
    QTest::newRow("tenths 12.3") << "tenths" << 12.3 << qint64(123);
    QTest::newRow("tenths 1.5") << "tenths" << 1.5 << qint64(15);
    QTest::newRow("tenths 25.5") << "tenths" << 25.5 << qint64(255);
    QTest::newRow("tenths half up") << "tenths" << 0.25 << qint64(3);
    QTest::newRow("tenths half away from zero") << "tenths" << -0.25 << qint64(-3);
    QTest::newRow("tenths 0") << "tenths" << 0.0 << qint64(0);
    QTest::newRow("fraction 0.5") << "fraction" << 0.5 << qint64(128);
    QTest::newRow("fraction 1") << "fraction" << 1.0 << qint64(255);
    QTest::newRow("fraction 0.05") << "fraction" << 0.05 << qint64(13);
    QTest::newRow("fraction 0") << "fraction" << 0.0 << qint64(0);
}

void TestBindingConversions::forwardDecimal()
{
    QFETCH(QString, kind);
    QFETCH(double, control);
    QFETCH(qint64, stored);
    const qint64 p = kind == QLatin1String("tenths") ? BC::tenthsFromControl(control)
                                                     : BC::fractionFromControl(control);
    QCOMPARE(p, stored);
}

void TestBindingConversions::reverseDecimal_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<qint64>("stored");
    QTest::addColumn<double>("shown");
    QTest::newRow("tenths 7") << "tenths" << qint64(7) << double(0.7f);
    QTest::newRow("tenths 123") << "tenths" << qint64(123) << double(12.3f);
    QTest::newRow("tenths 255") << "tenths" << qint64(255) << double(25.5f);
    QTest::newRow("fraction 128") << "fraction" << qint64(128) << double(128.0f / 255.0f);
    QTest::newRow("fraction 255") << "fraction" << qint64(255) << 1.0;
}

void TestBindingConversions::reverseDecimal()
{
    QFETCH(QString, kind);
    QFETCH(qint64, stored);
    QFETCH(double, shown);
    const double c = kind == QLatin1String("tenths") ? BC::tenthsToControl(stored)
                                                     : BC::fractionToControl(stored);
    QCOMPARE(c, shown);
}

void TestBindingConversions::percent_data()
{
    QTest::addColumn<qint64>("control");
    QTest::addColumn<qint64>("stored");
    QTest::addColumn<qint64>("storedShown");
    QTest::addColumn<qint64>("shown");
    // (control -> stored), and (a stored value -> what is shown)
    QTest::newRow("25 % / 1000") << qint64(25) << qint64(1024) << qint64(1000) << qint64(24);
    QTest::newRow("100 % / 4096") << qint64(100) << qint64(4096) << qint64(4096) << qint64(100);
    QTest::newRow("0") << qint64(0) << qint64(0) << qint64(0) << qint64(0);
    QTest::newRow("200 %") << qint64(200) << qint64(8192) << qint64(8191) << qint64(200);
    // Integer division truncates toward zero for negative values too.
    QTest::newRow("-25 % / -1024") << qint64(-25) << qint64(-1023) << qint64(-1024) << qint64(-24);
    QTest::newRow("-1 % / -41") << qint64(-1) << qint64(-40) << qint64(-41) << qint64(0);
}

void TestBindingConversions::percent()
{
    QFETCH(qint64, control);
    QFETCH(qint64, stored);
    QFETCH(qint64, storedShown);
    QFETCH(qint64, shown);
    QCOMPARE(BC::percentFromControl(control), stored);
    QCOMPARE(BC::percentToControl(storedShown), shown);
}

void TestBindingConversions::boxes()
{
    // not: checked means 0
    QCOMPARE(BC::notFromChecked(true), qint64(0));
    QCOMPARE(BC::notFromChecked(false), qint64(1));
    QVERIFY(BC::notToChecked(0));
    QVERIFY(!BC::notToChecked(1));
    QVERIFY(!BC::notToChecked(7));
    // state: partly checked counts as checked
    QCOMPARE(BC::stateFromCheckState(Qt::Unchecked), qint64(0));
    QCOMPARE(BC::stateFromCheckState(Qt::PartiallyChecked), qint64(1));
    QCOMPARE(BC::stateFromCheckState(Qt::Checked), qint64(1));
    QVERIFY(BC::stateToChecked(1));
    QVERIFY(!BC::stateToChecked(0));
}

void TestBindingConversions::text()
{
    const DeviceName twenty = BC::textFromControl(QStringLiteral("Twenty characters!!!"));
    QCOMPARE(twenty.length(), 20);
    QCOMPARE(BC::textToControl(twenty), QStringLiteral("Twenty characters!!!"));
    QCOMPARE(BC::textFromControl(QStringLiteral("Twenty characters!!!+")).length(), 20);
    // UTF-8 bytes, never cut inside a character.
    const DeviceName umlauts = BC::textFromControl(QString(12, QChar(0x00fc)));
    QCOMPARE(umlauts.length(), 20);
    QCOMPARE(BC::textToControl(umlauts), QString(10, QChar(0x00fc)));
}

void TestBindingConversions::variantsHaveThePropertyType_data()
{
    QTest::addColumn<QByteArray>("parameter");
    QTest::addColumn<qint64>("value");
    QTest::addColumn<qint64>("stored");
    QTest::newRow("uint16_t flag") << QByteArray("breakout_enable") << qint64(1) << qint64(1);
    QTest::newRow("uint8_t flag") << QByteArray("swap_xy") << qint64(1) << qint64(1);
    QTest::newRow("int8_t") << QByteArray("global_spring_gain") << qint64(-5) << qint64(-5);
    QTest::newRow("int16_t") << QByteArray("x_angle_min") << qint64(-32768) << qint64(-32768);
    QTest::newRow("uint16_t") << QByteArray("usb_pid") << qint64(0x2053) << qint64(0x2053);
    QTest::newRow("uint8_t narrows") << QByteArray("trim_rate") << qint64(300) << qint64(44);
    QTest::newRow("uint64_t") << QByteArray("button_inv_mask") << qint64(0x800000000001)
                              << qint64(0x800000000001);
}

void TestBindingConversions::variantsHaveThePropertyType()
{
    QFETCH(QByteArray, parameter);
    QFETCH(qint64, value);
    QFETCH(qint64, stored);
    DeviceConfig config;
    const QMetaObject *meta = config.metaObject();
    const QMetaProperty property = meta->property(meta->indexOfProperty(parameter));
    const QVariant v = ConfigBinder::integerVariant(property.userType(), value);
    QCOMPARE(v.userType(), property.userType());
    QVERIFY(property.write(&config, v));
    QCOMPARE(property.read(&config).toLongLong(), stored);
}

QTEST_GUILESS_MAIN(TestBindingConversions)
#include "tst_bindingconversions.moc"
