#include "configimage.h"
#include "configuratorresources.h"
#include "datapacket.h"
#include "deviceconfig.h"
#include "effectlistmodel.h"
#include "effectsettings.h"
#include "linkpeer.h"
#include "mappingchart.h"
#include "section.h"
#include "spinboxslider.h"
#include "tavikcomm.h"
#include "widgettesting.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMetaProperty>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTest>

#include <cmath>

using namespace widgettest;

namespace {

const char *const kValueNames[] = {"gain_pos_x", "gain_pos_y", "gain_neg_x", "gain_neg_y",
    "saturation_pos_x", "saturation_pos_y", "saturation_neg_x", "saturation_neg_y",
    "deadband_pos_x", "deadband_pos_y"};

// The spring panel's record fields, in the order of kValueNames.
const char *const kSpringFields[] = {"default_spring_coef_pos_x", "default_spring_coef_pos_y",
    "default_spring_coef_neg_x", "default_spring_coef_neg_y", "default_spring_saturation_pos_x",
    "default_spring_saturation_pos_y", "default_spring_saturation_neg_x",
    "default_spring_saturation_neg_y", "default_spring_deadband_x", "default_spring_deadband_y"};

QMetaMethod slotOf(const QObject *object, const QByteArray &name)
{
    const QMetaObject *mo = object->metaObject();
    return mo->method(mo->indexOfSlot(QMetaObject::normalizedSignature(name + "(int16_t)")));
}

QMetaMethod notifyOf(const QObject *object, const char *property)
{
    const QMetaObject *mo = object->metaObject();
    return mo->property(mo->indexOfProperty(property)).notifySignal();
}

// Binds panel values and record fields both ways, the way the main window does.
bool bind(EffectSettings *panel, DeviceConfig *config, const char *value, const char *field)
{
    return QObject::connect(
               panel, notifyOf(panel, value), config, slotOf(config, QByteArray("set_") + field))
        && QObject::connect(
            config, notifyOf(config, field), panel, slotOf(panel, QByteArray("set_") + value));
}

SpinBoxSlider *field(EffectSettings *panel, const char *name)
{
    return panel->findChild<SpinBoxSlider *>(QString::fromLatin1(name));
}

QAbstractButton *button(EffectSettings *panel, const char *name)
{
    return panel->findChild<QAbstractButton *>(QString::fromLatin1(name));
}

void type(QWidget *spin, const QString &text)
{
    spin->setFocus();
    spin->findChild<QLineEdit *>()->selectAll();
    QTest::keyClicks(spin, text);
    QTest::keyClick(spin, Qt::Key_Return);
}

} // namespace

class TestEffectSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QLocale::setDefault(QLocale::c());
        initConfiguratorResources();
        registerConfigMetaTypes();
    }

    void construction()
    {
        EffectSettings panel(QStringLiteral("Spring"), true, nullptr);
        QCOMPARE(panel.enableBox()->text(), QStringLiteral("Spring"));
        QCOMPARE(panel.enableBox()->objectName(), QStringLiteral("checkBox"));
        QVERIFY(panel.tuneButton()->isHidden());
        QCOMPARE(panel.filterBox()->objectName(), QStringLiteral("spin_filter"));
        QCOMPARE(panel.filterBox()->maximum(), 25.5);
        QCOMPARE(panel.filterBox()->decimals(), 1);
        QCOMPARE(panel.filterBox()->suffix(), QStringLiteral("Hz"));
        QCOMPARE(panel.extraLayout()->objectName(), QStringLiteral("l_extra_1"));
        QCOMPARE(panel.buttonsLayout()->objectName(), QStringLiteral("l_buttons"));
        for (const char *name : kValueNames) {
            SpinBoxSlider *spin = field(&panel, name);
            QVERIFY2(spin, name);
            QCOMPARE(spin->minimumRaw(), -4096);
            QCOMPARE(spin->maximumRaw(), 4096);
            QCOMPARE(spin->minimum(), -100.0);
        }
        for (const char *name :
            {"gain_lock", "gain_xylock", "saturation_lock", "saturation_xylock", "deadband_xylock"})
            QVERIFY2(button(&panel, name)->isChecked(), name);
        // The blocks start disabled; the filter does not depend on the enable box.
        QVERIFY(!panel.findChild<QWidget *>(QStringLiteral("gain_section"))->isEnabled());
        QVERIFY(!panel.findChild<QWidget *>(QStringLiteral("deadband"))->isEnabled());
        QVERIFY(panel.filterBox()->isEnabled());
        panel.enableBox()->setChecked(true);
        for (const char *name :
            {"gain_section", "saturation_section", "deadband", "label_x", "label_y"})
            QVERIFY2(panel.findChild<QWidget *>(QString::fromLatin1(name))->isEnabled(), name);
        panel.enableBox()->setChecked(false);
        for (const char *name : {"gain_section", "saturation_section", "deadband"})
            QVERIFY2(!panel.findChild<QWidget *>(QString::fromLatin1(name))->isEnabled(), name);
        QVERIFY(panel.filterBox()->isEnabled());

        // The property order is part of the interface.
        const QMetaObject *mo = panel.metaObject();
        const int first = mo->propertyOffset();
        const char *const order[] = {"gain_pos_x", "gain_pos_y", "gain_neg_x", "gain_neg_y",
            "deadband_pos_x", "deadband_pos_y", "deadband_neg_x", "deadband_neg_y",
            "saturation_pos_x", "saturation_pos_y", "saturation_neg_x", "saturation_neg_y"};
        for (int i = 0; i < 12; ++i)
            QCOMPARE(mo->property(first + i).name(), order[i]);
    }

    void advancedSection()
    {
        EffectSettings advanced(QStringLiteral("Damper"), true, nullptr);
        Section *section = advanced.advancedSection();
        QVERIFY(section);
        QCOMPARE(section->headerButton()->text(), QStringLiteral("Advanced"));
        QVERIFY(!section->isExpanded());
        auto *saturation = advanced.findChild<QWidget *>(QStringLiteral("saturation_section"));
        QVERIFY(section->bodyArea()->isAncestorOf(saturation));
        QVERIFY(section->bodyArea()->isAncestorOf(advanced.filterBox()));
        advanced.hideAdvanced(true);
        QVERIFY(section->isHidden());
        advanced.hideAdvanced(false);
        QVERIFY(!section->isHidden());

        EffectSettings plain(QStringLiteral("Static Force"), false, nullptr);
        QVERIFY(!plain.advancedSection());
        QVERIFY(plain.findChildren<Section *>().isEmpty());
        auto *frame = plain.findChild<QWidget *>(QStringLiteral("frame"));
        QCOMPARE(plain.findChild<QWidget *>(QStringLiteral("saturation_section"))->parentWidget(),
            frame);
        // Not applicable without the advanced block: does nothing.
        plain.hideAdvanced(true);
        QVERIFY(!plain.findChild<QWidget *>(QStringLiteral("saturation_section"))->isHidden());
    }

    void visibilityAndGroups()
    {
        EffectSettings panel(QStringLiteral("Endstops"), true, nullptr);
        panel.hideSaturation(true);
        QVERIFY(panel.findChild<QWidget *>(QStringLiteral("saturation_section"))->isHidden());
        panel.hideDeadband(true);
        for (const char *name :
            {"deadband_xylock", "deadband_pos_x", "deadband_pos_y", "deadband_label"})
            QVERIFY2(panel.findChild<QWidget *>(QString::fromLatin1(name))->isHidden(), name);
        panel.hideGain(true);
        QVERIFY(panel.findChild<QWidget *>(QStringLiteral("gain_section"))->isHidden());
        panel.hideFilter(true);
        QVERIFY(panel.filterBox()->isHidden());
        QVERIFY(panel.findChild<QWidget *>(QStringLiteral("label_filter"))->isHidden());
        panel.showMappingButton(false);
        QVERIFY(panel.findChild<QWidget *>(QStringLiteral("button_mapping"))->isHidden());

        panel.showNegativeGain(false);
        for (const char *name :
            {"gain_neg_x", "gain_neg_y", "gain_xylock", "gain_lock", "gain_chain"})
            QVERIFY2(panel.findChild<QWidget *>(QString::fromLatin1(name))->isHidden(), name);
        QVERIFY(!button(&panel, "gain_lock")->isChecked());
        QVERIFY(!button(&panel, "gain_xylock")->isChecked());
        panel.showNegativeGain(true);
        QVERIFY(button(&panel, "gain_lock")->isChecked());
        QVERIFY(button(&panel, "gain_xylock")->isChecked());

        panel.setGroupMinimum(EffectSettings::GainGroup, 409);
        panel.setGroupMaximum(EffectSettings::SaturationGroup, 2000);
        panel.setGroupMinimum(EffectSettings::DeadbandGroup, 0);
        panel.setGroupMaximum(3, 10);
        QCOMPARE(field(&panel, "gain_neg_y")->minimumRaw(), 409);
        QCOMPARE(field(&panel, "saturation_neg_x")->maximumRaw(), 2000);
        QCOMPARE(field(&panel, "deadband_pos_y")->minimumRaw(), 0);
        QCOMPARE(field(&panel, "gain_pos_x")->maximumRaw(), 4096);
        QTest::ignoreMessage(QtWarningMsg, "SpinBoxSlider: refusing raw maximum 0");
        QTest::ignoreMessage(QtWarningMsg, "SpinBoxSlider: refusing raw maximum 0");
        panel.setGroupMaximum(EffectSettings::DeadbandGroup, 0);
        QCOMPARE(field(&panel, "deadband_pos_x")->maximumRaw(), 4096);

        panel.setGroupTitle(EffectSettings::GainGroup, QStringLiteral("Max Position"));
        panel.setGroupTitle(EffectSettings::SaturationGroup, QStringLiteral("Endstop Power"));
        panel.setGroupTitle(EffectSettings::DeadbandGroup, QStringLiteral("Force"));
        panel.setGroupTitle(7, QStringLiteral("nothing"));
        QCOMPARE(panel.findChild<QLabel *>(QStringLiteral("label_gain"))->text(),
            QStringLiteral("Max Position"));
        QCOMPARE(panel.findChild<QLabel *>(QStringLiteral("saturation_label"))->text(),
            QStringLiteral("Endstop Power"));
        QCOMPARE(panel.findChild<QLabel *>(QStringLiteral("deadband_label"))->text(),
            QStringLiteral("Force"));
    }

    // Which values follow an edit, by the links that are checked.
    void linkedFields_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("lock");
        QTest::addColumn<bool>("xyLock");
        QTest::addColumn<QString>("edited");
        QTest::addColumn<QStringList>("following");
        for (const QString &kind : {QStringLiteral("gain"), QStringLiteral("saturation")}) {
            const QStringList all {
                kind + "_pos_x", kind + "_pos_y", kind + "_neg_x", kind + "_neg_y"};
            QTest::addRow("%s both locks", qPrintable(kind))
                << kind << true << true << kind + "_pos_x" << all;
            QTest::addRow("%s lock only, neg_y", qPrintable(kind))
                << kind << true << false << kind + "_neg_y"
                << QStringList {kind + "_neg_y", kind + "_pos_y"};
            QTest::addRow("%s lock only, pos_x", qPrintable(kind))
                << kind << true << false << kind + "_pos_x"
                << QStringList {kind + "_pos_x", kind + "_neg_x"};
            QTest::addRow("%s xy only, neg_x", qPrintable(kind))
                << kind << false << true << kind + "_neg_x"
                << QStringList {kind + "_neg_x", kind + "_neg_y"};
            QTest::addRow("%s xy only, pos_y", qPrintable(kind))
                << kind << false << true << kind + "_pos_y"
                << QStringList {kind + "_pos_y", kind + "_pos_x"};
            QTest::addRow("%s no links", qPrintable(kind))
                << kind << false << false << kind + "_neg_y" << QStringList {kind + "_neg_y"};
        }
        QTest::newRow("deadband linked") << "deadband" << false << true << "deadband_pos_y"
                                         << QStringList {"deadband_pos_y", "deadband_pos_x"};
        QTest::newRow("deadband apart")
            << "deadband" << false << false << "deadband_pos_x" << QStringList {"deadband_pos_x"};
    }

    void linkedFields()
    {
        QFETCH(QString, kind);
        QFETCH(bool, lock);
        QFETCH(bool, xyLock);
        QFETCH(QString, edited);
        QFETCH(QStringList, following);
        EffectSettings panel(QStringLiteral("Spring"), false, nullptr);
        panel.enableBox()->setChecked(true);
        if (QAbstractButton *b = button(&panel, qPrintable(kind + "_lock")))
            b->setChecked(lock);
        button(&panel, qPrintable(kind + "_xylock"))->setChecked(xyLock);
        QVERIFY(showActive(&panel));

        QList<QSignalSpy *> spies;
        for (const char *name : kValueNames)
            spies.append(new QSignalSpy(&panel, notifyOf(&panel, name)));
        type(field(&panel, qPrintable(edited)), QStringLiteral("50"));
        for (int i = 0; i < 10; ++i) {
            const char *name = kValueNames[i];
            const bool follows = following.contains(QLatin1String(name));
            QCOMPARE(panel.property(name).value<int16_t>(), int16_t(follows ? 2048 : 0));
            QCOMPARE(field(&panel, name)->rawValue(), follows ? 2048 : 0);
            QVERIFY2(spies[i]->count() == (follows ? 1 : 0), name);
        }
        qDeleteAll(spies);
    }

    void linksAreJudgedFromAllFourValues()
    {
        EffectSettings panel(QStringLiteral("Spring"), false, nullptr);
        // pos_y equal to pos_x and neg_y: both links stay.
        panel.set_gain_pos_x(100);
        panel.set_gain_neg_y(100);
        panel.set_gain_neg_x(100);
        panel.set_gain_pos_y(100);
        QCoreApplication::processEvents();
        QVERIFY(button(&panel, "gain_lock")->isChecked());
        QVERIFY(button(&panel, "gain_xylock")->isChecked());
        // pos_y differs from pos_x (XY link released) and from neg_y (± link released).
        panel.set_gain_pos_y(200);
        QCoreApplication::processEvents();
        QVERIFY(!button(&panel, "gain_xylock")->isChecked());
        QVERIFY(!button(&panel, "gain_lock")->isChecked());

        // Only the X pair differs while both Y values are equal: the ± link is released, so
        // an edit of pos_x no longer overwrites neg_x.
        panel.set_saturation_pos_x(4096);
        panel.set_saturation_neg_x(2048);
        panel.set_saturation_pos_y(4096);
        panel.set_saturation_neg_y(4096);
        QCoreApplication::processEvents();
        QVERIFY(!button(&panel, "saturation_lock")->isChecked());
        QVERIFY(!button(&panel, "saturation_xylock")->isChecked());
        panel.enableBox()->setChecked(true);
        QVERIFY(showActive(&panel));
        type(field(&panel, "saturation_pos_x"), QStringLiteral("75"));
        QCOMPARE(panel.saturation_pos_x(), int16_t(3072));
        QCOMPARE(panel.saturation_neg_x(), int16_t(2048));
        QCOMPARE(panel.saturation_pos_y(), int16_t(4096));

        panel.set_deadband_pos_x(10);
        QCoreApplication::processEvents();
        QVERIFY(!button(&panel, "deadband_xylock")->isChecked());
    }

    // Values arriving one after the other (a configuration) are judged when all are in; an edit
    // right after them is judged first.
    void linksWaitForTheWholeConfiguration()
    {
        EffectSettings panel(QStringLiteral("Spring"), false, nullptr);
        for (const char *name : kValueNames)
            panel.setProperty(name, QVariant::fromValue(int16_t(2048)));
        QCoreApplication::processEvents();
        for (const char *name :
            {"gain_lock", "gain_xylock", "saturation_lock", "saturation_xylock", "deadband_xylock"})
            QVERIFY2(button(&panel, name)->isChecked(), name);

        panel.enableBox()->setChecked(true);
        QVERIFY(showActive(&panel));
        panel.set_gain_neg_x(1000);
        // No event processing in between: the edit must not overwrite the differing value.
        field(&panel, "gain_pos_x")->setValue(3000);
        QCOMPARE(panel.gain_neg_x(), int16_t(1000));
        QCOMPARE(panel.gain_pos_x(), int16_t(3000));
        QVERIFY(!button(&panel, "gain_lock")->isChecked());
    }

    // A value from the record is shown but never written back, even when the field cannot
    // represent it exactly or it lies outside the field's range.
    void receivedValuesAreNotWrittenBack_data()
    {
        QTest::addColumn<int>("minimum");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("not a whole tenth") << -4096 << 4096 << 1000 << "24.4%";
        QTest::newRow("below an endstop minimum") << 409 << 4096 << 0 << "0.0%";
        QTest::newRow("above the maximum") << -4096 << 4096 << 5000 << "122.1%";
        QTest::newRow("above axis scaling") << 42 << 255 << 300 << "117.6%";
        QTest::newRow("below axis scaling") << 42 << 255 << 0 << "0.0%";
        QTest::newRow("negative") << -4096 << 4096 << -1001 << "-24.4%";
    }

    void receivedValuesAreNotWrittenBack()
    {
        QFETCH(int, minimum);
        QFETCH(int, maximum);
        QFETCH(int, value);
        QFETCH(QString, text);
        DeviceConfig config;
        EffectSettings panel(QStringLiteral("Spring"), true, nullptr);
        for (int g = 0; g < 3; ++g) {
            panel.setGroupMinimum(g, minimum);
            panel.setGroupMaximum(g, maximum);
        }
        for (int i = 0; i < 10; ++i)
            QVERIFY(bind(&panel, &config, kValueNames[i], kSpringFields[i]));
        panel.enableBox()->setChecked(true);
        QVERIFY(showActive(&panel));

        QList<QSignalSpy *> spies;
        for (const char *name : kSpringFields)
            spies.append(new QSignalSpy(&config, notifyOf(&config, name)));
        for (const char *name : kSpringFields)
            config.setProperty(name, QVariant::fromValue(int16_t(value)));
        config.setParametersModified(false);
        QCoreApplication::processEvents();
        // Passing through a field with the keyboard is not an edit either.
        field(&panel, "gain_pos_x")->setFocus();
        field(&panel, "gain_neg_y")->setFocus();
        QTest::keyClick(field(&panel, "gain_neg_y"), Qt::Key_Return);
        field(&panel, "deadband_pos_y")->setFocus();
        QCoreApplication::processEvents();

        for (int i = 0; i < 10; ++i) {
            QCOMPARE(config.property(kSpringFields[i]).value<int16_t>(), int16_t(value));
            // The default record holds 0, so a received 0 is no change.
            QCOMPARE(spies[i]->count(), value != 0 ? 1 : 0);
            QCOMPARE(panel.property(kValueNames[i]).value<int16_t>(), int16_t(value));
            QCOMPARE(field(&panel, kValueNames[i])->rawValue(), value);
            QCOMPARE(field(&panel, kValueNames[i])->text(),
                field(&panel, kValueNames[i])->prefix() + text);
        }
        QVERIFY(!config.parametersModified());
        for (const char *name :
            {"gain_lock", "gain_xylock", "saturation_lock", "saturation_xylock", "deadband_xylock"})
            QVERIFY2(button(&panel, name)->isChecked(), name);

        // A user's edit does reach the record.
        type(field(&panel, "gain_pos_y"), QStringLiteral("50"));
        const int edited = std::clamp(SpinBoxSlider::rawFromPercent(50, maximum), minimum, maximum);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(config.property(kSpringFields[i]).value<int16_t>(), int16_t(edited));
        QCOMPARE(config.default_spring_saturation_pos_x(), int16_t(value));
        QVERIFY(config.parametersModified());
        qDeleteAll(spies);
    }

    // The filter box holds tenths of a hertz: every stored byte is representable exactly.
    void filterBoxHoldsEveryTenth()
    {
        EffectSettings panel(QStringLiteral("Spring"), true, nullptr);
        QDoubleSpinBox *filter = panel.filterBox();
        for (int v = 0; v <= 255; ++v) {
            filter->setValue(static_cast<float>(v) / 10.0f);
            QCOMPARE(int(std::lround(filter->value() * 10.0)), v);
            QCOMPARE(filter->text(), QString::asprintf("%d.%dHz", v / 10, v % 10));
        }
    }

    void mappingButtonOpensTheDialog()
    {
        EffectSettings panel(QStringLiteral("Spring"), true, nullptr);
        panel.enableBox()->setChecked(true);
        QVERIFY(showActive(&panel));
        QTest::mouseClick(button(&panel, "button_mapping"), Qt::LeftButton);
        QVERIFY(panel.mappingDialog()->isVisible());
        QCOMPARE(panel.mappingDialog()->windowTitle(), QStringLiteral("Spring Mapping"));
        QVERIFY(!panel.mappingDialog()->isModal());
        QVERIFY(!panel.mappingDialog()->parent());
    }

    // A chart edit reaches the record through the window's binding, and Apply sends the
    // whole configuration, curve included, to the base.
    void applySendsTheEditedCurve()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
        DeviceConfig config;
        DataPacket data;
        EffectListModel effects;
        TavikComm comm(&config, &data, &effects);
        linkpeer::Pty base;
        QVERIFY(base.open());
        linkpeer::initPeer();
        comm.setPortOverride(base.slave);
        comm.start();
        QVERIFY(QTest::qWaitFor([&comm] { return comm.isConnected(); }, 5000));

        EffectSettings panel(QStringLiteral("Spring"), true, &comm);
        MappingDialog *dialog = panel.mappingDialog();
        MappingChart *chartX = dialog->chartX();
        QObject::connect(chartX, qOverload<DeviceMappingData>(&MappingChart::mappingChanged),
            &config, &DeviceConfig::set_spring_mapping);
        QObject::connect(
            &config, &DeviceConfig::spring_mappingChanged, chartX, &MappingChart::setMapping);
        QVERIFY(showActive(&panel));
        QTest::mouseClick(button(&panel, "button_mapping"), Qt::LeftButton);
        QVERIFY(QTest::qWaitForWindowExposed(dialog));

        drag(chartX->viewport(), chartX->viewportPosition({0.5, 0.5}),
            chartX->viewportPosition({0.5, 0.8}));
        const DeviceMappingData edited = config.spring_mapping();
        QCOMPARE(edited.count, uint8_t(5));
        QVERIFY(edited.y[3] > 95 && edited.y[3] < 108);
        QCOMPARE(edited.y[1], int8_t(-edited.y[3]));
        QVERIFY(config.parametersModified());

        linkpeer::feedPeer(linkpeer::drain(base.master));
        linkpeer::peerPackets().clear();
        auto *box = dialog->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
        QTest::mouseClick(box->button(QDialogButtonBox::Apply), Qt::LeftButton);
        QVERIFY(QTest::qWaitFor(
            [&base] {
                linkpeer::feedPeer(linkpeer::drain(base.master));
                return !linkpeer::peerPackets().isEmpty();
            },
            5000));
        const QByteArray sent = linkpeer::peerPackets().first();
        QCOMPARE(sent.at(0), char(2)); // apply configuration
        QCOMPARE(sent.mid(1), buildConfigImage(config));
        QLoggingCategory::setFilterRules(QString());
    }
};

QTEST_MAIN(TestEffectSettings)
#include "tst_effectsettings.moc"
