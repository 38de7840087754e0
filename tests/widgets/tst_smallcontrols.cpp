#include "deviceconfig.h"
#include "flowlayout.h"
#include "frictiontunedialog.h"
#include "paddedspinbox.h"
#include "section.h"
#include "signallabelbinding.h"
#include "signallabelbindingf.h"
#include "widgettesting.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

using namespace widgettest;

class TestSmallControls : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QLocale::setDefault(QLocale::c());
        registerConfigMetaTypes();
    }

    void paddedSpinBox_data()
    {
        QTest::addColumn<int>("base");
        QTest::addColumn<int>("minimum");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("product id") << 16 << 0x2050 << 0x2055 << 0x2050 << "2050";
        QTest::newRow("small hex") << 16 << 0 << 0x2055 << 0xA << "000A";
        QTest::newRow("upper case") << 16 << 0 << 0xFFFF << 0xabc << "0ABC";
        QTest::newRow("decimal") << 10 << 0 << 999 << 7 << "007";
    }

    void paddedSpinBox()
    {
        QFETCH(int, base);
        QFETCH(int, minimum);
        QFETCH(int, maximum);
        QFETCH(int, value);
        QFETCH(QString, text);
        PaddedSpinBox spin;
        spin.setDisplayIntegerBase(base);
        spin.setRange(minimum, maximum);
        spin.setValue(value);
        QCOMPARE(spin.text(), text);
        QCOMPARE(spin.text(), spin.text().toUpper());
    }

    void sectionExpandsAndCollapses()
    {
        QWidget window;
        auto *outer = new QVBoxLayout(&window);
        auto *section = new Section(QStringLiteral("Advanced"), 20);
        outer->addWidget(section);
        auto *body = new QVBoxLayout;
        for (int i = 0; i < 3; ++i)
            body->addWidget(new QLabel(QStringLiteral("line %1").arg(i)));
        section->setBodyLayout(body);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QToolButton *header = section->headerButton();
        QCOMPARE(header->text(), QStringLiteral("Advanced"));
        QCOMPARE(header->arrowType(), Qt::RightArrow);
        QVERIFY(!header->isChecked());
        QCOMPARE(section->bodyArea()->maximumHeight(), 0);
        QCOMPARE(section->bodyArea()->layout(), body);

        const int bodyHeight = body->sizeHint().height();
        QVERIFY(bodyHeight > 0);
        QTest::ignoreMessage(QtDebugMsg, "MV: toggle: isExpanded  true");
        QTest::mouseClick(header, Qt::LeftButton);
        QCOMPARE(header->arrowType(), Qt::DownArrow);
        QVERIFY(section->isExpanded());
        QTRY_COMPARE(section->bodyArea()->maximumHeight(), bodyHeight);
        QTRY_COMPARE(section->bodyArea()->height(), bodyHeight);

        QTest::ignoreMessage(QtDebugMsg, "MV: toggle: isExpanded  false");
        QTest::mouseClick(header, Qt::LeftButton);
        QCOMPARE(header->arrowType(), Qt::RightArrow);
        QVERIFY(!section->isExpanded());
        QTRY_COMPARE(section->bodyArea()->maximumHeight(), 0);
    }

    void flowLayoutEmpty()
    {
        QWidget host;
        auto *flow = new FlowLayout(&host, 7, 3, 4);
        QCOMPARE(flow->heightForWidth(300), 14);
        QCOMPARE(flow->count(), 0);
        QCOMPARE(flow->itemAt(0), nullptr);
        QCOMPARE(flow->itemAt(-1), nullptr);
        QCOMPARE(flow->takeAt(0), nullptr);
        QCOMPARE(flow->expandingDirections(), Qt::Orientations());
        QVERIFY(flow->hasHeightForWidth());
    }

    void flowLayoutWraps_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<QList<int>>("rows");
        // Three 100 x 30 items, margins 5, spacing 10.
        QTest::newRow("one row") << 400 << QList<int> {0, 0, 0};
        QTest::newRow("two rows") << 250 << QList<int> {0, 0, 1};
        QTest::newRow("one per row") << 150 << QList<int> {0, 1, 2};
        // Narrower than one item: each still goes on its own row, no empty rows.
        QTest::newRow("too narrow") << 50 << QList<int> {0, 1, 2};
    }

    void flowLayoutWraps()
    {
        QFETCH(int, width);
        QFETCH(QList<int>, rows);
        QWidget host;
        auto *flow = new FlowLayout(&host, 5, 10, 10);
        QList<QWidget *> items;
        for (int i = 0; i < 3; ++i) {
            auto *w = new QWidget;
            w->setFixedSize(100, 30);
            flow->addWidget(w);
            items.append(w);
        }
        const int rowCount = rows.last() + 1;
        QCOMPARE(flow->heightForWidth(width), 5 + rowCount * 30 + (rowCount - 1) * 10 + 5);
        flow->setGeometry(QRect(0, 0, width, 500));
        for (int i = 0; i < 3; ++i)
            QCOMPARE(items[i]->geometry().top(), 5 + rows[i] * 40);
        QCOMPARE(items[0]->geometry().left(), 5);
        QCOMPARE(flow->minimumSize(), QSize(110, 40));
        QCOMPARE(flow->sizeHint(), flow->minimumSize());
        QLayoutItem *taken = flow->takeAt(2);
        QVERIFY(taken);
        QCOMPARE(taken->widget(), items[2]);
        delete taken;
        QCOMPARE(flow->count(), 2);
    }

    void labelBinding()
    {
        QLabel label;
        SignalLabelBinding binding(QStringLiteral("x"), &label);
        QCOMPARE(binding.propertyName(), QStringLiteral("x"));
        binding.valueChanged(7);
        QCOMPARE(label.text(), QStringLiteral("0007"));
        binding.valueChanged(int16_t(-7));
        QCOMPARE(label.text(), QStringLiteral("-007"));
        binding.valueChanged(uint16_t(65535));
        QCOMPARE(label.text(), QStringLiteral("65535"));

        // The debug grid finds the slot by the property's type name.
        const QMetaObject *mo = binding.metaObject();
        for (const char *type : {"int", "int16_t", "uint16_t"}) {
            const QByteArray signature = QByteArray("valueChanged(") + type + ")";
            QVERIFY2(mo->indexOfSlot(QMetaObject::normalizedSignature(signature)) >= 0,
                signature.constData());
        }
        QCOMPARE(mo->indexOfSlot("valueChanged(float)"), -1);

        SignalLabelBinding unbound(QStringLiteral("y"), nullptr);
        unbound.valueChanged(3);
    }

    void labelBindingScaled_data()
    {
        QTest::addColumn<float>("scale");
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("hundredths") << 0.01f << "A" << 2 << 1234 << "12.34A";
        QTest::newRow("whole") << 1.0f << "V" << 0 << 5 << "    5V";
        QTest::newRow("tenths") << 0.1f << QString::fromUtf8("\u00b0C") << 1 << 253
                                << QString::fromUtf8(" 25.3\u00b0C");
        QTest::newRow("percent of 4096") << 0.024420025f << "%" << 1 << 4095 << "100.0%";
        QTest::newRow("zero scale") << 0.0f << "x" << 0 << 9 << "    0x";
    }

    void labelBindingScaled()
    {
        QFETCH(float, scale);
        QFETCH(QString, suffix);
        QFETCH(int, decimals);
        QFETCH(int, value);
        QFETCH(QString, text);
        QLabel label;
        SignalLabelBindingF binding(QStringLiteral("v"), &label, scale, suffix);
        QCOMPARE(binding.decimals(), decimals);
        binding.valueChanged(value);
        QCOMPARE(label.text(), text);
        // Through the base class's typed slot as well.
        QVERIFY(
            QMetaObject::invokeMethod(&binding, "valueChanged", Q_ARG(int16_t, int16_t(value))));
        QCOMPARE(label.text(), text);
    }

    void frictionDialogEdits()
    {
        DeviceConfig config;
        config.set_frictionI(250);
        config.setParametersModified(false);
        FrictionTuneDialog dialog(&config);
        auto *spinP = dialog.findChild<QDoubleSpinBox *>(QStringLiteral("spin_P"));
        auto *spinI = dialog.findChild<QDoubleSpinBox *>(QStringLiteral("spin_I"));
        QVERIFY(spinP && spinI);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Friction PID Tune"));
        QCOMPARE(spinI->text(), QStringLiteral("2.50"));
        QVERIFY(!config.parametersModified());

        QVERIFY(showActive(&dialog));
        QSignalSpy apply(&dialog, &TuneDialog::apply);
        QSignalSpy changedI(&config, &DeviceConfig::frictionIChanged);
        // The value already stored: nothing is written.
        spinI->setFocus();
        spinI->findChild<QLineEdit *>()->selectAll();
        QTest::keyClicks(spinI, QStringLiteral("2.50"));
        QTest::keyClick(spinI, Qt::Key_Return);
        QCOMPARE(changedI.count(), 0);
        QVERIFY(!config.parametersModified());

        spinP->setFocus();
        spinP->findChild<QLineEdit *>()->selectAll();
        QTest::keyClicks(spinP, QStringLiteral("2.5"));
        QTest::keyClick(spinP, Qt::Key_Return);
        QCOMPARE(config.frictionP(), uint16_t(250));
        QVERIFY(config.parametersModified());

        // Enter in a field applies and keeps the dialog open.
        QCOMPARE(apply.count(), 2);
        QVERIFY(dialog.isVisible());
        auto *box = dialog.findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
        QTest::mouseClick(box->button(QDialogButtonBox::Apply), Qt::LeftButton);
        QCOMPARE(apply.count(), 3);
        QVERIFY(dialog.isVisible());
        QTest::mouseClick(box->button(QDialogButtonBox::Close), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
    }

    // Every stored value shows as hundredths and is never written back, including values
    // above 655.00 that a 655-maximum box would have clamped.
    void frictionDialogShowsEveryValue()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
        DeviceConfig config;
        FrictionTuneDialog dialog(&config);
        auto *spinD = dialog.findChild<QDoubleSpinBox *>(QStringLiteral("spin_D"));
        QSignalSpy changed(&config, &DeviceConfig::frictionDChanged);
        for (int v = 65535; v >= 0; --v) {
            config.set_frictionD(uint16_t(v));
            if (config.frictionD() != v)
                QFAIL(qPrintable(QStringLiteral("%1 became %2").arg(v).arg(config.frictionD())));
            const QString expected = QString::asprintf("%d.%02d", v / 100, v % 100);
            if (spinD->text() != expected)
                QFAIL(qPrintable(QStringLiteral("%1 shows %2").arg(v).arg(spinD->text())));
            if (FrictionTuneDialog::hundredthsFromValue(spinD->value()) != v)
                QFAIL(qPrintable(QStringLiteral("%1 reads back differently").arg(v)));
        }
        // One signal per value set here, none from the dialog.
        QCOMPARE(changed.count(), 65536);
        QLoggingCategory::setFilterRules(QString());
    }
};

QTEST_MAIN(TestSmallControls)
#include "tst_smallcontrols.moc"
