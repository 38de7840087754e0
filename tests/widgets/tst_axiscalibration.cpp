// The axis calibration row: learning a range from telemetry while Calibrate is down, centring
// the range on the current position, restoring defaults, and showing stored values unchanged.

#include "axiscalibrationwidget.h"
#include "datapacket.h"
#include "telemetrydriver.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>

using testsupport::TelemetryDriver;

namespace {

struct Rig
{
    DataPacket data;
    TelemetryDriver base {&data};
    AxisCalibrationWidget widget {QStringLiteral("Brake Axis")};
    QSpinBox *min = widget.findChild<QSpinBox *>(QStringLiteral("brake_min"));
    QSpinBox *max = widget.findChild<QSpinBox *>(QStringLiteral("brake_max"));
    QPushButton *calibrate = widget.findChild<QPushButton *>(QStringLiteral("brake_cal"));
    QPushButton *center = widget.findChild<QPushButton *>(QStringLiteral("b_center"));
    QPushButton *reset = widget.findChild<QPushButton *>(QStringLiteral("b_reset"));
    QLabel *raw = widget.findChild<QLabel *>(QStringLiteral("l_axis_val"));

    Rig()
    {
        // As the window feeds it: the raw value straight from the telemetry record.
        QObject::connect(&data, &DataPacket::aux_axis_1Changed, &widget,
            [this](uint16_t v) { widget._setValue(v); });
    }
};

} // namespace

class TestAxisCalibration : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void form();
    void calibrateLearnsTheSweep();
    void centring_data();
    void centring();
    void rawValueKeepsSixteenBits();
    void resetRestoresDefaults();
    void storedValuesShowUnchanged_data();
    void storedValuesShowUnchanged();
    void limitsKeepTheShownValue();
};

void TestAxisCalibration::form()
{
    Rig rig;
    QVERIFY(rig.min && rig.max && rig.calibrate && rig.center && rig.reset && rig.raw);
    QCOMPARE(rig.widget.findChild<QLabel *>(QStringLiteral("l_axis_name"))->text(),
        QStringLiteral("Brake Axis"));
    QCOMPARE(AxisCalibrationWidget().title(), QStringLiteral("Calibration"));
    QCOMPARE(rig.min->minimum(), 0);
    QCOMPARE(rig.min->maximum(), 65535);
    QCOMPARE(rig.max->maximum(), 65535);
    QCOMPARE(rig.max->value(), 255);
    QCOMPARE(rig.raw->text(), QStringLiteral("0"));
    QCOMPARE(rig.calibrate->text(), QStringLiteral("Calibrate"));
    QVERIFY(rig.calibrate->isCheckable());
    QVERIFY(rig.calibrate->toolTip().contains(QStringLiteral("Activate axis calibration.")));
    QCOMPARE(rig.center->text(), QStringLiteral("C"));
    QCOMPARE(rig.reset->text(), QStringLiteral("⟳"));
    QCOMPARE(rig.widget.findChild<QLabel *>(QStringLiteral("label_32"))->text(),
        QStringLiteral("Raw Value:"));
    QVERIFY(rig.widget.findChild<QFrame *>(QStringLiteral("frame"))
                ->styleSheet()
                .startsWith(QStringLiteral("QFrame#frame {")));
    // Hidden until the owner asks for them.
    QVERIFY(!rig.center->isVisibleTo(&rig.widget));
    QVERIFY(!rig.reset->isVisibleTo(&rig.widget));
    rig.widget.showCenterButton(true);
    QVERIFY(rig.center->isVisibleTo(&rig.widget));
}

void TestAxisCalibration::calibrateLearnsTheSweep()
{
    Rig rig;
    rig.base.setAux1(2000);
    QCOMPARE(rig.raw->text(), QStringLiteral("2000"));
    // Not calibrating: the range stays.
    QCOMPARE(rig.min->value(), 0);
    QCOMPARE(rig.max->value(), 255);

    QTest::mouseClick(rig.calibrate, Qt::LeftButton);
    QVERIFY(rig.widget.isCalibrating());
    QCOMPARE(rig.min->value(), 2000);
    QCOMPARE(rig.max->value(), 2000);
    rig.base.setAux1(1500);
    rig.base.setAux1(2600);
    rig.base.setAux1(2100);
    QCOMPARE(rig.min->value(), 1500);
    QCOMPARE(rig.max->value(), 2600);

    // Unchecking keeps what was learned; later values change nothing.
    QTest::mouseClick(rig.calibrate, Qt::LeftButton);
    QVERIFY(!rig.widget.isCalibrating());
    rig.base.setAux1(100);
    QCOMPARE(rig.min->value(), 1500);
    QCOMPARE(rig.max->value(), 2600);
}

void TestAxisCalibration::centring_data()
{
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("raw");
    QTest::addColumn<int>("limit");
    QTest::addColumn<int>("newMin");
    QTest::addColumn<int>("newMax");
    QTest::newRow("offset 100") << 100 << 900 << 600 << 65535 << 200 << 1000;
    QTest::newRow("clamped to the limits") << 0 << 4095 << 0 << 4095 << 0 << 2048;
    QTest::newRow("already centred") << 1000 << 3000 << 2000 << 65535 << 1000 << 3000;
    QTest::newRow("odd width") << 1 << 4 << 10 << 65535 << 9 << 12;
}

void TestAxisCalibration::centring()
{
    QFETCH(int, min);
    QFETCH(int, max);
    QFETCH(int, raw);
    QFETCH(int, limit);
    QFETCH(int, newMin);
    QFETCH(int, newMax);
    Rig rig;
    rig.widget.setLimits(0, limit);
    rig.widget.showCenterButton(true);
    rig.widget._setMinValue(min);
    rig.widget._setMaxValue(max);
    rig.base.setAux1(uint16_t(raw));
    rig.widget.show();
    QTest::mouseClick(rig.center, Qt::LeftButton);
    QCOMPARE(rig.min->value(), newMin);
    QCOMPARE(rig.max->value(), newMax);
}

void TestAxisCalibration::rawValueKeepsSixteenBits()
{
    Rig rig;
    rig.widget._setValue(70000);
    QCOMPARE(rig.raw->text(), QStringLiteral("70000"));
    QCOMPARE(rig.widget.rawValue(), 4464);
    rig.widget._setMinValue(4000);
    rig.widget._setMaxValue(5000);
    rig.widget.onCenter();
    // Centred on 4464, the low 16 bits.
    QCOMPARE(rig.min->value(), 3964);
    QCOMPARE(rig.max->value(), 4964);
}

void TestAxisCalibration::resetRestoresDefaults()
{
    Rig rig;
    QCOMPARE(rig.widget.defaultMin(), uint16_t(0));
    QCOMPARE(rig.widget.defaultMax(), uint16_t(0));
    rig.widget.setDefaults(0, 4095);
    rig.widget.setLimits(0, 4095);
    QVERIFY(rig.reset->isVisibleTo(&rig.widget));
    rig.widget._setMinValue(300);
    rig.widget._setMaxValue(900);
    rig.widget.show();
    QTest::mouseClick(rig.reset, Qt::LeftButton);
    QCOMPARE(rig.min->value(), 0);
    QCOMPARE(rig.max->value(), 4095);
}

void TestAxisCalibration::storedValuesShowUnchanged_data()
{
    QTest::addColumn<int>("lo");
    QTest::addColumn<int>("hi");
    QTest::addColumn<int>("value");
    QTest::newRow("inside") << 0 << 4095 << 4000;
    QTest::newRow("above the pot limits") << 0 << 4095 << 5000;
    QTest::newRow("largest stored") << 0 << 4095 << 65535;
    QTest::newRow("below the limits") << 100 << 4095 << 0;
}

void TestAxisCalibration::storedValuesShowUnchanged()
{
    QFETCH(int, lo);
    QFETCH(int, hi);
    QFETCH(int, value);
    Rig rig;
    rig.widget.setLimits(lo, hi);
    rig.widget._setMaxValue(1000);
    QSignalSpy minChanges(&rig.widget, &AxisCalibrationWidget::minValueChanged);
    QSignalSpy maxChanges(&rig.widget, &AxisCalibrationWidget::maxValueChanged);
    QVERIFY(rig.widget.setProperty("minValue", value));
    QVERIFY(rig.widget.setProperty("maxValue", value));
    QCOMPARE(rig.min->value(), value);
    QCOMPARE(rig.max->value(), value);
    QCOMPARE(rig.widget.minValue(), value);
    QCOMPARE(rig.widget.maxValue(), value);
    // Each box reported the value shown, and nothing on the way to it.
    QList<int> reportedMax;
    for (const auto &args : maxChanges)
        reportedMax << args.at(0).toInt();
    QCOMPARE(reportedMax, QList<int> {value});
    for (const auto &args : minChanges)
        QCOMPARE(args.at(0).toInt(), value);

    // Back inside the limits: the box offers the limits again, still without clamping.
    rig.widget._setMaxValue(hi);
    QCOMPARE(rig.max->maximum(), hi);
    QCOMPARE(rig.max->value(), hi);
    QCOMPARE(maxChanges.last().at(0).toInt(), hi);
}

void TestAxisCalibration::limitsKeepTheShownValue()
{
    Rig rig;
    rig.widget._setMaxValue(5000);
    QSignalSpy maxChanges(&rig.widget, &AxisCalibrationWidget::maxValueChanged);
    rig.widget.setLimits(0, 4095);
    QCOMPARE(rig.max->value(), 5000);
    QCOMPARE(rig.min->maximum(), 4095);
    QCOMPARE(maxChanges.count(), 0);
}

QTEST_MAIN(TestAxisCalibration)
#include "tst_axiscalibration.moc"
