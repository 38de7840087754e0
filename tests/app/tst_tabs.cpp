// The Settings and Effects tabs through their binding rows: every row in both directions,
// values shown without being written back, the tabs' rules, and the "unsent changes" state
// against the simulated base served over a pty in this process.

#include "configbinder.h"
#include "configimage.h"
#include "configparameters.h"
#include "configuratorresources.h"
#include "datapacket.h"
#include "deviceconfig.h"
#include "effectlistmodel.h"
#include "effectsettings.h"
#include "effectstab.h"
#include "firmwaremodel.h"
#include "frictiontunedialog.h"
#include "idlistmodel.h"
#include "imagefields.h"
#include "mainwindow.h"
#include "mappingchart.h"
#include "mappingdialog.h"
#include "modalanswerer.h"
#include "settingslists.h"
#include "simulatedbase.h"
#include "spinboxslider.h"
#include "tavikcomm.h"
#include "unsentchanges.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

struct Rig
{
    DataPacket data;
    DeviceConfig config;
    EffectListModel effects;
    TavikComm comm {&config, &data, &effects};
    SimulatedBase sim;
    std::unique_ptr<MainWindow> window;
    int configsReceived = 0;
    int configsConsumed = 0;

    explicit Rig(bool build = true)
    {
        QObject::connect(&comm, &TavikComm::configReceived, [this] { ++configsReceived; });
        sim.setSeed(11);
        sim.setTelemetryRate(20);
        if (build)
            makeWindow();
    }
    ~Rig() { window.reset(); }

    void makeWindow()
    {
        window = std::make_unique<MainWindow>(&config, &comm, &data, &effects);
        window->resize(1215, 1000);
        window->show();
    }
    bool connect()
    {
        QString slave;
        if (!sim.open(&slave))
            return false;
        comm.setPortOverride(slave);
        comm.start();
        return QTest::qWaitFor([this] { return comm.isConnected(); }, 5000);
    }
    bool waitForConfig()
    {
        if (!QTest::qWaitFor([this] { return configsReceived > configsConsumed; }, 5000))
            return false;
        configsConsumed = configsReceived;
        return true;
    }
    template<typename T> T *find(const char *name) const
    {
        auto *w = window->findChild<T *>(QLatin1String(name));
        if (!w)
            qWarning("no %s", name);
        return w;
    }
    EffectSettings *panel(const char *name) const { return window->effectsTab()->panel(name); }
    ConfigBinder *binder() const { return window->binder(); }
    qint64 value(const char *parameter) const { return config.property(parameter).toLongLong(); }
    void showTab(const char *name)
    {
        auto *tabs = find<QTabWidget>("tabWidget");
        tabs->setCurrentWidget(find<QWidget>(name));
    }
    int received(uint8_t type) const { return sim.model().receivedCount(type); }
};

// Types a value into a spin box as a user would.
void typeInto(QAbstractSpinBox *spin, const QString &text, bool enter = true)
{
    spin->setFocus();
    spin->selectAll();
    QTest::keyClicks(spin, text);
    // Enter confirms; otherwise the value is taken as when the focus leaves the box.
    if (enter)
        QTest::keyClick(spin, Qt::Key_Enter);
    else
        spin->interpretText();
}

void clickBox(QAbstractButton *button)
{
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
}

// A value for every bound parameter that differs from the simulated firmware's default and
// that its control shows exactly.
qint64 nonDefaultValue(const ConfigBinder::BoundRow &row, qint64 current, int salt)
{
    const QByteArray &name = row.parameter;
    switch (row.conversion) {
    case Conversion::Not:
    case Conversion::State:
        return current ? 0 : 1;
    case Conversion::Tenths:
        return current == 123 ? 87 : 123;
    case Conversion::Fraction:
        return current == 128 ? 64 : 128;
    case Conversion::Percent: {
        const qint64 c = 5 + salt % 15;
        const qint64 p = BindingConversions::percentFromControl(c);
        return p == current ? BindingConversions::percentFromControl(c + 1) : p;
    }
    case Conversion::Id:
        if (name == "grip_type")
            return current == 7 ? 1 : 7;
        return current == 20 ? 16 : 20;
    case Conversion::Text:
    case Conversion::Same:
        break;
    }
    if (qobject_cast<QAbstractButton *>(row.control))
        return current ? 0 : 1;
    if (qobject_cast<QSlider *>(row.control))
        return current == 37 ? 38 : 37;
    if (name == "usb_pid")
        return current == 0x2053 ? 0x2054 : 0x2053;
    if (name.startsWith("scale_"))
        return current == 100 + salt % 50 ? 99 : 100 + salt % 50;
    if (name.startsWith("endstop_pos") || name.startsWith("endstop_neg"))
        return current == 1000 + salt ? 1001 + salt : 1000 + salt;
    if (name.startsWith("balance_spring"))
        return current == -500 - salt ? -501 - salt : -500 - salt;
    if (name.startsWith("spin_") || qobject_cast<QSpinBox *>(row.control)) {
        const auto *spin = qobject_cast<QSpinBox *>(row.control);
        const qint64 v = spin ? spin->minimum() + 1 + salt % 20 : 11;
        return v == current ? v + 1 : v;
    }
    return current == 1000 + salt * 3 ? 999 + salt * 3 : 1000 + salt * 3;
}

} // namespace

class TestTabs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void identifierLists();
    void reverseRows_data();
    void reverseRows();
    void forwardRows_data();
    void forwardRows();
    void initialRowsShownAtConstruction();
    void everyUint16FlagThroughItsControl();
    void shownValuesAreNeverWrittenBack_data();
    void shownValuesAreNeverWrittenBack();
    void unknownIdentifierKept();
    void typedNameLimitedToTwentyBytes();
    void potCalibrationAndDampingLayout();
    void axisLabelsAndRedRule_data();
    void axisLabelsAndRedRule();
    void axisDisabling();
    void axisScalingAgainstRescale();
    void gainMapLinkingAndMarker();
    void wheelOverUnfocusedControlScrolls();
    void dialogsDoNotOutliveTheWindow();
    void sessionEndAsksNothing();
    void gameControllerButton();

    void receivedConfigurationFillsEveryControl();
    void gripSelectionSendsOnlyWhenPicked();
    void sendsFromAnywhereLeaveNothingUnsent();
    void loadSettingsLeavesChangesToAsk();

private:
    // One window for the row tables (a window per row is slow under the sanitizers), with the
    // record back at its initial values as the base would report them.
    Rig &sharedRig();

    std::unique_ptr<Rig> m_shared;
    std::unique_ptr<ModalAnswerer> answerer;
    QTemporaryDir settingsHome;
};

void TestTabs::initTestCase()
{
    QVERIFY(settingsHome.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(settingsHome.path()));
    QCoreApplication::setOrganizationName(QStringLiteral("Tavik"));
    QCoreApplication::setApplicationName(QStringLiteral("BrontelFFB-tabs-test"));
    registerConfigMetaTypes();
    initConfiguratorResources();
}

void TestTabs::init()
{
    QSettings().clear();
    answerer = std::make_unique<ModalAnswerer>();
}

void TestTabs::cleanupTestCase()
{
    m_shared.reset();
}

void TestTabs::cleanup()
{
    QVERIFY2(answerer->unexpected().isEmpty(), qPrintable(answerer->unexpected().join("; ")));
    QCOMPARE(answerer->pending(), 0);
    answerer.reset();
}

Rig &TestTabs::sharedRig()
{
    if (!m_shared)
        m_shared = std::make_unique<Rig>();
    DeviceConfig initial;
    initial.set_usb_pid(0x2050);
    const BaseConfig::OriginScope scope(m_shared->config, BaseConfig::ChangeOrigin::ActiveConfig);
    applyConfigImage(m_shared->config, buildConfigImage(initial));
    return *m_shared;
}

void TestTabs::identifierLists()
{
    const QVector<QPair<QString, int>> pots
        = {{"Disabled", 0}, {"Master Gain", 1}, {"Periodic Effects Gain", 11}, {"Spring Gain", 12},
            {"Inertia Gain", 14}, {"Damper Gain", 13}, {"Friction Gain", 15},
            {"Constant Force Gain", 17}, {"Trim X", 18}, {"Trim Y", 19}, {"Axis: Slider", 16},
            {"Axis: Z", 20}, {"Axis: Rx", 21}, {"Axis: Ry", 22}, {"Axis: Rz", 23}};
    const QVector<QPair<QString, int>> grips
        = {{"Generic Grip", 0}, {"Generic Grip (64 Button, Realsimulator)", 3},
            {"Generic Grip (Debug)", 4}, {"Tavik Shift-Register", 2}, {"VPC T-50CM2", 1},
            {"VPC Constellation Alpha+Prime", 6}, {"VPC WarBrd", 5}, {"VPC V.F.X", 7},
            {"WinWing Adapter", 8}, {"Loopback", 9}, {"Disabled", 10}};
    Rig rig;
    const auto check = [](QComboBox *combo, const QVector<QPair<QString, int>> &expected) {
        QCOMPARE(combo->count(), expected.size());
        for (int i = 0; i < expected.size(); ++i) {
            QCOMPARE(combo->itemText(i), expected[i].first);
            QCOMPARE(combo->itemData(i, Qt::UserRole).toInt(), expected[i].second);
        }
    };
    check(rig.find<QComboBox>("cb_pot1"), pots);
    check(rig.find<QComboBox>("cb_pot2"), pots);
    check(rig.find<QComboBox>("cb_grip"), grips);
}

void TestTabs::reverseRows_data()
{
    QTest::addColumn<QByteArray>("control");
    QTest::addColumn<QByteArray>("parameter");
    QTest::addColumn<qint64>("stored");
    QTest::addColumn<QVariant>("shown");
    const auto row
        = [](const char *control, const char *parameter, qint64 stored, const QVariant &shown) {
              QTest::newRow(QByteArray(control).append(" ").append(QByteArray::number(stored)))
                  << QByteArray(control) << QByteArray(parameter) << stored << shown;
          };
    row("slider_master_gain", "master_gain", 77, 77);
    row("slider_constant", "global_constantf_gain", 55, 55);
    row("spin_spring_lpf", "spring_lpf_hz", 7, 0.7);
    row("spin_spring_lpf", "spring_lpf_hz", 123, 12.3);
    row("spin_max_psu_current", "max_psu_current", 123, 12.3);
    row("spin_neutral_damping_comp", "neutral_damping_comp", 1000, 24);
    row("spin_spring_damper_gain", "spring_prop_damper_gain", 1024, 25);
    row("spin_periodic_lpf", "periodic_lpf_hz", 200, 200);
    row("spin_pid", "usb_pid", 0x2054, 0x2054);
    row("spin_x_min", "x_angle_min", -1200, -1200);
    row("b_link_damping", "separate_xy_damping_comp", 0, true);
    row("b_link_damping", "separate_xy_damping_comp", 1, false);
    row("cb_usb_suspend", "usb_suspend_dis", 1, false);
    row("cb_buzzer", "buzzer_enable", 1, true);
    row("check_x_invert", "x_input_invert", 1, true);
    row("cb_hats_btn_3", "hats_as_buttons_3", 1, true);
    row("cb_pot1", "pot_1_func", 16, QStringLiteral("Axis: Slider"));
    row("cb_pot2", "pot_2_func", 13, QStringLiteral("Damper Gain"));
    row("cb_grip", "grip_type", 6, QStringLiteral("VPC Constellation Alpha+Prime"));
}

void TestTabs::reverseRows()
{
    QFETCH(QByteArray, control);
    QFETCH(QByteArray, parameter);
    QFETCH(qint64, stored);
    QFETCH(QVariant, shown);
    Rig &rig = sharedRig();
    const QMetaProperty property
        = rig.config.metaObject()->property(rig.config.metaObject()->indexOfProperty(parameter));
    // Away from the value first, so the notify signal surely runs.
    QVERIFY(
        property.write(&rig.config, ConfigBinder::integerVariant(property.userType(), stored ^ 1)));
    QVERIFY(property.write(&rig.config, ConfigBinder::integerVariant(property.userType(), stored)));
    QObject *c = rig.find<QObject>(control.constData());
    QVERIFY(c);
    if (auto *combo = qobject_cast<QComboBox *>(c))
        QCOMPARE(QVariant(combo->currentText()), shown);
    else if (auto *button = qobject_cast<QAbstractButton *>(c))
        QCOMPARE(QVariant(button->isChecked()), shown);
    else if (auto *spin = qobject_cast<QDoubleSpinBox *>(c))
        QCOMPARE(spin->value(), shown.toDouble());
    else if (auto *spin = qobject_cast<QSpinBox *>(c))
        QCOMPARE(spin->value(), shown.toInt());
    else if (auto *slider = qobject_cast<QSlider *>(c))
        QCOMPARE(slider->value(), shown.toInt());
    // Showing wrote nothing back.
    QCOMPARE(rig.value(parameter.constData()), stored);
}

void TestTabs::forwardRows_data()
{
    QTest::addColumn<QByteArray>("control");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QByteArray>("parameter");
    QTest::addColumn<qint64>("stored");
    QTest::newRow("spring lpf 12.3")
        << QByteArray("spin_spring_lpf") << "12.3" << QByteArray("spring_lpf_hz") << qint64(123);
    QTest::newRow("psu current 1.5") << QByteArray("spin_max_psu_current") << "1.5"
                                     << QByteArray("max_psu_current") << qint64(15);
    QTest::newRow("damping comp 25") << QByteArray("spin_neutral_damping_comp") << "25"
                                     << QByteArray("neutral_damping_comp") << qint64(1024);
    QTest::newRow("prop damping 200") << QByteArray("spin_spring_damper_gain") << "200"
                                      << QByteArray("spring_prop_damper_gain") << qint64(8192);
    QTest::newRow("max current") << QByteArray("spin_max_current") << "17"
                                 << QByteArray("max_drive_current") << qint64(17);
    QTest::newRow("x max") << QByteArray("spin_x_max") << "-300" << QByteArray("x_angle_max")
                           << qint64(-300);
    QTest::newRow("pid") << QByteArray("spin_pid") << "2053" << QByteArray("usb_pid")
                         << qint64(0x2053);
    QTest::newRow("accel pi") << QByteArray("spin_accel_pi_gain") << "10"
                              << QByteArray("acc_tracker_gain") << qint64(10);
    QTest::newRow("link damping click") << QByteArray("b_link_damping") << "click"
                                        << QByteArray("separate_xy_damping_comp") << qint64(1);
    QTest::newRow("suspend click")
        << QByteArray("cb_usb_suspend") << "click" << QByteArray("usb_suspend_dis") << qint64(1);
    QTest::newRow("buzzer click") << QByteArray("cb_buzzer") << "click"
                                  << QByteArray("buzzer_enable") << qint64(1);
    QTest::newRow("invert click") << QByteArray("check_y_invert") << "click"
                                  << QByteArray("y_input_invert") << qint64(1);
    QTest::newRow("swap click") << QByteArray("cb_swap_axes") << "click" << QByteArray("swap_xy")
                                << qint64(1);
    QTest::newRow("4-way hat click")
        << QByteArray("cb_hats_4w_2") << "click" << QByteArray("hats_fourway_2") << qint64(1);
    QTest::newRow("master gain key")
        << QByteArray("slider_master_gain") << "right" << QByteArray("master_gain") << qint64(1);
    QTest::newRow("pot 1 key") << QByteArray("cb_pot1") << "down" << QByteArray("pot_1_func")
                               << qint64(1);
    QTest::newRow("pot 2 keys") << QByteArray("cb_pot2") << "down down down"
                                << QByteArray("pot_2_func") << qint64(12);
}

void TestTabs::forwardRows()
{
    QFETCH(QByteArray, control);
    QFETCH(QString, input);
    QFETCH(QByteArray, parameter);
    QFETCH(qint64, stored);
    Rig &rig = sharedRig();
    rig.showTab("tab_settings");
    QWidget *c = rig.find<QWidget>(control.constData());
    QVERIFY(c);
    if (input == QLatin1String("click")) {
        clickBox(qobject_cast<QAbstractButton *>(c));
    } else if (input == QLatin1String("right")) {
        c->setFocus();
        QTest::keyClick(c, Qt::Key_Right);
    } else if (input.startsWith(QLatin1String("down"))) {
        c->setFocus();
        for (int i = 0; i < input.count(QLatin1String("down")); ++i)
            QTest::keyClick(c, Qt::Key_Down);
    } else {
        typeInto(qobject_cast<QAbstractSpinBox *>(c), input);
    }
    QCOMPARE(rig.value(parameter.constData()), stored);
    QVERIFY(rig.window->hasUnappliedChanges());
}

void TestTabs::initialRowsShownAtConstruction()
{
    Rig rig(false);
    // Values before the window exists; every "initial" row must show them at once.
    rig.config.set_global_constantf_gain(61);
    rig.config.set_hats_fourway_3(1);
    rig.config.set_max_drive_current(12);
    rig.config.set_max_psu_current(99);
    rig.config.set_separate_xy_damping_comp(1);
    rig.config.set_periodic_lpf_hz(40);
    rig.config.set_spring_lpf_hz(55);
    rig.config.set_friction_lpf_hz(250);
    rig.config.set_acc_tracker_gain(10);
    rig.config.set_buzzer_enable(1);
    rig.config.set_usb_suspend_dis(1);
    rig.config.set_usb_pid(0x2052);
    rig.config.set_axis_force_comp_x(190);
    rig.config.set_y_disable(1);
    rig.config.set_swap_xy(1);
    rig.config.set_default_damper_en(1);
    rig.config.set_override_inertia_disable(1);
    rig.config.set_endstop_scale_axis(1);
    rig.config.set_separate_damper_mapping(1);
    rig.makeWindow();
    int initial = 0;
    const QList<ConfigBinder::BoundRow> rows = rig.binder()->rows();
    for (int i = 0; i < rows.size(); ++i) {
        if (!rows[i].initial)
            continue;
        ++initial;
        QCOMPARE(
            rig.binder()->controlValue(i).toLongLong(), rig.value(rows[i].parameter.constData()));
    }
    QVERIFY(initial >= 40);
    QVERIFY(!rig.window->hasUnappliedChanges());
}

void TestTabs::everyUint16FlagThroughItsControl()
{
    Rig rig;
    QStringList unbound;
    int driven = 0;
    for (const ConfigParameter &p : configParameters()) {
        if (p.kind != ConfigKind::Flag16)
            continue;
        auto *button = qobject_cast<QAbstractButton *>(rig.binder()->controlOf(p.name));
        if (!button) {
            unbound << QString::fromLatin1(p.name);
            continue;
        }
        QVERIFY2(button->isEnabled() || !button->isEnabled(), p.name);
        const bool wasEnabled = button->isEnabled();
        button->setEnabled(true);
        const qint64 before = rig.value(p.name);
        button->click();
        QVERIFY2(rig.value(p.name) == (before ? 0 : 1), p.name);
        button->click();
        QVERIFY2(rig.value(p.name) == before, p.name);
        button->setEnabled(wasEnabled);
        ++driven;
    }
    // The flags the window offers no control for.
    const QStringList expected = {QStringLiteral("separate_friction_mapping"),
        QStringLiteral("hw_trim_enabled"), QStringLiteral("hires_mode_enable"),
        QStringLiteral("hw_trim_override"), QStringLiteral("_reserved")};
    for (const QString &name : unbound)
        QVERIFY2(expected.contains(name), qPrintable(name));
    QVERIFY(driven >= 11);
}

void TestTabs::shownValuesAreNeverWrittenBack_data()
{
    QTest::addColumn<QByteArray>("parameter");
    QTest::addColumn<qint64>("stored");
    QTest::newRow("pid outside 0x2050..0x2055") << QByteArray("usb_pid") << qint64(0x2001);
    QTest::newRow("filter above 25.0") << QByteArray("spring_lpf_hz") << qint64(255);
    QTest::newRow("psu above 25.0") << QByteArray("max_psu_current") << qint64(200);
    QTest::newRow("gain above 100") << QByteArray("master_gain") << qint64(150);
    QTest::newRow("percent not exact") << QByteArray("neutral_damping_comp") << qint64(1000);
    QTest::newRow("max current above 30") << QByteArray("max_drive_current") << qint64(90);
    QTest::newRow("unknown pot") << QByteArray("pot_1_func") << qint64(2);
    QTest::newRow("unknown grip") << QByteArray("grip_type") << qint64(42);
    QTest::newRow("scale below 42") << QByteArray("scale_pos_x") << qint64(3);
    QTest::newRow("endstop below 409") << QByteArray("endstop_pos_x") << qint64(100);
    QTest::newRow("gain beyond 100 %") << QByteArray("default_spring_coef_neg_y") << qint64(-5000);
}

void TestTabs::shownValuesAreNeverWrittenBack()
{
    QFETCH(QByteArray, parameter);
    QFETCH(qint64, stored);
    Rig rig;
    DeviceConfig source;
    const QMetaProperty property
        = source.metaObject()->property(source.metaObject()->indexOfProperty(parameter));
    QVERIFY(property.write(&source, ConfigBinder::integerVariant(property.userType(), stored)));
    {
        const BaseConfig::OriginScope scope(rig.config, BaseConfig::ChangeOrigin::ActiveConfig);
        QCOMPARE(applyConfigImage(rig.config, buildConfigImage(source)), ImageCheck::Ok);
    }
    QTest::qWait(50);
    QCOMPARE(rig.value(parameter.constData()), stored);
    QVERIFY(!rig.window->hasUnappliedChanges());
}

void TestTabs::unknownIdentifierKept()
{
    Rig rig;
    rig.config.set_pot_1_func(2);
    auto *pot1 = rig.find<QComboBox>("cb_pot1");
    QCOMPARE(pot1->currentText(), QStringLiteral("Unknown (2)"));
    QCOMPARE(int(rig.config.pot_1_func()), 2);
    // The other combo box does not offer it.
    QCOMPARE(rig.find<QComboBox>("cb_pot2")->findText(QStringLiteral("Unknown (2)")), -1);
    // A known value again, then another unknown one: one extra row at most.
    rig.config.set_pot_1_func(12);
    QCOMPARE(pot1->currentText(), QStringLiteral("Spring Gain"));
    rig.config.set_pot_1_func(99);
    QCOMPARE(pot1->currentText(), QStringLiteral("Unknown (99)"));
    QCOMPARE(pot1->count(), potFunctionList().size() + 1);

    const int sent = rig.comm.property("sent").toInt();
    Q_UNUSED(sent)
    rig.config.set_grip_type(2);
    rig.config.set_grip_type(77);
    QCOMPARE(rig.find<QComboBox>("cb_grip")->currentText(), QStringLiteral("Unknown (77)"));
    QCOMPARE(int(rig.config.grip_type()), 77);
}

void TestTabs::typedNameLimitedToTwentyBytes()
{
    Rig rig;
    rig.showTab("tab_settings");
    auto *edit = rig.find<QLineEdit>("ln_config_name");
    edit->setFocus();
    // As typed (QTest cannot type characters outside ASCII).
    edit->insert(QString(14, QChar(0x00e9)));
    QCOMPARE(rig.config.config_name().length(), 20);
    QCOMPARE(rig.config.config_name().toString(), QString(10, QChar(0x00e9)));
    QCOMPARE(edit->text(), QString(10, QChar(0x00e9)));
    QVERIFY(rig.window->windowTitle().endsWith(QString(10, QChar(0x00e9)) + QStringLiteral(" *")));
}

void TestTabs::potCalibrationAndDampingLayout()
{
    Rig rig;
    rig.showTab("tab_settings");
    auto *x = rig.find<QSpinBox>("spin_neutral_damping_comp");
    auto *y = rig.find<QSpinBox>("spin_neutral_damping_comp_y");
    auto *link = rig.find<QPushButton>("b_link_damping");
    // Linked (flag 0): one box, no prefix.
    QVERIFY(link->isChecked());
    QVERIFY(!y->isVisible());
    QCOMPARE(x->prefix(), QString());
    // Unchecking the link separates the axes and shows the Y box.
    link->click();
    QCOMPARE(int(rig.config.separate_xy_damping_comp()), 1);
    QVERIFY(y->isVisible());
    QCOMPARE(x->prefix(), QStringLiteral("X:"));
    QCOMPARE(y->prefix(), QStringLiteral("Y:"));
    rig.config.set_separate_xy_damping_comp(0);
    QVERIFY(!y->isVisible());
    QVERIFY(link->isChecked());
}

void TestTabs::axisLabelsAndRedRule_data()
{
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::addColumn<QString>("center");
    QTest::addColumn<QString>("range");
    QTest::addColumn<bool>("red");
    QTest::newRow("3200 is normal") << 3000 << 3400 << "3200"
                                    << "0400" << false;
    QTest::newRow("1000 is normal") << 0 << 2000 << "1000"
                                    << "2000" << false;
    QTest::newRow("above 3200 red") << 3002 << 3402 << "3202"
                                    << "0400" << true;
    QTest::newRow("below 1000 red") << 0 << 1998 << "0999"
                                    << "1998" << true;
    QTest::newRow("reversed range") << 4000 << 100 << "2050"
                                    << "3900" << false;
}

void TestTabs::axisLabelsAndRedRule()
{
    QFETCH(int, min);
    QFETCH(int, max);
    QFETCH(QString, center);
    QFETCH(QString, range);
    QFETCH(bool, red);
    Rig rig;
    rig.config.set_y_angle_min(int16_t(min));
    rig.config.set_y_angle_max(int16_t(max));
    QCOMPARE(rig.find<QLabel>("l_center_y")->text(), center);
    QCOMPARE(rig.find<QLabel>("l_range_y")->text(), range);
    QCOMPARE(rig.find<QLabel>("l_center_y")->styleSheet(),
        red ? QStringLiteral("color: red;") : QString());
}

void TestTabs::axisDisabling()
{
    Rig rig;
    rig.showTab("tab_settings");
    clickBox(rig.find<QCheckBox>("check_disable_x"));
    QCOMPARE(int(rig.config.x_disable()), 1);
    for (const char *name : {"spin_x_max", "spin_x_min", "check_x_invert"})
        QVERIFY2(!rig.find<QWidget>(name)->isEnabled(), name);
    QVERIFY(rig.find<QWidget>("spin_y_min")->isEnabled());
    rig.config.set_x_disable(0);
    QVERIFY(rig.find<QWidget>("spin_x_min")->isEnabled());
    rig.config.set_y_disable(1);
    QVERIFY(!rig.find<QWidget>("check_y_invert")->isEnabled());
}

void TestTabs::axisScalingAgainstRescale()
{
    Rig rig;
    rig.showTab("tab_effects");
    auto *rescale
        = rig.panel("effect_endstops")->findChild<QCheckBox *>(QStringLiteral("cb_rescale_axes"));
    QCheckBox *scaling = rig.panel("effect_axis_scaling")->enableBox();
    rescale->click();
    QCOMPARE(int(rig.config.endstop_scale_axis()), 1);
    // The user enables Axis Scaling: Rescale axes is disabled and cleared.
    scaling->click();
    QCOMPARE(int(rig.config.axis_scale_enable()), 1);
    QVERIFY(!rescale->isEnabled());
    QVERIFY(!rescale->isChecked());
    QCOMPARE(int(rig.config.endstop_scale_axis()), 0);
    scaling->click();
    QVERIFY(rescale->isEnabled());

    // A received configuration with both set only disables the box; the value stays.
    DeviceConfig source;
    source.set_axis_scale_enable(1);
    source.set_endstop_scale_axis(1);
    {
        const BaseConfig::OriginScope scope(rig.config, BaseConfig::ChangeOrigin::ActiveConfig);
        QCOMPARE(applyConfigImage(rig.config, buildConfigImage(source)), ImageCheck::Ok);
    }
    QVERIFY(!rescale->isEnabled());
    QVERIFY(rescale->isChecked());
    QCOMPARE(int(rig.config.endstop_scale_axis()), 1);
}

void TestTabs::gainMapLinkingAndMarker()
{
    Rig rig;
    MappingDialog *dialog = rig.panel("effect_damper")->mappingDialog();
    DeviceMappingData curve;
    curve.count = 3;
    const int8_t xs[] = {-127, 0, 127};
    const int8_t ys[] = {-100, 0, 90};
    std::copy(xs, xs + 3, curve.x);
    std::copy(ys, ys + 3, curve.y);
    std::fill(curve.x + 3, curve.x + 10, 0);
    std::fill(curve.y + 3, curve.y + 10, 0);
    // Not separate: the X chart writes both axes.
    QVERIFY(!dialog->separateAxisBox()->isChecked());
    Q_EMIT dialog->chartX()->mappingChanged(curve);
    QVERIFY(rig.config.damper_mapping() == curve);
    QVERIFY(rig.config.damper_mapping_y() == curve);
    // Separate: each chart its own.
    dialog->separateAxisBox()->click();
    QCOMPARE(int(rig.config.separate_damper_mapping()), 1);
    DeviceMappingData other = curve;
    other.y[2] = 50;
    Q_EMIT dialog->chartY()->mappingChanged(other);
    QVERIFY(rig.config.damper_mapping_y() == other);
    QVERIFY(rig.config.damper_mapping() == curve);
    // A stored curve is shown in its chart.
    rig.config.set_damper_mapping(other);
    QVERIFY(dialog->chartX()->mapping() == other);

    // The spring charts follow the stick (1/4096 per unit).
    MappingDialog *spring = rig.panel("effect_spring")->mappingDialog();
    rig.data.set_x(2048);
    rig.data.set_y(-4096);
    QCOMPARE(spring->chartX()->currentValue(), 0.5f);
    QCOMPARE(spring->chartY()->currentValue(), -1.0f);
}

void TestTabs::wheelOverUnfocusedControlScrolls()
{
    Rig rig;
    rig.window->resize(900, 500);
    rig.showTab("tab_effects");
    QTest::qWait(50);
    auto *area = rig.find<QScrollArea>("scrollArea");
    // Short enough that the panels need scrolling.
    area->setFixedHeight(240);
    QTest::qWait(50);
    EffectSettings *spring = rig.panel("effect_spring");
    auto *field = spring->findChild<SpinBoxSlider *>(QStringLiteral("gain_pos_x"));
    spring->enableBox()->click();
    QVERIFY(field->isEnabled());
    const int before = field->rawValue();
    const int scrollBefore = area->verticalScrollBar()->value();
    QVERIFY2(area->verticalScrollBar()->maximum() > 0,
        qPrintable(QStringLiteral("%1x%2 in %3x%4")
                       .arg(area->widget()->width())
                       .arg(area->widget()->height())
                       .arg(area->viewport()->width())
                       .arg(area->viewport()->height())));
    const QPoint pos = field->rect().center();
    QWheelEvent wheel(pos, field->mapToGlobal(pos), QPoint(), QPoint(0, -120), Qt::NoButton,
        Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(field, &wheel);
    QCOMPARE(field->rawValue(), before);
    QVERIFY(area->verticalScrollBar()->value() > scrollBefore);

    auto *slider = rig.find<QSlider>("slider_master_gain");
    const int gain = slider->value();
    QWheelEvent wheel2(QPoint(5, 5), slider->mapToGlobal(QPoint(5, 5)), QPoint(), QPoint(0, 120),
        Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(slider, &wheel2);
    QCOMPARE(slider->value(), gain);
    QCOMPARE(int(rig.config.master_gain()), gain);
}

void TestTabs::dialogsDoNotOutliveTheWindow()
{
    Rig rig;
    rig.showTab("tab_effects");
    EffectSettings *spring = rig.panel("effect_spring");
    auto *open = spring->findChild<QPushButton *>(QStringLiteral("button_mapping"));
    open->click();
    MappingDialog *dialog = spring->mappingDialog();
    QVERIFY(dialog->isVisible());
    QVERIFY(!dialog->testAttribute(Qt::WA_QuitOnClose));
    QVERIFY(rig.window->close());
    QVERIFY(!dialog->isVisible());
}

void TestTabs::sessionEndAsksNothing()
{
    Rig rig;
    rig.config.set_master_gain(rig.config.master_gain() ^ 3);
    QVERIFY(rig.window->hasUnappliedChanges());
    rig.window->prepareForSessionEnd();
    // No question (cleanup() fails on any dialog).
    QVERIFY(rig.window->close());
}

void TestTabs::gameControllerButton()
{
    QTemporaryDir bin;
    QVERIFY(bin.isValid());
    const QByteArray oldPath = qgetenv("PATH");
    {
        qputenv("PATH", QFile::encodeName(bin.path()));
        Rig rig;
        QVERIFY(rig.find<QPushButton>("b_joycpl")->isHidden());
    }
    // An installed test tool: the button starts it.
    const QString marker = bin.filePath(QStringLiteral("started"));
    QFile tool(bin.filePath(QStringLiteral("antimicrox")));
    QVERIFY(tool.open(QIODevice::WriteOnly));
    tool.write(QStringLiteral("#!/bin/sh\n: > '%1'\n").arg(marker).toUtf8());
    tool.close();
    tool.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    {
        Rig rig;
        qputenv("PATH", oldPath);
        auto *button = rig.find<QPushButton>("b_joycpl");
        QVERIFY(!button->isHidden());
        QTest::mousePress(button, Qt::LeftButton);
        QTest::mouseRelease(button, Qt::LeftButton);
        QTRY_VERIFY(QFile::exists(marker));
    }
    qputenv("PATH", oldPath);
}

void TestTabs::receivedConfigurationFillsEveryControl()
{
    Rig rig;
    // Every bound field gets a value other than the firmware default that its control shows.
    QByteArray image = rig.sim.model().activeImage();
    const QList<ConfigBinder::BoundRow> rows = rig.binder()->rows();
    int salt = 0;
    for (const ConfigBinder::BoundRow &row : rows) {
        ++salt;
        if (row.conversion == Conversion::Text) {
            QVERIFY(ImageFields::writeBytes(image, row.parameter.constData(),
                row.parameter == "device_name" ? QByteArray("Sim Left") : QByteArray("Rig Cfg")));
            continue;
        }
        const qint64 current = ImageFields::read(image, row.parameter.constData());
        QVERIFY2(ImageFields::write(
                     image, row.parameter.constData(), nonDefaultValue(row, current, salt)),
            row.parameter.constData());
    }
    DeviceMappingData curve;
    curve.count = 3;
    const int8_t pts[] = {-127, 0, 127, 0, 0, 0, 0, 0, 0, 0};
    std::copy(pts, pts + 10, curve.x);
    const int8_t ys[] = {-90, 0, 110, 0, 0, 0, 0, 0, 0, 0};
    std::copy(ys, ys + 10, curve.y);
    QVERIFY(ImageFields::writeBytes(image, "inertia_mapping_y",
        QByteArray(reinterpret_cast<const char *>(&curve), sizeof curve)));
    QVERIFY(rig.sim.model().applyImage(image));
    const QByteArray sent = rig.sim.model().activeImage();

    QVERIFY(rig.connect());
    QVERIFY(rig.waitForConfig());
    QTest::qWait(100);
    for (int i = 0; i < rows.size(); ++i) {
        const QVariant shown = rig.binder()->controlValue(i);
        const QVariant stored = rig.config.property(rows[i].parameter.constData());
        QVERIFY2(shown == stored,
            qPrintable(QStringLiteral("%1 shows %2, stored %3")
                           .arg(QString::fromLatin1(rows[i].parameter), shown.toString(),
                               stored.toString())));
    }
    QVERIFY(rig.panel("effect_inertia")->mappingDialog()->chartY()->mapping() == curve);
    QVERIFY(!rig.config.parametersModified());
    QVERIFY(!rig.window->hasUnappliedChanges());
    QCOMPARE(buildConfigImage(rig.config), sent);

    // One edit and Apply change exactly that field of the base's active image.
    rig.showTab("tab_settings");
    typeInto(rig.find<QDoubleSpinBox>("spin_damper_lpf"), QStringLiteral("4.5"));
    QVERIFY(rig.window->hasUnappliedChanges());
    QByteArray expected = sent;
    QVERIFY(ImageFields::write(expected, "damper_lpf_hz", 45));
    rig.find<QPushButton>("button_write_config")->click();
    QTRY_COMPARE(rig.sim.model().activeImage(), expected);
    QVERIFY(!rig.window->hasUnappliedChanges());
}

void TestTabs::gripSelectionSendsOnlyWhenPicked()
{
    Rig rig;
    QVERIFY(rig.connect());
    QVERIFY(rig.waitForConfig());
    rig.showTab("tab_settings");
    auto *grip = rig.find<QComboBox>("cb_grip");
    const int applies = rig.received(2);
    // A received grip change sends nothing.
    QByteArray image = rig.sim.model().activeImage();
    QVERIFY(ImageFields::write(image, "grip_type", 5));
    QVERIFY(rig.sim.model().applyImage(image));
    rig.find<QPushButton>("button_revert")->click();
    QVERIFY(rig.waitForConfig());
    QCOMPARE(grip->currentText(), QStringLiteral("VPC WarBrd"));
    QTest::qWait(200);
    QCOMPARE(rig.received(2), applies);
    // The user picks a grip: the base gets it at once.
    grip->setFocus();
    QTest::keyClick(grip, Qt::Key_Down);
    QCOMPARE(int(rig.config.grip_type()), 7);
    QTRY_COMPARE(rig.received(2), applies + 1);
    QTRY_COMPARE(rig.sim.model().activeField("grip_type"), 7);
    QVERIFY(!rig.window->hasUnappliedChanges());
}

void TestTabs::sendsFromAnywhereLeaveNothingUnsent()
{
    Rig rig;
    QVERIFY(rig.connect());
    QVERIFY(rig.waitForConfig());
    rig.showTab("tab_effects");

    // The gain-map dialog's Apply.
    rig.config.set_master_gain(rig.config.master_gain() ^ 1);
    QVERIFY(rig.window->hasUnappliedChanges());
    MappingDialog *dialog = rig.panel("effect_spring")->mappingDialog();
    dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Apply)->click();
    QTRY_COMPARE(rig.sim.model().activeImage(), buildConfigImage(rig.config));
    QVERIFY(!rig.window->hasUnappliedChanges());

    // The friction dialog's Apply.
    answerer->expect([&](QDialog *d) {
        auto *tune = qobject_cast<FrictionTuneDialog *>(d);
        QVERIFY(tune);
        auto *p = tune->findChild<QDoubleSpinBox *>(QStringLiteral("spin_P"));
        // No Enter: in a dialog it would press the default button.
        typeInto(p, QStringLiteral("3.7"), false);
        QCOMPARE(int(rig.config.frictionP()), 370);
        QVERIFY(rig.window->hasUnappliedChanges());
        tune->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Apply)->click();
        tune->reject();
    });
    rig.panel("effect_friction")->tuneButton()->click();
    QTRY_COMPARE(rig.sim.model().activeField("frictionP"), 370);
    QVERIFY(!rig.window->hasUnappliedChanges());
    // Closing asks nothing now (cleanup() fails on any dialog).
    QVERIFY(rig.window->close());
}

void TestTabs::loadSettingsLeavesChangesToAsk()
{
    Rig rig;
    QVERIFY(rig.connect());
    QVERIFY(rig.waitForConfig());
    // The base runs a configuration other than its stored one.
    QByteArray image = rig.sim.model().activeImage();
    QVERIFY(ImageFields::write(image, "trim_rate", ImageFields::read(image, "trim_rate") ^ 8));
    QVERIFY(rig.sim.model().applyImage(image));
    rig.find<QPushButton>("button_revert")->click();
    QVERIFY(rig.waitForConfig());
    QVERIFY(!rig.window->hasUnappliedChanges());

    QSignalSpy states(
        rig.window->findChild<UnsentChanges *>(), &UnsentChanges::unsentChangesChanged);
    rig.find<QPushButton>("button_reload_config")->click();
    QVERIFY(rig.waitForConfig());
    QCOMPARE(buildConfigImage(rig.config), rig.sim.model().storedImage());
    // The window shows the stored values; the base still runs the others: one change of state.
    QVERIFY(rig.window->hasUnappliedChanges());
    QCOMPARE(states.count(), 1);
    answerer->expectMessageBox(QMessageBox::Discard);
    QVERIFY(rig.window->close());
    QCOMPARE(answerer->answered().size(), 1);
}

QTEST_MAIN(TestTabs)
#include "tst_tabs.moc"
