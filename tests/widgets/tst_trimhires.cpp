// The hardware trim and hi-res panels: their forms, the enable logic, and their button fields
// binding grip buttons from telemetry.

#include "btnbindlineedit.h"
#include "configuratorresources.h"
#include "datapacket.h"
#include "hiresmodewidget.h"
#include "hwtrimwidget.h"
#include "telemetrydriver.h"
#include "widgettesting.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>

using namespace widgettest;
using testsupport::TelemetryDriver;

class TestTrimHires : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { initConfiguratorResources(); }
    void trimForm_data();
    void trimForm();
    void trimEnableLogic();
    void trimFieldBindsPressedButton();
    void hiresForm();
    void hiresEnableLogic();
    void hiresButtonBindsPressedButton();
};

void TestTrimHires::trimForm_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("text");
    QTest::newRow("enable") << "cb_trim_enabled"
                            << "QCheckBox"
                            << "Hardware Force Trim";
    QTest::newRow("override") << "cb_override_trim"
                              << "QCheckBox"
                              << "Override Trim";
    QTest::newRow("up") << "line_trim_up"
                        << "BtnBindLineEdit"
                        << "";
    QTest::newRow("down") << "l_trim_down"
                          << "BtnBindLineEdit"
                          << "";
    QTest::newRow("left") << "l_trim_left"
                          << "BtnBindLineEdit"
                          << "";
    QTest::newRow("right") << "l_trim_right"
                           << "BtnBindLineEdit"
                           << "";
    QTest::newRow("release") << "line_trim_release"
                             << "BtnBindLineEdit"
                             << "";
    QTest::newRow("reset") << "line_trim_reset"
                           << "BtnBindLineEdit"
                           << "";
    QTest::newRow("rate") << "sb_trim_rate"
                          << "QSpinBox"
                          << "";
    QTest::newRow("release label") << "label"
                                   << "QLabel"
                                   << "Trim Release:";
    QTest::newRow("reset label") << "label_3"
                                 << "QLabel"
                                 << "Trim Reset:";
    QTest::newRow("centre label") << "label_2"
                                  << "QLabel"
                                  << "Trim";
    QTest::newRow("rate label") << "label_4"
                                << "QLabel"
                                << "Trim slew rate:";
    QTest::newRow("bindings") << "groupBox"
                              << "QGroupBox"
                              << "Button Bindings";
}

void TestTrimHires::trimForm()
{
    QFETCH(QString, name);
    QFETCH(QString, className);
    QFETCH(QString, text);
    HWTrimWidget trim;
    QWidget *child = trim.findChild<QWidget *>(name);
    QVERIFY(child);
    QCOMPARE(QString::fromLatin1(child->metaObject()->className()), className);
    if (auto *box = qobject_cast<QAbstractButton *>(child))
        QCOMPARE(box->text(), text);
    else if (auto *label = qobject_cast<QLabel *>(child))
        QCOMPARE(label->text(), text);
    else if (auto *group = qobject_cast<QGroupBox *>(child))
        QCOMPARE(group->title(), text);
    if (auto *spin = qobject_cast<QSpinBox *>(child)) {
        QCOMPARE(spin->minimum(), 0);
        QCOMPARE(spin->maximum(), 255);
    }
}

void TestTrimHires::trimEnableLogic()
{
    HWTrimWidget trim;
    auto *enabled = trim.findChild<QCheckBox *>(QStringLiteral("cb_trim_enabled"));
    auto *override = trim.findChild<QCheckBox *>(QStringLiteral("cb_override_trim"));
    auto *up = trim.findChild<BtnBindLineEdit *>(QStringLiteral("line_trim_up"));
    auto *rate = trim.findChild<QSpinBox *>(QStringLiteral("sb_trim_rate"));
    QVERIFY(override->toolTip().contains(QStringLiteral("Override Force Trim")));
    QCOMPARE(trim.findChild<QWidget *>(QStringLiteral("trim_rate"))->toolTip(),
        QStringLiteral("Set how fast trim position slews"));
    // Off at first: everything but the enable box is unusable.
    QVERIFY(!override->isEnabled());
    QVERIFY(!up->isEnabled());
    QVERIFY(!rate->isEnabled());

    trim.show();
    QTest::mouseClick(enabled, Qt::LeftButton);
    QVERIFY(enabled->isChecked());
    QVERIFY(override->isEnabled());
    QVERIFY(up->isEnabled());
    QVERIFY(rate->isEnabled());
    override->setChecked(true);
    up->setValue(12);
    rate->setValue(40);

    QTest::mouseClick(enabled, Qt::LeftButton);
    QVERIFY(!override->isEnabled());
    QVERIFY(!up->isEnabled());
    QVERIFY(!rate->isEnabled());
    // The values stay.
    QVERIFY(override->isChecked());
    QCOMPARE(up->value(), 12u);
    QCOMPARE(rate->value(), 40);
}

void TestTrimHires::trimFieldBindsPressedButton()
{
    DataPacket data;
    TelemetryDriver base(&data);
    HWTrimWidget trim(&data);
    trim.findChild<QCheckBox *>(QStringLiteral("cb_trim_enabled"))->setChecked(true);
    QVERIFY(showActive(&trim));
    auto *up = trim.findChild<BtnBindLineEdit *>(QStringLiteral("line_trim_up"));
    auto *reset = trim.findChild<BtnBindLineEdit *>(QStringLiteral("line_trim_reset"));
    reset->setValue(12);
    up->setFocus();
    QTRY_VERIFY(up->hasFocus());
    QSignalSpy upChanged(up, &BtnBindLineEdit::valueChanged);
    QSignalSpy resetChanged(reset, &BtnBindLineEdit::valueChanged);
    base.press(12);
    QCOMPARE(up->value(), 12u);
    QCOMPARE(upChanged.count(), 1);
    // The other field showing 12 lights up without changing.
    QVERIFY(reset->isPressed());
    QVERIFY(up->isPressed());
    QCOMPARE(resetChanged.count(), 0);
    base.release(12);
    QVERIFY(!reset->isPressed());
}

void TestTrimHires::hiresForm()
{
    HiresModeWidget hires;
    QCOMPARE(hires.cb_enabled()->objectName(), QStringLiteral("cb_enabled"));
    QCOMPARE(hires.cb_enabled()->text(), QStringLiteral("Hi-Res Mode (Zoom Axis)"));
    QVERIFY(hires.cb_enabled()->toolTip().contains(QStringLiteral("Scales the axis travel")));
    QCOMPARE(hires.button_bind()->objectName(), QStringLiteral("button_bind"));
    QCOMPARE(
        hires.findChild<BtnBindLineEdit *>(QStringLiteral("button_bind")), hires.button_bind());
    QDoubleSpinBox *scale = hires.spin_scale_factor();
    QCOMPARE(scale->objectName(), QStringLiteral("spin_scale_factor"));
    QCOMPARE(scale->decimals(), 2);
    QCOMPARE(scale->minimum(), 0.0);
    QCOMPARE(scale->maximum(), 1.0);
    QCOMPARE(scale->singleStep(), 0.05);
    QCOMPARE(scale->value(), 1.0);
    QCOMPARE(
        hires.findChild<QLabel *>(QStringLiteral("label_4"))->text(), QStringLiteral("Button:"));
    QCOMPARE(hires.findChild<QLabel *>(QStringLiteral("label_5"))->text(),
        QStringLiteral("Scale Factor:"));
    QCOMPARE(hires.findChild<QWidget *>(QStringLiteral("bind_button"))->toolTip(),
        QStringLiteral("Bind joystick button for zoom axis function"));
    QVERIFY(hires.findChild<QWidget *>(QStringLiteral("scale_factor"))
                ->toolTip()
                .contains(QStringLiteral("double the precision")));
}

void TestTrimHires::hiresEnableLogic()
{
    HiresModeWidget hires;
    auto *frame = hires.findChild<QFrame *>(QStringLiteral("frame"));
    QVERIFY(!frame->isEnabled());
    QVERIFY(!hires.button_bind()->isEnabled());
    QVERIFY(!hires.spin_scale_factor()->isEnabled());
    hires.show();
    QTest::mouseClick(hires.cb_enabled(), Qt::LeftButton);
    QVERIFY(frame->isEnabled());
    QVERIFY(hires.spin_scale_factor()->isEnabled());
    hires.cb_enabled()->setChecked(false);
    QVERIFY(!frame->isEnabled());
}

void TestTrimHires::hiresButtonBindsPressedButton()
{
    DataPacket data;
    TelemetryDriver base(&data);
    HiresModeWidget hires(&data);
    hires.cb_enabled()->setChecked(true);
    QVERIFY(showActive(&hires));
    hires.button_bind()->setFocus();
    QTRY_VERIFY(hires.button_bind()->hasFocus());
    base.press(5);
    QCOMPARE(hires.button_bind()->value(), 5u);
    QVERIFY(hires.button_bind()->isPressed());
}

QTEST_MAIN(TestTrimHires)
#include "tst_trimhires.moc"
