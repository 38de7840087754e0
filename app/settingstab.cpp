#include "settingstab.h"

#include "applog.h"
#include "bindingrow.h"
#include "configbinder.h"
#include "deviceconfig.h"
#include "gamecontrollerpanel.h"
#include "idlistmodel.h"
#include "paddedspinbox.h"
#include "settingslists.h"
#include "tavikcomm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

using C = Conversion;

// Gains: slider, percent label, row caption (and its object name where the form names it).
struct GainRow
{
    const char *caption;
    const char *captionName;
    const char *slider;
    const char *percentLabel;
};

const GainRow kGainRows[] = {
    {"Master Gain", "label_master_gain_caption", "slider_master_gain", "label_master_gain"},
    {"Audio Gain", "audio_lbl", "slider_audio", "label_audio"},
    {"Periodic Effects", "label_2", "slider_effects", "label_effects"},
    {"Spring", "label_spring_caption", "slider_spring", "label_spring"},
    {"Damper", "label_damper_caption", "slider_damper", "label_damper"},
    {"Inertia", "label_inertia_caption", "slider_inertia", "label_inertia"},
    {"Friction", "label_friction_caption", "slider_friction", "label_friction"},
    {"Constant", "label_33", "slider_constant", "label_constant"},
};

constexpr ControlRange kGainRange {0, 100};
constexpr ControlRange kFilterRange {0, 25.0, 0.1, 1, " Hz"};

const BindingRow kSettingsRows[] = {
    {"slider_master_gain", "master_gain", C::Same, false, kGainRange},
    {"slider_audio", "audio_gain", C::Same, false, kGainRange},
    {"slider_effects", "effects_gain", C::Same, false, kGainRange},
    {"slider_spring", "global_spring_gain", C::Same, false, kGainRange},
    {"slider_damper", "global_damper_gain", C::Same, false, kGainRange},
    {"slider_inertia", "global_inertia_gain", C::Same, false, kGainRange},
    {"slider_friction", "global_friction_gain", C::Same, false, kGainRange},
    {"slider_constant", "global_constantf_gain", C::Same, true, kGainRange},

    {"cb_pot1", "pot_1_func", C::Id, false},
    {"cb_pot2", "pot_2_func", C::Id, false},
    {"cb_grip", "grip_type", C::Id, false},
    {"cb_hats_4w_1", "hats_fourway_1", C::Same, true},
    {"cb_hats_4w_2", "hats_fourway_2", C::Same, true},
    {"cb_hats_4w_3", "hats_fourway_3", C::Same, true},
    {"cb_hats_4w_4", "hats_fourway_4", C::Same, true},
    {"cb_hats_btn_1", "hats_as_buttons_1", C::Same, true},
    {"cb_hats_btn_2", "hats_as_buttons_2", C::Same, true},
    {"cb_hats_btn_3", "hats_as_buttons_3", C::Same, true},
    {"cb_hats_btn_4", "hats_as_buttons_4", C::Same, true},

    {"spin_max_current", "max_drive_current", C::Same, true, {0, 30, 0, -1, " A"}},
    {"spin_max_psu_current", "max_psu_current", C::Tenths, true, {0, 25.0, 0.1, 1, " A"}},
    {"b_link_damping", "separate_xy_damping_comp", C::Not, true},
    {"spin_neutral_damping_comp", "neutral_damping_comp", C::Percent, false,
        {0, 25, 0, -1, " %", "X:"}},
    {"spin_neutral_damping_comp_y", "neutral_damping_comp_y", C::Percent, false,
        {0, 25, 0, -1, " %", "Y:"}},
    {"spin_spring_damper_gain", "spring_prop_damper_gain", C::Percent, false,
        {0, 200, 0, -1, " %"}},
    {"spin_periodic_lpf", "periodic_lpf_hz", C::Same, true, {0, 255, 0, -1, " Hz"}},
    {"spin_const_lpf", "constant_lpf_hz", C::Tenths, true, {0, 25.0, 1.0, 1, " Hz"}},
    {"spin_spring_lpf", "spring_lpf_hz", C::Tenths, true, kFilterRange},
    {"spin_damper_lpf", "damper_lpf_hz", C::Tenths, true, kFilterRange},
    {"spin_inertia_lpf", "inertia_lpf_hz", C::Tenths, true, kFilterRange},
    {"spin_frict_lpf", "friction_lpf_hz", C::Tenths, true, kFilterRange},
    {"spin_accel_pi_gain", "acc_tracker_gain", C::Same, true, {0, 255}},
    {"cb_buzzer", "buzzer_enable", C::Same, true},
    {"cb_usb_suspend", "usb_suspend_dis", C::Not, true},
    {"ln_device_name", "device_name", C::Text, false},
    {"spin_pid", "usb_pid", C::Same, true, {0x2050, 0x2055}},
    {"ln_config_name", "config_name", C::Text, false},

    {"spin_x_min", "x_angle_min", C::Same, false, {-32768, 32767}},
    {"spin_x_max", "x_angle_max", C::Same, false, {-32768, 32767}},
    {"spin_y_min", "y_angle_min", C::Same, false, {-32768, 32767}},
    {"spin_y_max", "y_angle_max", C::Same, false, {-32768, 32767}},
    {"spin_x_comp", "axis_force_comp_x", C::Same, true, {0, 255}},
    {"spin_y_comp", "axis_force_comp_y", C::Same, true, {0, 255}},
    {"check_x_invert", "x_input_invert", C::State, false},
    {"check_y_invert", "y_input_invert", C::State, false},
    {"check_disable_x", "x_disable", C::Same, true},
    {"check_disable_y", "y_disable", C::Same, true},
    {"cb_swap_axes", "swap_xy", C::Same, true},
};

const char kFlexCompTip[]
    = "<html><head/><body><p><b>Force (flex) compensation</b></p><p>Compensates the flex of the "
      "mechanics under load, so the stick reaches its full range with a strong spring.</p>"
      "<p>Tuning:</p><ol><li>Calibrate the axis.</li><li>Move the stick to an edge.</li>"
      "<li>Raise the spring force.</li><li>Watch the axis creep toward the centre.</li>"
      "<li>Raise the compensation until the axis stays at its maximum with and without load."
      "</li></ol><p>Typical values: about 190 for X and 100 for Y.</p></body></html>";

const char kDampingCompTip[]
    = "<html><head/><body><p><b>Natural damping compensation</b> works like power steering: "
      "it removes part of the mechanism's own damping.</p><p><b>Warning:</b> too much "
      "compensation can make the motors rotate freely and damage equipment or cause injury."
      "</p></body></html>";

QLabel *addLabel(
    QGridLayout *grid, const QString &text, int row, int column, const char *name = nullptr)
{
    auto *label = new QLabel(text);
    if (name)
        label->setObjectName(QLatin1String(name));
    grid->addWidget(label, row, column);
    return label;
}

template<typename T> T *named(const char *name)
{
    auto *w = new T;
    w->setObjectName(QLatin1String(name));
    return w;
}

} // namespace

SettingsTab::SettingsTab(
    QWidget *tab, ConfigBinder *binder, TavikComm *comm, DataPacket *data, QObject *parent)
    : QObject(parent)
    , m_tab(tab)
    , m_binder(binder)
    , m_config(binder->config())
    , m_comm(comm)
    , m_data(data)
    , m_controllerPanel(GameControllerPanel::create())
{
    if (auto *grid = m_tab->findChild<QGridLayout *>(QStringLiteral("gridLayout_2")))
        buildGains(grid);
    if (auto *column = m_tab->findChild<QVBoxLayout *>(QStringLiteral("verticalLayout_frame_2")))
        buildPotsGripHats(column);
    if (auto *grid = m_tab->findChild<QGridLayout *>(QStringLiteral("gridLayout_expert")))
        buildExpert(grid);
    if (auto *grid = m_tab->findChild<QGridLayout *>(QStringLiteral("gridLayout_axes")))
        buildAxes(grid);
    buildCalibration();
    bindRows();
    connectRules();
}

SettingsTab::~SettingsTab() = default;

template<typename T> T *SettingsTab::child(const char *name) const
{
    return m_tab->findChild<T *>(QLatin1String(name));
}

QList<QWidget *> SettingsTab::gripWidgets(int gripType) const
{
    QList<QWidget *> widgets;
    for (const auto &entry : m_gripWidgets)
        if (entry.first == gripType)
            widgets.append(entry.second);
    return widgets;
}

void SettingsTab::buildGains(QGridLayout *grid)
{
    int row = 0;
    for (const GainRow &gain : kGainRows) {
        addLabel(grid, QString::fromUtf8(gain.caption), row, 0, gain.captionName);
        auto *slider = named<QSlider>(gain.slider);
        slider->setOrientation(Qt::Horizontal);
        slider->setTickPosition(QSlider::TicksBelow);
        slider->setTickInterval(10);
        grid->addWidget(slider, row, 1);
        auto *percent = addLabel(grid, QStringLiteral("0%"), row, 2, gain.percentLabel);
        percent->setMinimumWidth(percent->fontMetrics().horizontalAdvance(QStringLiteral("100%")));
        percent->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        connect(slider, &QSlider::valueChanged, percent,
            [percent](int v) { percent->setText(QString::asprintf("%d%%", v)); });
        ++row;
    }
    for (const char *name : {"slider_audio", "label_audio", "audio_lbl"})
        if (auto *w = m_tab->findChild<QWidget *>(QLatin1String(name)))
            w->hide();

    const auto tip = [this](const char *name, const QString &text) {
        if (auto *w = child<QWidget>(name))
            w->setToolTip(text);
    };
    for (const auto &kind :
        {std::pair {"slider_spring", "spring"}, std::pair {"slider_damper", "damper"},
            std::pair {"slider_inertia", "inertia"}, std::pair {"slider_friction", "friction"}}) {
        tip(kind.first,
            QStringLiteral("<html><head/><body><p>Global gain adjustment for %1 effects.</p>"
                           "<p>The gain also applies to the %1 effect listed in the Effects "
                           "tab.</p></body></html>")
                .arg(QLatin1String(kind.second)));
    }
    tip("slider_master_gain",
        QStringLiteral("<html><head/><body><p>Master gain (\"volume\") sent to the motors. It is "
                       "applied after all other slider gains.</p><p><img "
                       "src=\":/img/gains.svg\"/></p></body></html>"));
    tip("slider_effects",
        QStringLiteral("<html><head/><body><p>Adjusts the strength of periodic effects (sine, "
                       "square, rumble and the like).</p><p><img "
                       "src=\":/img/periodic.svg\"/></p></body></html>"));
    tip("slider_constant",
        QStringLiteral("<html><head/><body><p>Global gain of constant-force effects: forces "
                       "of a fixed strength and direction that games send, such as the "
                       "stick loading of a flight model.</p></body></html>"));
}

void SettingsTab::buildPotsGripHats(QVBoxLayout *column)
{
    auto *grid = new QGridLayout;
    grid->setObjectName(QStringLiteral("gridLayout_pots"));
    column->insertLayout(1, grid);

    int row = 0;
    const auto addCombo
        = [&](const char *caption, const char *name, const IdListModel::List &list) {
              addLabel(grid, QString::fromUtf8(caption), row, 0);
              auto *combo = named<QComboBox>(name);
              // Each combo box has its own rows: an unknown identifier shown in one must not
              // appear in the other.
              combo->setModel(new IdListModel(list, combo));
              combo->setModelColumn(IdListModel::NameColumn);
              grid->addWidget(combo, row, 1, 1, 4);
              ++row;
              return combo;
          };
    m_potGrid = grid;
    addCombo("Pot#1 Function", "cb_pot1", potFunctionList());
    m_potCalibrationRow[0] = row++;
    addCombo("Pot#2 Function", "cb_pot2", potFunctionList());
    m_potCalibrationRow[1] = row++;
    auto *grip = addCombo("Grip Type", "cb_grip", gripTypeList());
    grip->setToolTip(QStringLiteral("Grip Profile Selection"));

    m_extraWidgets = new QVBoxLayout;
    m_extraWidgets->setObjectName(QStringLiteral("extra_widgets"));
    m_extraWidgets->setContentsMargins(0, 0, 0, 0);
    grid->addLayout(m_extraWidgets, row++, 0, 1, 5);

    const auto addHats = [&](const char *caption, const char *prefix) {
        addLabel(grid, QString::fromUtf8(caption), row, 0);
        for (int hat = 1; hat <= 4; ++hat) {
            auto *box = new QCheckBox(QStringLiteral("Hat %1").arg(hat));
            box->setObjectName(QStringLiteral("%1%2").arg(QLatin1String(prefix)).arg(hat));
            grid->addWidget(box, row, hat);
        }
        ++row;
    };
    addHats("4-Way Hats:", "cb_hats_4w_");
    addHats("Hats as Buttons:", "cb_hats_btn_");

    auto *joycpl = new QPushButton(QStringLiteral("Game Controller Settings"));
    joycpl->setObjectName(QStringLiteral("b_joycpl"));
    joycpl->setToolTip(QStringLiteral("Open Game Controller Settings in Control Panel"));
    grid->addWidget(joycpl, row++, 0, 1, 5, Qt::AlignLeft);
    grid->setColumnStretch(4, 1);
}

void SettingsTab::buildExpert(QGridLayout *grid)
{
    // The form holds the title and the two name fields; the rows go in the order of the
    // expert settings, names included.
    QWidget *deviceLabel = child<QWidget>("label_device_name");
    QWidget *deviceName = child<QWidget>("ln_device_name");
    QWidget *configLabel = child<QWidget>("label_config_name");
    QWidget *configName = child<QWidget>("ln_config_name");
    QLayoutItem *spacer = nullptr;
    for (int i = grid->count() - 1; i >= 0; --i) {
        if (grid->itemAt(i)->spacerItem()) {
            spacer = grid->takeAt(i);
            break;
        }
    }
    for (QWidget *w : {deviceLabel, deviceName, configLabel, configName})
        if (w)
            grid->removeWidget(w);
    if (auto *title = child<QLabel>("label_expert_title"))
        title->setText(QStringLiteral("<b>Expert Settings</b>"));

    int row = 1;
    const auto caption = [&](const char *text, const char *tip = nullptr) {
        auto *label = addLabel(grid, QString::fromUtf8(text), row, 0);
        if (tip)
            label->setToolTip(QString::fromUtf8(tip));
        return label;
    };
    const auto place = [&](QWidget *w, int span = 1) {
        grid->addWidget(w, row, 1, 1, span);
        ++row;
        return w;
    };

    caption("Max Motor Current", "Max drive current @ 100% force");
    place(named<QSpinBox>("spin_max_current"))
        ->setToolTip(QStringLiteral("Max motor current at 100% force"));
    caption("Max PSU Current",
        "Limits the current drawn from the power supply. A faint vibration is felt when the "
        "limit is reached.");
    place(named<QDoubleSpinBox>("spin_max_psu_current"))
        ->setToolTip(QStringLiteral("Max current power supply can deliver"));

    caption("Natural Damping\nCompensation");
    {
        auto *box = new QHBoxLayout;
        box->setContentsMargins(0, 0, 0, 0);
        auto *link = named<QPushButton>("b_link_damping");
        link->setCheckable(true);
        link->setIcon(QIcon(QStringLiteral(":/link-symbolic.svg")));
        link->setMaximumSize(20, 20);
        link->setToolTip(QStringLiteral("Link X and Y damping compensation"));
        box->addWidget(link);
        for (const char *name : {"spin_neutral_damping_comp", "spin_neutral_damping_comp_y"}) {
            auto *spin = named<QSpinBox>(name);
            spin->setStyleSheet(QStringLiteral("font-family: mono;"));
            spin->setToolTip(QString::fromUtf8(kDampingCompTip));
            box->addWidget(spin, 1);
        }
        grid->addLayout(box, row++, 1);
    }
    caption("Spring strength\nproportional damping");
    place(named<QSpinBox>("spin_spring_damper_gain"))
        ->setToolTip(QStringLiteral("As the spring gain increases, also increase damping to "
                                    "keep the system stable. Default 25%"));
    caption("Periodic Effects LPF");
    place(named<QSpinBox>("spin_periodic_lpf"));
    caption("Constant Force LPF");
    place(named<QDoubleSpinBox>("spin_const_lpf"));
    caption("Spring Force LPF");
    place(named<QDoubleSpinBox>("spin_spring_lpf"));
    caption("Damper Force LPF");
    place(named<QDoubleSpinBox>("spin_damper_lpf"));
    caption("Inertia Force LPF");
    place(named<QDoubleSpinBox>("spin_inertia_lpf"));
    caption("Friction Force LPF");
    place(named<QDoubleSpinBox>("spin_frict_lpf"));
    caption("Accel PI Gain",
        "Stability of the acceleration estimation loop of the inertia effect. Default 10, "
        "I = 0.25\u00b7P\u00b2");
    place(named<QSpinBox>("spin_accel_pi_gain"));
    caption("Buzzer", "Toggle the on-board sounder");
    place(named<QCheckBox>("cb_buzzer"));
    caption("Enable Suspend", "Suspend motors when USB enters suspended state");
    place(named<QCheckBox>("cb_usb_suspend"));

    if (deviceLabel && deviceName) {
        grid->addWidget(deviceLabel, row, 0);
        place(deviceName);
    }
    caption("USB Product ID");
    {
        auto *pid = new PaddedSpinBox;
        pid->setObjectName(QStringLiteral("spin_pid"));
        pid->setDisplayIntegerBase(16);
        pid->setRange(0x2050, 0x2055);
        place(pid);
    }
    if (configLabel && configName) {
        grid->addWidget(configLabel, row, 0);
        place(configName);
    }
    if (spacer)
        grid->addItem(spacer, row, 0, 1, 2);
}

void SettingsTab::buildAxes(QGridLayout *grid)
{
    struct Axis
    {
        const char *caption;
        const char *min;
        const char *max;
        const char *comp;
        const char *invert;
        const char *invertText;
        const char *disable;
        const char *center;
        const char *range;
        const char *rangeTip;
    };
    const Axis axes[] = {
        {"<b>X:</b> min", "spin_x_min", "spin_x_max", "spin_x_comp", "check_x_invert",
            "Axis Invert", "check_disable_x", "l_center_x", "l_range_x", "Logical Axis Range"},
        {"<b>Y:</b> min", "spin_y_min", "spin_y_max", "spin_y_comp", "check_y_invert",
            "Axis invert", "check_disable_y", "l_center_y", "l_range_y", "Logical axis range"},
    };
    int row = 0;
    for (const Axis &axis : axes) {
        int col = 0;
        addLabel(grid, QString::fromUtf8(axis.caption), row, col++);
        auto *min = named<QSpinBox>(axis.min);
        min->setMinimumWidth(90);
        grid->addWidget(min, row, col++);
        addLabel(grid, QStringLiteral("max"), row, col++);
        auto *max = named<QSpinBox>(axis.max);
        max->setMinimumWidth(90);
        grid->addWidget(max, row, col++);
        addLabel(grid, QStringLiteral("Force Comp.:"), row, col++);
        auto *comp = named<QSpinBox>(axis.comp);
        comp->setToolTip(QString::fromUtf8(kFlexCompTip));
        grid->addWidget(comp, row, col++);
        auto *invert = new QCheckBox(QString::fromUtf8(axis.invertText));
        invert->setObjectName(QLatin1String(axis.invert));
        grid->addWidget(invert, row, col++);
        auto *disable = new QCheckBox(QStringLiteral("Disable Axis"));
        disable->setObjectName(QLatin1String(axis.disable));
        grid->addWidget(disable, row, col++);
        addLabel(grid, QStringLiteral("C:"), row, col++);
        auto *center = addLabel(grid, QStringLiteral("0000"), row, col++, axis.center);
        center->setToolTip(QStringLiteral("Motor Center Raw Value"));
        addLabel(grid, QStringLiteral("R:"), row, col++);
        auto *range = addLabel(grid, QStringLiteral("0000"), row, col++, axis.range);
        range->setToolTip(QString::fromUtf8(axis.rangeTip));
        ++row;
    }
    auto *swap = new QCheckBox(QStringLiteral("Swap"));
    swap->setObjectName(QStringLiteral("cb_swap_axes"));
    grid->addWidget(swap, 0, 12, 2, 1);
    grid->setColumnStretch(13, 1);

    auto *note = new QLabel(QStringLiteral(
        "<html><head/><body><p>Center value is recommended to be around 2048 when axis is "
        "physically centered<br/>to ensure proper home position when powering the motors."
        "</p></body></html>"));
    note->setObjectName(QStringLiteral("label_35"));
    note->setTextFormat(Qt::RichText);
    grid->addWidget(note, row, 0, 1, 14);
}

void SettingsTab::buildCalibration() { }

void SettingsTab::bindRows()
{
    m_binder->bind(m_tab, kSettingsRows);
}

void SettingsTab::connectRules()
{
    // Pot calibration follows the pot's function, whoever chose it.
    for (const auto &pot :
        {std::pair {"cb_pot1", "pot_1_cal"}, std::pair {"cb_pot2", "pot_2_cal"}}) {
        auto *combo = child<QComboBox>(pot.first);
        QWidget *calibration = child<QWidget>(pot.second);
        if (!combo)
            continue;
        connect(combo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this, combo, calibration] { updatePotCalibration(combo, calibration); });
        updatePotCalibration(combo, calibration);
    }

    // Only the user's choice of a grip is sent at once; a received grip type is not.
    if (auto *grip = child<QComboBox>("cb_grip"))
        connect(grip, QOverload<int>::of(&QComboBox::activated), this, [this] {
            if (m_comm)
                m_comm->sendConfig();
        });
    connect(m_config, &DeviceConfig::grip_typeChanged, this,
        [this](uint8_t type) { updateGripWidgets(type); });
    updateGripWidgets(m_config->grip_type());

    connect(m_config, &DeviceConfig::separate_xy_damping_compChanged, this,
        &SettingsTab::updateDampingCompLayout);
    updateDampingCompLayout();

    for (const char *name : {"spin_x_min", "spin_y_min", "spin_x_max", "spin_y_max"})
        if (auto *spin = child<QSpinBox>(name))
            connect(spin, QOverload<int>::of(&QSpinBox::valueChanged), this,
                &SettingsTab::updateAxisLabels);
    updateAxisLabels();

    connect(m_config, &DeviceConfig::x_disableChanged, this,
        [this](uint8_t v) { setAxisDisabled(false, v != 0); });
    connect(m_config, &DeviceConfig::y_disableChanged, this,
        [this](uint8_t v) { setAxisDisabled(true, v != 0); });
    setAxisDisabled(false, m_config->x_disable() != 0);
    setAxisDisabled(true, m_config->y_disable() != 0);

    if (auto *joycpl = child<QPushButton>("b_joycpl")) {
        joycpl->setVisible(m_controllerPanel->isAvailable());
        connect(joycpl, &QPushButton::pressed, this, [this] { m_controllerPanel->open(); });
    }
}

void SettingsTab::updatePotCalibration(QComboBox *combo, QWidget *calibration)
{
    if (!calibration)
        return;
    const int id = combo->currentIndex() < 0 ? 0 : combo->currentData(Qt::UserRole).toInt();
    calibration->setVisible(isPotAxisFunction(id));
}

void SettingsTab::updateGripWidgets(int gripType)
{
    for (const auto &entry : qAsConst(m_gripWidgets))
        entry.second->setVisible(entry.first == gripType);
}

void SettingsTab::updateDampingCompLayout()
{
    const bool separate = m_config->separate_xy_damping_comp() != 0;
    auto *x = child<QSpinBox>("spin_neutral_damping_comp");
    auto *y = child<QSpinBox>("spin_neutral_damping_comp_y");
    if (!x || !y)
        return;
    x->setPrefix(separate ? QStringLiteral("X:") : QString());
    y->setPrefix(separate ? QStringLiteral("Y:") : QString());
    y->setVisible(separate);
}

void SettingsTab::updateAxisLabels()
{
    struct Labels
    {
        const char *min, *max, *center, *range;
    };
    for (const Labels &l : {Labels {"spin_x_min", "spin_x_max", "l_center_x", "l_range_x"},
             Labels {"spin_y_min", "spin_y_max", "l_center_y", "l_range_y"}}) {
        auto *min = child<QSpinBox>(l.min);
        auto *max = child<QSpinBox>(l.max);
        auto *center = child<QLabel>(l.center);
        auto *range = child<QLabel>(l.range);
        if (!min || !max || !center || !range)
            continue;
        const int c = (max->value() + min->value()) / 2;
        center->setText(QString::asprintf("%04d", c));
        center->setStyleSheet(c < 1000 || c > 3200 ? QStringLiteral("color: red;") : QString());
        range->setText(QString::asprintf("%04d", std::abs(max->value() - min->value())));
    }
}

void SettingsTab::setAxisDisabled(bool yAxis, bool disabled)
{
    static const char *const kX[] = {"spin_x_max", "spin_x_min", "check_x_invert"};
    static const char *const kY[] = {"spin_y_max", "spin_y_min", "check_y_invert"};
    for (const char *name : yAxis ? kY : kX)
        if (auto *w = child<QWidget>(name))
            w->setEnabled(!disabled);
}
