#include "spinboxslider.h"
#include "widgettesting.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QStyleOptionSlider>
#include <QTest>
#include <QVBoxLayout>

#include <cmath>

using namespace widgettest;

class TestSpinBoxSlider : public QObject
{
    Q_OBJECT

private:
    // The text a percentage shows with one decimal ("-0.0" shows as "0.0").
    static QString percentText(double percent)
    {
        const double shown = QString::number(percent, 'f', 1).toDouble() + 0.0;
        return QLocale().toString(shown, 'f', 1) + QLatin1Char('%');
    }

    // A window with the control and a line edit that can take the focus from it.
    struct FocusWindow
    {
        QWidget window;
        SpinBoxSlider *spin = new SpinBoxSlider;
        QLineEdit *other = new QLineEdit;

        FocusWindow()
        {
            auto *layout = new QVBoxLayout(&window);
            layout->addWidget(spin);
            layout->addWidget(other);
        }
    };

    // Replaces the text as the user would and commits it with Enter.
    static void type(SpinBoxSlider *spin, const QString &text)
    {
        spin->setFocus();
        spin->findChild<QLineEdit *>()->selectAll();
        QTest::keyClicks(spin, text);
        QTest::keyClick(spin, Qt::Key_Return);
    }

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void defaults()
    {
        SpinBoxSlider spin;
        QCOMPARE(spin.rawValue(), 0);
        QCOMPARE(spin.minimumRaw(), 0);
        QCOMPARE(spin.maximumRaw(), 4096);
        QCOMPARE(spin.suffix(), QStringLiteral("%"));
        QCOMPARE(spin.decimals(), 1);
        QCOMPARE(spin.singleStep(), 0.1);
        QCOMPARE(spin.minimum(), 0.0);
        QCOMPARE(spin.maximum(), 100.0);
    }

    void rangeAndClamping()
    {
        SpinBoxSlider spin;
        spin.setMinimumRaw(-4096);
        QCOMPARE(spin.minimum(), -100.0);
        QCOMPARE(spin.maximum(), 100.0);
        QSignalSpy changed(&spin, &SpinBoxSlider::valueChanged);
        spin.setValue(5000);
        QCOMPARE(spin.rawValue(), 4096);
        QCOMPARE(spin.value(), 100.0);
        spin.setValue(-5000);
        QCOMPARE(spin.rawValue(), -4096);
        QCOMPARE(spin.value(), -100.0);
        QCOMPARE(changed.count(), 2);
        spin.setValue(-5000);
        QCOMPARE(changed.count(), 2);
    }

    void sameValueEmitsOnce()
    {
        SpinBoxSlider spin;
        QSignalSpy changed(&spin, &SpinBoxSlider::valueChanged);
        spin.setValue(1000);
        spin.setValue(1000);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).toInt(), 1000);
        // 1000 shows as 24.4 %, which would be 999 if converted back: the raw value stays.
        QCOMPARE(spin.rawValue(), 1000);
        QCOMPARE(spin.text(), QStringLiteral("24.4%"));
    }

    void typing_data()
    {
        QTest::addColumn<int>("minimum");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("raw");
        QTest::newRow("50") << 0 << "50" << 2048;
        QTest::newRow("0.1") << 0 << "0.1" << 4;
        QTest::newRow("100") << 0 << "100" << 4096;
        QTest::newRow("-25") << -4096 << "-25" << -1024;
        QTest::newRow("-0.1") << -4096 << "-0.1" << -4;
        QTest::newRow("24.4") << 0 << "24.4" << 999;
    }

    void typing()
    {
        QFETCH(int, minimum);
        QFETCH(QString, text);
        QFETCH(int, raw);
        QWidget window;
        auto *spin = new SpinBoxSlider(&window);
        spin->setMinimumRaw(minimum);
        QVERIFY(showActive(&window));
        QSignalSpy changed(spin, &SpinBoxSlider::valueChanged);
        type(spin, text);
        QCOMPARE(spin->rawValue(), raw);
        // Only the complete number is an edit, not the digits on the way.
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).toInt(), raw);
    }

    void sliderOnlyWhileFocused()
    {
        FocusWindow w;
        SpinBoxSlider *spin = w.spin;
        QLineEdit *other = w.other;
        spin->setMinimumRaw(-4096);
        spin->setValue(1234);
        QVERIFY(showActive(&w.window));
        other->setFocus();
        QVERIFY(!spin->popupSlider()->isVisible());
        QVERIFY(!spin->isPopupShown());

        spin->setFocus();
        QTRY_VERIFY(spin->hasFocus());
        QVERIFY(spin->isPopupShown());
        QSlider *slider = spin->popupSlider();
        QVERIFY(slider->isVisible());
        QVERIFY(slider->isWindow());
        QCOMPARE(slider->orientation(), Qt::Vertical);
        QCOMPARE(slider->minimum(), -4096);
        QCOMPARE(slider->maximum(), 4096);
        QCOMPARE(slider->tickInterval(), 819);
        QCOMPARE(slider->value(), 1234);
        QCOMPARE(slider->minimumHeight(), 150);
        QVERIFY(spin->hasFocus());

        other->setFocus();
        QTRY_VERIFY(!slider->isVisible());
        QVERIFY(!spin->isPopupShown());
        QCOMPARE(spin->rawValue(), 1234);
    }

    void draggingTheSlider()
    {
        QWidget window;
        auto *spin = new SpinBoxSlider(&window);
        spin->setMinimumRaw(-4096);
        QVERIFY(showActive(&window));
        spin->setFocus();
        QSlider *slider = spin->popupSlider();
        QTRY_VERIFY(slider->isVisible());
        QVERIFY(QTest::qWaitForWindowExposed(slider));

        QStyleOptionSlider option;
        option.initFrom(slider);
        option.orientation = Qt::Vertical;
        option.minimum = slider->minimum();
        option.maximum = slider->maximum();
        option.sliderPosition = slider->value();
        option.sliderValue = slider->value();
        option.tickPosition = slider->tickPosition();
        const QRect handle = slider->style()->subControlRect(
            QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider);
        QVERIFY(handle.isValid());
        QSignalSpy changed(spin, &SpinBoxSlider::valueChanged);
        // Half-way up from the centre, then all the way to the top.
        const QPoint start = handle.center();
        drag(slider, start, QPoint(start.x(), start.y() - slider->height() / 4));
        QVERIFY(changed.count() > 0);
        QVERIFY(spin->rawValue() > 0);
        QVERIFY(spin->rawValue() < 4096);
        QCOMPARE(spin->rawValue(), slider->value());
        QCOMPARE(spin->value(), std::round(1000.0 * slider->value() / 4096) / 10);

        const QPoint mid(start.x(), start.y() - slider->height() / 4);
        drag(slider, mid, QPoint(start.x(), -slider->height()));
        QCOMPARE(spin->rawValue(), 4096);
        QCOMPARE(spin->text(), QStringLiteral("100.0%"));
    }

    // Every raw value shown stays exactly that value, emits nothing and reads back the same,
    // also when the user commits the shown text unchanged.
    void shownValuesNeverDrift_data()
    {
        QTest::addColumn<int>("minimum");
        QTest::addColumn<int>("maximum");
        QTest::newRow("-4096..4096") << -4096 << 4096;
        QTest::newRow("42..255") << 42 << 255;
        QTest::newRow("-2000..2000") << -2000 << 2000;
        QTest::newRow("409..4096") << 409 << 4096;
    }

    void shownValuesNeverDrift()
    {
        QFETCH(int, minimum);
        QFETCH(int, maximum);
        SpinBoxSlider spin;
        spin.setMinimumRaw(minimum);
        spin.setMaximumRaw(maximum);
        QSignalSpy changed(&spin, &SpinBoxSlider::valueChanged);
        for (int raw = -4096; raw <= 4096; ++raw) {
            spin.showValue(raw);
            if (spin.rawValue() != raw)
                QFAIL(
                    qPrintable(QStringLiteral("shown %1 reads %2").arg(raw).arg(spin.rawValue())));
            const QString expected = percentText(SpinBoxSlider::percentFromRaw(raw, maximum));
            if (spin.text() != expected)
                QFAIL(qPrintable(
                    QStringLiteral("%1 shows %2, not %3").arg(raw).arg(spin.text(), expected)));
            spin.interpretText();
            if (spin.rawValue() != raw)
                QFAIL(qPrintable(
                    QStringLiteral("committing %1 gave %2").arg(raw).arg(spin.rawValue())));
        }
        QCOMPARE(changed.count(), 0);
    }

    // Every percentage that can be typed maps to the nearest raw value, symmetrically around
    // zero, and that raw value shows as the typed percentage again.
    void typedPercentRoundTrip_data()
    {
        QTest::addColumn<int>("maximum");
        QTest::newRow("4096") << 4096;
        QTest::newRow("255") << 255;
        QTest::newRow("2000") << 2000;
    }

    void typedPercentRoundTrip()
    {
        QFETCH(int, maximum);
        SpinBoxSlider spin;
        spin.setMaximumRaw(maximum);
        spin.setMinimumRaw(-maximum);
        for (int tenths = -1000; tenths <= 1000; ++tenths) {
            const double percent = tenths / 10.0;
            const int raw = SpinBoxSlider::rawFromPercent(percent, maximum);
            if (raw != -SpinBoxSlider::rawFromPercent(-percent, maximum))
                QFAIL(qPrintable(QStringLiteral("%1 % is not symmetric").arg(percent)));
            if (raw != static_cast<int>(std::lround(maximum * tenths / 1000.0)))
                QFAIL(qPrintable(QStringLiteral("%1 % gave raw %2").arg(percent).arg(raw)));
            spin.findChild<QLineEdit *>()->setText(percentText(percent));
            spin.interpretText();
            if (spin.rawValue() != raw)
                QFAIL(qPrintable(QStringLiteral("typed %1 % gave %2, not %3")
                                     .arg(percent)
                                     .arg(spin.rawValue())
                                     .arg(raw)));
            // Where the raw step is coarser than 0.1 % the shown value is the raw value's own
            // percentage, and typing that gives the same raw value again.
            const QString shown = spin.text();
            spin.findChild<QLineEdit *>()->setText(shown);
            spin.interpretText();
            if (spin.rawValue() != raw)
                QFAIL(qPrintable(QStringLiteral("retyping %1 drifted").arg(shown)));
        }
    }

    void outOfRangeIsShownNotClamped()
    {
        FocusWindow w;
        SpinBoxSlider *spin = w.spin;
        QLineEdit *other = w.other;
        spin->setMinimumRaw(409);
        QSignalSpy changed(spin, &SpinBoxSlider::valueChanged);
        spin->showValue(0);
        QCOMPARE(spin->rawValue(), 0);
        QVERIFY(spin->isValueOutOfRange());
        QCOMPARE(spin->text(), QStringLiteral("0.0%"));
        spin->showValue(100);
        QCOMPARE(spin->text(), QStringLiteral("2.4%"));

        // Passing through the field without editing keeps the stored value.
        QVERIFY(showActive(&w.window));
        spin->setFocus();
        QTRY_VERIFY(spin->hasFocus());
        other->setFocus();
        QTRY_VERIFY(!spin->hasFocus());
        QCOMPARE(spin->rawValue(), 100);
        QCOMPARE(changed.count(), 0);

        // An edit is clamped into the range.
        spin->setValue(0);
        QCOMPARE(spin->rawValue(), 409);
        QVERIFY(!spin->isValueOutOfRange());
        QCOMPARE(changed.count(), 1);
    }

    void zeroMaximumIsRefused()
    {
        SpinBoxSlider spin;
        spin.setValue(2048);
        QTest::ignoreMessage(QtWarningMsg, "SpinBoxSlider: refusing raw maximum 0");
        spin.setMaximumRaw(0);
        QCOMPARE(spin.maximumRaw(), 4096);
        QCOMPARE(spin.value(), 50.0);
        QCOMPARE(spin.rawValue(), 2048);
    }
};

QTEST_MAIN(TestSpinBoxSlider)
#include "tst_spinboxslider.moc"
