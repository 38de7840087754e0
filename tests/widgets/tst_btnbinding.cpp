// The button binding field and the button map tile, driven by telemetry messages through a
// real DataPacket: binding by pressing a grip button, the red look while the shown button is
// held, the lit tile while its logical button is reported pressed, and what can be typed.

#include "btnbindlineedit.h"
#include "btnmapwidget.h"
#include "configuratorresources.h"
#include "datapacket.h"
#include "telemetrydriver.h"
#include "widgettesting.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <memory>

using namespace widgettest;
using testsupport::TelemetryDriver;

namespace {

// Share of the field's pixels drawn in pure red (its pressed background).
double redShare(QWidget *widget)
{
    const QImage image = widget->grab().toImage();
    int red = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == QColor(Qt::red))
                ++red;
    return double(red) / double(image.width() * image.height());
}

// A window with the widget under test and another field to take the focus away.
struct Window
{
    QWidget window;
    QLineEdit *other = new QLineEdit(&window);

    explicit Window(QWidget *widget)
    {
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(widget);
        layout->addWidget(other);
    }
};

} // namespace

class TestBtnBinding : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { initConfiguratorResources(); }
    void bindFieldForm();
    void focusedFieldTakesPressedButton_data();
    void focusedFieldTakesPressedButton();
    void unfocusedFieldHighlightsWithoutChange();
    void disabledFieldNeverTurnsRed();
    void zeroShowsPlaceholder();
    void deleteKeyEmptiesField();
    void typingIsLimited_data();
    void typingIsLimited();
    void shownValueIsNeverAltered_data();
    void shownValueIsNeverAltered();

    void tileForm();
    void tileLightsWhileLogicalPressed();
    void focusedTileTakesPressedButton_data();
    void focusedTileTakesPressedButton();
    void unfocusedTileHighlightsWithoutChange();
    void tileTypingIsLimited_data();
    void tileTypingIsLimited();
    void tileSettersAndSignals();
};

void TestBtnBinding::bindFieldForm()
{
    BtnBindLineEdit field;
    QCOMPARE(field.sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
    QCOMPARE(field.sizePolicy().verticalPolicy(), QSizePolicy::Preferred);
    QCOMPARE(field.maxLength(), 4);
    QCOMPARE(field.placeholderText(), QStringLiteral("-"));
    QVERIFY(field.isClearButtonEnabled());
    QCOMPARE(field.toolTip(),
        QStringLiteral("<b>Button Binding Field</b><p>Select this field and press a button on "
                       "the Grip to bind.</p>"));
    QVERIFY(field.styleSheet().contains(QStringLiteral("QLineEdit[pressed=true]")));
    QCOMPARE(field.minimumSizeHint(), field.sizeHint());
    // Four digits, the icon and the clear button.
    QVERIFY(field.sizeHint().width() > 4 * field.fontMetrics().horizontalAdvance(QLatin1Char('0')));
    QCOMPARE(field.property("value").toUInt(), 0u);
}

void TestBtnBinding::focusedFieldTakesPressedButton_data()
{
    QTest::addColumn<uint32_t>("hats");
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("expected");
    QTest::newRow("grip button 7") << 0u << 7 << 7;
    QTest::newRow("grip button 64") << 0u << 64 << 64;
    // Hat 1 pushed right: 0x80 + 16 + 2.
    QTest::newRow("hat code") << 0x20u << 0 << 146;
}

void TestBtnBinding::focusedFieldTakesPressedButton()
{
    QFETCH(uint32_t, hats);
    QFETCH(int, button);
    QFETCH(int, expected);
    DataPacket data;
    TelemetryDriver base(&data);
    auto *field = new BtnBindLineEdit(&data);
    Window w(field);
    QVERIFY(showActive(&w.window));
    field->setFocus();
    QTRY_VERIFY(field->hasFocus());
    QSignalSpy changed(field, &BtnBindLineEdit::valueChanged);

    if (button)
        base.press(button);
    else
        base.setHats(hats);
    QCOMPARE(field->text(), QString::number(expected));
    QCOMPARE(field->value(), unsigned(expected));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toInt(), expected);
    // Red at once: the text now equals the held button.
    QVERIFY(field->isPressed());
    QVERIFY(redShare(field) > 0.3);

    if (button)
        base.release(button);
    else
        base.setHats(0xF0);
    QVERIFY(!field->isPressed());
    QCOMPARE(redShare(field), 0.0);
    QCOMPARE(field->value(), unsigned(expected));
}

void TestBtnBinding::unfocusedFieldHighlightsWithoutChange()
{
    DataPacket data;
    TelemetryDriver base(&data);
    auto *field = new BtnBindLineEdit(&data);
    Window w(field);
    QVERIFY(showActive(&w.window));
    field->setValue(7);
    w.other->setFocus();
    QTRY_VERIFY(w.other->hasFocus());
    QSignalSpy changed(field, &BtnBindLineEdit::valueChanged);

    base.press(8);
    QVERIFY(!field->isPressed());
    base.press(7);
    QVERIFY(field->isPressed());
    QCOMPARE(field->text(), QStringLiteral("7"));
    // A release of another number leaves the highlight.
    base.release(8);
    QVERIFY(field->isPressed());
    base.release(7);
    QVERIFY(!field->isPressed());
    QCOMPARE(changed.count(), 0);
    QCOMPARE(w.other->text(), QString());
}

void TestBtnBinding::disabledFieldNeverTurnsRed()
{
    DataPacket data;
    TelemetryDriver base(&data);
    auto *field = new BtnBindLineEdit(&data);
    Window w(field);
    QVERIFY(showActive(&w.window));
    field->setValue(7);
    field->setEnabled(false);
    base.press(7);
    QVERIFY(!field->isPressed());
    QCOMPARE(redShare(field), 0.0);
    QCOMPARE(field->text(), QStringLiteral("7"));
}

void TestBtnBinding::zeroShowsPlaceholder()
{
    BtnBindLineEdit field;
    field.setValue(12);
    QSignalSpy changed(&field, &BtnBindLineEdit::valueChanged);
    field.setValue(0);
    QCOMPARE(field.text(), QString());
    QCOMPARE(field.placeholderText(), QStringLiteral("-"));
    QCOMPARE(field.value(), 0u);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toInt(), 0);
    // The same value again shows nothing new and reports nothing.
    field.setValue(0);
    QCOMPARE(changed.count(), 1);
}

void TestBtnBinding::deleteKeyEmptiesField()
{
    auto *field = new BtnBindLineEdit;
    Window w(field);
    QVERIFY(showActive(&w.window));
    field->setValue(12);
    field->setFocus();
    QTRY_VERIFY(field->hasFocus());
    field->end(false);
    QSignalSpy changed(field, &BtnBindLineEdit::valueChanged);
    QTest::keyClick(field, Qt::Key_Delete);
    QCOMPARE(field->text(), QString());
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toInt(), 0);
}

void TestBtnBinding::typingIsLimited_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("in range") << "255"
                              << "255";
    QTest::newRow("above 255") << "256"
                               << "25";
    QTest::newRow("letters") << "a1b2"
                             << "12";
    QTest::newRow("sign") << "-3"
                          << "3";
    QTest::newRow("four digits") << "1000"
                                 << "100";
}

void TestBtnBinding::typingIsLimited()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    auto *field = new BtnBindLineEdit;
    Window w(field);
    QVERIFY(showActive(&w.window));
    field->setFocus();
    QTRY_VERIFY(field->hasFocus());
    QTest::keyClicks(field, typed);
    QCOMPARE(field->text(), shown);
    QCOMPARE(field->value(), shown.toUInt());
}

void TestBtnBinding::shownValueIsNeverAltered_data()
{
    QTest::addColumn<unsigned>("value");
    QTest::newRow("byte") << 255u;
    QTest::newRow("above the typing range") << 300u;
    QTest::newRow("longer than typing allows") << 123456u;
}

void TestBtnBinding::shownValueIsNeverAltered()
{
    QFETCH(unsigned, value);
    BtnBindLineEdit field;
    QSignalSpy changed(&field, &BtnBindLineEdit::valueChanged);
    QVERIFY(field.setProperty("value", value));
    QCOMPARE(field.value(), value);
    QCOMPARE(field.text(), QString::number(value));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toInt(), int(value));
}

void TestBtnBinding::tileForm()
{
    BtnMapWidget tile(12);
    QCOMPARE(tile.logicalId(), 12);
    auto *number = tile.findChild<QLabel *>(QStringLiteral("l_btnid"));
    auto *toggle = tile.findChild<QPushButton *>(QStringLiteral("cb_toggle"));
    auto *invert = tile.findChild<QPushButton *>(QStringLiteral("cb_invert"));
    auto *arrow = tile.findChild<QLabel *>(QStringLiteral("label"));
    auto *field = tile.findChild<QLineEdit *>(QStringLiteral("line_btnid"));
    QVERIFY(number && toggle && invert && arrow && field);
    QCOMPARE(number->text(), QStringLiteral("12"));
    QCOMPARE(number->size(), QSize(30, 30));
    QCOMPARE(number->toolTip(), QStringLiteral("Logical button"));
    QCOMPARE(number->styleSheet(),
        QStringLiteral("QLabel { border: 3px solid #ccc; border-radius:15px; }"));
    QCOMPARE(toggle->text(), QStringLiteral("T"));
    QCOMPARE(toggle->toolTip(), QStringLiteral("Toggle on Change"));
    QVERIFY(toggle->isCheckable());
    QCOMPARE(toggle->maximumSize(), QSize(16, 16));
    QCOMPARE(invert->text(), QStringLiteral("¬"));
    QCOMPARE(invert->toolTip(), QStringLiteral("Invert"));
    QVERIFY(invert->isCheckable());
    QCOMPARE(arrow->text(), QStringLiteral(" ←"));
    QCOMPARE(field->maximumWidth(), 40);
    QCOMPARE(field->alignment(), Qt::AlignCenter);
    QCOMPARE(field->toolTip(), QStringLiteral("Physical button, press button on grip to modify"));
    // Room for every physical button number, hat codes included.
    QCOMPARE(field->maxLength(), 3);
}

void TestBtnBinding::tileLightsWhileLogicalPressed()
{
    DataPacket data;
    TelemetryDriver base(&data);
    BtnMapWidget five(5, &data);
    BtnMapWidget six(6, &data);
    auto *ring = five.findChild<QLabel *>(QStringLiteral("l_btnid"));
    const QString idle = ring->styleSheet();

    base.pressLogical(5);
    QVERIFY(five.isLogicalPressed());
    QVERIFY(!six.isLogicalPressed());
    QCOMPARE(ring->styleSheet(),
        QStringLiteral("QLabel { border: 3px solid red; border-radius:15px; color: red; }"));
    // Another logical button coming and going leaves it lit.
    base.pressLogical(6);
    base.releaseLogical(6);
    QVERIFY(five.isLogicalPressed());
    QVERIFY(!six.isLogicalPressed());
    base.releaseLogical(5);
    QVERIFY(!five.isLogicalPressed());
    QCOMPARE(ring->styleSheet(), idle);
    // The physical field is not involved.
    QCOMPARE(five.physicalButton(), 0u);
}

void TestBtnBinding::focusedTileTakesPressedButton_data()
{
    QTest::addColumn<uint32_t>("hats");
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("expected");
    QTest::newRow("grip button 33") << 0u << 33 << 33;
    // Hat 3 pushed up-left: 0x80 + 48 + 7.
    QTest::newRow("hat code 183") << 0x7000u << 0 << 183;
    // Hat 0 pushed right (0x80 + 0 + 2); direction codes 8..15 are centred, not pressed.
    QTest::newRow("hat code 130") << 0x0002u << 0 << 130;
}

void TestBtnBinding::focusedTileTakesPressedButton()
{
    QFETCH(uint32_t, hats);
    QFETCH(int, button);
    QFETCH(int, expected);
    DataPacket data;
    TelemetryDriver base(&data);
    auto *tile = new BtnMapWidget(9, &data);
    Window w(tile);
    QVERIFY(showActive(&w.window));
    auto *field = tile->findChild<QLineEdit *>(QStringLiteral("line_btnid"));
    field->setFocus();
    QTRY_VERIFY(field->hasFocus());
    QSignalSpy changed(tile, &BtnMapWidget::valueChanged);

    if (button) {
        base.press(button);
    } else {
        // A hat first leaves its "up" state (released 0x80 + 16 * hat), then takes the new one.
        base.setHats(hats);
    }
    QCOMPARE(tile->physicalButton(), unsigned(expected));
    QCOMPARE(field->text(), QString::number(expected));
    QVERIFY(!changed.isEmpty());
    QCOMPARE(changed.last().at(0).toInt(), expected);
    if (button) {
        QVERIFY(tile->isPhysicalPressed());
        QCOMPARE(field->styleSheet(), QStringLiteral("background-color: red;"));
        base.release(button);
        QVERIFY(!tile->isPhysicalPressed());
        QCOMPARE(field->styleSheet(), QString());
    }
}

void TestBtnBinding::unfocusedTileHighlightsWithoutChange()
{
    DataPacket data;
    TelemetryDriver base(&data);
    auto *tile = new BtnMapWidget(3, &data);
    Window w(tile);
    QVERIFY(showActive(&w.window));
    tile->setPhysicalButton(12);
    w.other->setFocus();
    QTRY_VERIFY(w.other->hasFocus());
    QSignalSpy changed(tile, &BtnMapWidget::valueChanged);
    base.press(12);
    QVERIFY(tile->isPhysicalPressed());
    base.press(13);
    base.release(13);
    QVERIFY(tile->isPhysicalPressed());
    base.release(12);
    QVERIFY(!tile->isPhysicalPressed());
    QCOMPARE(tile->physicalButton(), 12u);
    QCOMPARE(changed.count(), 0);
    // A tile does not look at its enabled state before lighting.
    tile->setEnabled(false);
    base.press(12);
    QVERIFY(tile->isPhysicalPressed());
}

void TestBtnBinding::tileTypingIsLimited_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("two digits") << "12"
                                << "12";
    QTest::newRow("above 100") << "101"
                               << "101";
    QTest::newRow("hat code") << "191"
                              << "191";
    QTest::newRow("largest") << "255"
                             << "255";
    QTest::newRow("above 255") << "256"
                               << "25";
    QTest::newRow("four digits") << "1234"
                                 << "123";
    QTest::newRow("letters") << "x7"
                             << "7";
}

void TestBtnBinding::tileTypingIsLimited()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    auto *tile = new BtnMapWidget(1);
    Window w(tile);
    QVERIFY(showActive(&w.window));
    auto *field = tile->findChild<QLineEdit *>(QStringLiteral("line_btnid"));
    field->setFocus();
    QTRY_VERIFY(field->hasFocus());
    field->clear();
    QTest::keyClicks(field, typed);
    QCOMPARE(field->text(), shown);
    QCOMPARE(tile->physicalButton(), shown.toUInt());
}

void TestBtnBinding::tileSettersAndSignals()
{
    BtnMapWidget tile(7);
    auto *field = tile.findChild<QLineEdit *>(QStringLiteral("line_btnid"));
    auto *invert = tile.findChild<QPushButton *>(QStringLiteral("cb_invert"));
    auto *toggle = tile.findChild<QPushButton *>(QStringLiteral("cb_toggle"));
    QSignalSpy values(&tile, &BtnMapWidget::valueChanged);
    QSignalSpy inverts(&tile, &BtnMapWidget::invertChanged);
    QSignalSpy toggles(&tile, &BtnMapWidget::toggleChanged);

    tile.setPhysicalButton(0);
    QCOMPARE(field->text(), QStringLiteral("0"));
    tile.resetToIdentity();
    QCOMPARE(tile.physicalButton(), 7u);
    tile.setPhysicalButton(200);
    QCOMPARE(tile.physicalButton(), 200u);
    QCOMPARE(values.count(), 3);
    QCOMPARE(values.at(2).at(0).toInt(), 200);
    field->clear();
    QCOMPARE(tile.physicalButton(), 0u);

    QTest::mouseClick(invert, Qt::LeftButton);
    QVERIFY(tile.isInvert());
    QCOMPARE(inverts.count(), 1);
    QCOMPARE(inverts.at(0).at(0).toInt(), 1);
    tile.setInvert(false);
    QCOMPARE(inverts.at(1).at(0).toInt(), 0);
    tile.setToggle(true);
    QVERIFY(toggle->isChecked());
    QCOMPARE(toggles.count(), 1);
    QCOMPARE(toggles.at(0).at(0).toInt(), 1);
    QVERIFY(tile.setProperty("toggle", false));
    QCOMPARE(toggles.at(1).at(0).toInt(), 0);
}

QTEST_MAIN(TestBtnBinding)
#include "tst_btnbinding.moc"
