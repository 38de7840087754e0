#include "effectstab.h"

#include "bindingrow.h"
#include "configbinder.h"
#include "datapacket.h"
#include "deviceconfig.h"
#include "effectsettings.h"
#include "flowlayout.h"
#include "frictiontunedialog.h"
#include "mappingchart.h"
#include "mappingdialog.h"
#include "tavikcomm.h"

#include <QCheckBox>
#include <QLayout>
#include <QPushButton>

#include <string>
#include <vector>

namespace {

using C = Conversion;

// An effect panel's twelve values and the record's parameters they edit; rows are bound with
// the panel as root (control "" is the panel itself, the property names the panel value).
std::vector<BindingRow> panelRows(const char *const parameters[10])
{
    static const char *const kPanelProperties[10] = {"gain_pos_x", "gain_pos_y", "gain_neg_x",
        "gain_neg_y", "saturation_pos_x", "saturation_pos_y", "saturation_neg_x",
        "saturation_neg_y", "deadband_pos_x", "deadband_pos_y"};
    std::vector<BindingRow> rows;
    for (int i = 0; i < 10; ++i)
        if (parameters[i])
            rows.push_back({"", parameters[i], C::Same, false, {}, kPanelProperties[i]});
    return rows;
}

const char kStickyTip[]
    = "<b>Sticky</b><p>Applications will not be able to change parameters for this effect</p>"
      "<p>Useful to override games when custom FFB solutions are used. Such as Hardware "
      "Trim.</p>If unsure keep this disabled.";

const char kRecenteringTip[]
    = "<b>Adaptive Recentering</b><p>Experimental feature that applies additional force (up to "
      "12% of total spring force) and will attempt to keep the stick centered as close to the "
      "center point as possible.</p>";

const char kRescaleTip[]
    = "<p>When this is checked, the device will report full axis excursion to the OS when the "
      "stick reaches the end-stop.</p><b>Note:</b> this setting is overriden when \"Axis "
      "Scaling\" feature is enabled.";

QString conditionTip(const char *name, const char *what)
{
    return QStringLiteral("<p><b>%1</b></p><p>%2</p><p><b>This effect is overridden when a game "
                          "creates its own %3 effect, unless Sticky is activated.</b></p>")
        .arg(QString::fromUtf8(name), QString::fromUtf8(what), QString::fromUtf8(name).toLower());
}

QCheckBox *addExtraBox(EffectSettings *panel, const char *name, const char *text, const char *tip)
{
    auto *box = new QCheckBox(QString::fromUtf8(text));
    box->setObjectName(QLatin1String(name));
    box->setToolTip(QString::fromUtf8(tip));
    panel->extraLayout()->addWidget(box);
    return box;
}

} // namespace

EffectsTab::EffectsTab(
    QWidget *contents, ConfigBinder *binder, TavikComm *comm, DataPacket *data, QObject *parent)
    : QObject(parent)
    , m_contents(contents)
    , m_binder(binder)
    , m_config(binder->config())
    , m_comm(comm)
    , m_data(data)
{
    auto *flow = new FlowLayout(-1, -1, -1);
    delete m_contents->layout();
    m_contents->setLayout(flow);

    // Order of creation; the flow puts the trim panel after Endstops and the hi-res panel last.
    addPanel("effect_spring", QStringLiteral("Spring"), true);
    addPanel("effect_damper", QStringLiteral("Damper"), true);
    addPanel("effect_inertia", QStringLiteral("Inertia"), true);
    addPanel("effect_friction", QStringLiteral("Friction"), true);
    addPanel("effect_endstops", QStringLiteral("Endstops"), true);
    addPanel("effect_static_force", QStringLiteral("Static Force"), false);
    addPanel("effect_breakout", QStringLiteral("Breakout Force (Experimental)"), true);
    addPanel("effect_balance_spring", QStringLiteral("Balance Spring"), true);
    addPanel("effect_axis_scaling", QStringLiteral("Axis Scaling"), true);
    configurePanels();
    bindPanels();
}

EffectSettings *EffectsTab::addPanel(const char *name, const QString &title, bool advanced)
{
    auto *panel = new EffectSettings(title, advanced, m_comm, m_contents);
    panel->setObjectName(QLatin1String(name));
    m_contents->layout()->addWidget(panel);
    // The gain-map dialog is a window of its own: it must not keep the program running once
    // the main window has closed.
    panel->mappingDialog()->setAttribute(Qt::WA_QuitOnClose, false);
    m_panels.append(panel);
    return panel;
}

EffectSettings *EffectsTab::panel(const char *name) const
{
    return m_contents->findChild<EffectSettings *>(QLatin1String(name));
}

void EffectsTab::closeDialogs()
{
    for (EffectSettings *p : qAsConst(m_panels))
        p->mappingDialog()->close();
}

void EffectsTab::configurePanels()
{
    EffectSettings *spring = panel("effect_spring");
    spring->hideFilter(true);
    spring->setToolTip(conditionTip("Spring", "Force proportional to displacement."));

    EffectSettings *damper = panel("effect_damper");
    damper->setGroupTitle(EffectSettings::GainGroup, QStringLiteral("Damping"));
    damper->hideFilter(true);
    damper->setToolTip(conditionTip("Damper", "Force proportional to velocity."));

    EffectSettings *inertia = panel("effect_inertia");
    inertia->setGroupTitle(EffectSettings::GainGroup, QStringLiteral("Mass"));
    inertia->hideFilter(true);
    inertia->setToolTip(conditionTip("Inertia", "Force proportional to acceleration."));

    EffectSettings *friction = panel("effect_friction");
    friction->hideFilter(true);
    friction->hideAdvanced(true);
    friction->hideSaturation(true);
    friction->hideDeadband(true);
    friction->showMappingButton(false);
    friction->setGroupMinimum(EffectSettings::GainGroup, 0);
    friction->tuneButton()->show();
    friction->setToolTip(conditionTip("Friction", "Static and dynamic friction."));
    connect(friction->tuneButton(), &QPushButton::clicked, this, &EffectsTab::openFrictionTuning);

    EffectSettings *constant = panel("effect_static_force");
    constant->setGroupTitle(EffectSettings::DeadbandGroup, QStringLiteral("Force"));
    if (auto *deadband = constant->findChild<QWidget *>(QStringLiteral("deadband")))
        deadband->setToolTip(QString());
    constant->hideFilter(true);
    constant->hideSaturation(true);
    constant->hideGain(true);
    constant->showNegativeGain(false);
    constant->showMappingButton(false);
    constant->setToolTip(QStringLiteral(
        "<p><b>Static Force</b></p><p>A static constant force in a predefined direction. "
        "Useful to counterbalance a collective handle or a grip extension.</p>"));

    const auto clearGainTip = [](EffectSettings *p) {
        if (auto *gain = p->findChild<QWidget *>(QStringLiteral("gain_section")))
            gain->setToolTip(QString());
    };

    EffectSettings *endstops = panel("effect_endstops");
    endstops->setGroupTitle(EffectSettings::GainGroup, QStringLiteral("Max Position"));
    endstops->setGroupMinimum(EffectSettings::GainGroup, 409);
    endstops->setGroupMaximum(EffectSettings::GainGroup, 4096);
    endstops->setGroupTitle(EffectSettings::SaturationGroup, QStringLiteral("Endstop Power"));
    endstops->setGroupMinimum(EffectSettings::SaturationGroup, 0);
    endstops->hideDeadband(true);
    endstops->hideFilter(true);
    endstops->showMappingButton(false);
    clearGainTip(endstops);
    endstops->setToolTip(QStringLiteral("<p><b>Endstops</b></p>A steep force is generated by "
                                        "the motors when the stick reaches a configured "
                                        "\"soft endstop\" point."));

    EffectSettings *breakout = panel("effect_breakout");
    breakout->hideAdvanced(true);
    breakout->hideFilter(true);
    breakout->hideSaturation(true);
    breakout->hideDeadband(true);
    breakout->showMappingButton(false);
    breakout->setGroupMinimum(EffectSettings::GainGroup, 0);
    clearGainTip(breakout);
    breakout->setToolTip(QStringLiteral(
        "<p><b>Breakout force</b></p>Produce input only when specified force is exceeded"));

    EffectSettings *scaling = panel("effect_axis_scaling");
    scaling->setGroupTitle(EffectSettings::GainGroup, QStringLiteral("Maximum travel"));
    scaling->setGroupMinimum(EffectSettings::GainGroup, 42);
    scaling->setGroupMaximum(EffectSettings::GainGroup, 255);
    scaling->hideFilter(true);
    scaling->hideDeadband(true);
    scaling->hideSaturation(true);
    scaling->hideAdvanced(true);
    scaling->showMappingButton(false);
    clearGainTip(scaling);
    scaling->setToolTip(QStringLiteral(
        "<p><b>Axis Scaling</b></p><p>This tool allows to customize the axis scaling</p><p>Full "
        "axis excursion will be reported to the OS when the stick reaches the predefined "
        "positions.</p>"));

    EffectSettings *balance = panel("effect_balance_spring");
    balance->setGroupMinimum(EffectSettings::GainGroup, -2000);
    balance->setGroupMaximum(EffectSettings::GainGroup, 2000);
    balance->hideFilter(true);
    balance->hideSaturation(true);
    balance->hideDeadband(true);
    balance->hideAdvanced(true);
    balance->showMappingButton(false);
    balance->mappingDialog()->chartX()->setAxisTitles(
        QStringLiteral("Position"), QStringLiteral("Force"));
    balance->mappingDialog()->chartY()->setAxisTitles(
        QStringLiteral("Position"), QStringLiteral("Force"));
    balance->setToolTip(QStringLiteral("<p><b>Balance spring</b></p><p>Balance spring adds a "
                                       "small spring force to counteract grip weight</p>"));

    addExtraBox(spring, "cb_sticky", "Sticky \u2139\ufe0f", kStickyTip);
    addExtraBox(spring, "cb_adaptive_recentering", "Adaptive Recentering", kRecenteringTip);
    addExtraBox(damper, "cb_sticky", "Sticky \u2139\ufe0f", kStickyTip);
    addExtraBox(inertia, "cb_sticky", "Sticky \u2139\ufe0f", kStickyTip);
    addExtraBox(friction, "cb_sticky", "Sticky \u2139\ufe0f", kStickyTip);
    QCheckBox *rescale = addExtraBox(endstops, "cb_rescale_axes", "Rescale axes", kRescaleTip);

    // Axis Scaling overrides Rescale axes. A user enabling Axis Scaling also clears Rescale
    // axes; a received configuration only disables the box and keeps its value.
    const auto followScaling = [this, rescale](int state) {
        const bool scalingOn = state != Qt::Unchecked;
        rescale->setEnabled(!scalingOn);
        if (scalingOn && !m_binder->isShowing())
            rescale->setChecked(false);
    };
    connect(scaling->enableBox(), &QCheckBox::stateChanged, this, followScaling);

    // The spring charts follow the stick.
    if (m_data) {
        MappingChart *x = spring->mappingDialog()->chartX();
        MappingChart *y = spring->mappingDialog()->chartY();
        connect(m_data, &DataPacket::xChanged, x,
            [x](int16_t v) { x->setCurrentValue(float(v) * 0.000244140625f); });
        connect(m_data, &DataPacket::yChanged, y,
            [y](int16_t v) { y->setCurrentValue(float(v) * 0.000244140625f); });
    }
}

void EffectsTab::bindPanels()
{
    // The condition effects name their ten values after the effect.
    for (const char *effect : {"spring", "damper", "inertia", "friction"}) {
        static const char *const kSuffixes[10] = {"coef_pos_x", "coef_pos_y", "coef_neg_x",
            "coef_neg_y", "saturation_pos_x", "saturation_pos_y", "saturation_neg_x",
            "saturation_neg_y", "deadband_x", "deadband_y"};
        std::vector<std::string> names;
        for (const char *suffix : kSuffixes)
            names.push_back(std::string("default_") + effect + "_" + suffix);
        const char *p[10];
        for (int i = 0; i < 10; ++i)
            p[i] = names[size_t(i)].c_str();
        const std::string panelName = std::string("effect_") + effect;
        m_binder->bind(panel(panelName.c_str()), panelRows(p));
    }
    {
        const char *const p[10] = {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
            nullptr, "constant_fx", "constant_fy"};
        m_binder->bind(panel("effect_static_force"), panelRows(p));
    }
    {
        const char *const p[10] = {"endstop_pos_x", "endstop_pos_y", "endstop_neg_x",
            "endstop_neg_y", "endstop_tq_pos_x", "endstop_tq_pos_y", "endstop_tq_neg_x",
            "endstop_tq_neg_y", nullptr, nullptr};
        m_binder->bind(panel("effect_endstops"), panelRows(p));
    }
    {
        const char *const p[10] = {"breakout_pos_x", "breakout_pos_y", "breakout_neg_x",
            "breakout_neg_y", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
        m_binder->bind(panel("effect_breakout"), panelRows(p));
    }
    {
        const char *const p[10] = {"scale_pos_x", "scale_pos_y", "scale_neg_x", "scale_neg_y",
            nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
        m_binder->bind(panel("effect_axis_scaling"), panelRows(p));
    }
    {
        const char *const p[10]
            = {"balance_spring_pos_x", "balance_spring_pos_y", "balance_spring_neg_x",
                "balance_spring_neg_y", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
        m_binder->bind(panel("effect_balance_spring"), panelRows(p));
    }

    // Enable boxes and the extra boxes.
    static const BindingRow kSpring[] = {
        {"checkBox", "default_spring_en", C::Same, true},
        {"cb_sticky", "override_spring_disable", C::Same, true},
        {"cb_adaptive_recentering", "advanced_recentering", C::Same, true},
    };
    static const BindingRow kDamper[] = {
        {"checkBox", "default_damper_en", C::Same, true},
        {"cb_sticky", "override_damper_disable", C::Same, true},
    };
    static const BindingRow kInertia[] = {
        {"checkBox", "default_inertia_en", C::Same, true},
        {"cb_sticky", "override_inertia_disable", C::Same, true},
    };
    static const BindingRow kFriction[] = {
        {"checkBox", "default_friction_en", C::Same, true},
        {"cb_sticky", "override_friction_disable", C::Same, true},
    };
    static const BindingRow kConstant[] = {{"checkBox", "const_enable", C::Same, true}};
    static const BindingRow kEndstops[] = {
        {"checkBox", "endstop_enable", C::Same, true},
        {"cb_rescale_axes", "endstop_scale_axis", C::Same, true},
    };
    static const BindingRow kBreakout[] = {{"checkBox", "breakout_enable", C::Same, true}};
    static const BindingRow kScaling[] = {{"checkBox", "axis_scale_enable", C::Same, true}};
    static const BindingRow kBalance[] = {{"checkBox", "balance_spring_enabled", C::Same, true}};
    m_binder->bind(panel("effect_spring"), kSpring);
    m_binder->bind(panel("effect_damper"), kDamper);
    m_binder->bind(panel("effect_inertia"), kInertia);
    m_binder->bind(panel("effect_friction"), kFriction);
    m_binder->bind(panel("effect_static_force"), kConstant);
    m_binder->bind(panel("effect_endstops"), kEndstops);
    m_binder->bind(panel("effect_breakout"), kBreakout);
    m_binder->bind(panel("effect_axis_scaling"), kScaling);
    m_binder->bind(panel("effect_balance_spring"), kBalance);

    using D = DeviceConfig;
    bindGainMap(panel("effect_spring"),
        {&D::spring_mapping, &D::set_spring_mapping, &D::spring_mappingChanged},
        {&D::spring_mapping_y, &D::set_spring_mapping_y, &D::spring_mapping_yChanged},
        "separate_spring_mapping");
    bindGainMap(panel("effect_damper"),
        {&D::damper_mapping, &D::set_damper_mapping, &D::damper_mappingChanged},
        {&D::damper_mapping_y, &D::set_damper_mapping_y, &D::damper_mapping_yChanged},
        "separate_damper_mapping");
    bindGainMap(panel("effect_inertia"),
        {&D::inertia_mapping, &D::set_inertia_mapping, &D::inertia_mappingChanged},
        {&D::inertia_mapping_y, &D::set_inertia_mapping_y, &D::inertia_mapping_yChanged},
        "separate_inertia_mapping");
}

void EffectsTab::bindGainMap(
    EffectSettings *panel, const CurveParameter &x, const CurveParameter &y, const char *separate)
{
    MappingDialog *dialog = panel->mappingDialog();
    const BindingRow rows[] = {{"check_sep_axis", separate, C::Same, true}};
    m_binder->bind(dialog, rows);

    QCheckBox *separateBox = dialog->separateAxisBox();
    MappingChart *chartX = dialog->chartX();
    MappingChart *chartY = dialog->chartY();

    // A chart's new curve goes to its own axis and, while the axes are not separate, to the
    // other one as well (after its own).
    DeviceConfig *config = m_config;
    const auto publish = [config, separateBox](const CurveParameter &own,
                             const CurveParameter &other, const DeviceMappingData &curve) {
        (config->*own.set)(curve);
        if (!separateBox->isChecked())
            (config->*other.set)(curve);
    };
    connect(chartX, QOverload<DeviceMappingData>::of(&MappingChart::mappingChanged), this,
        [publish, x, y](const DeviceMappingData &curve) { publish(x, y, curve); });
    connect(chartY, QOverload<DeviceMappingData>::of(&MappingChart::mappingChanged), this,
        [publish, x, y](const DeviceMappingData &curve) { publish(y, x, curve); });

    // Showing a curve publishes nothing.
    connect(m_config, x.changed, chartX, &MappingChart::setMapping);
    connect(m_config, y.changed, chartY, &MappingChart::setMapping);
    chartX->setMapping((m_config->*x.get)());
    chartY->setMapping((m_config->*y.get)());
}

void EffectsTab::openFrictionTuning()
{
    FrictionTuneDialog dialog(m_config, m_contents->window());
    connect(&dialog, &TuneDialog::apply, this, [this] {
        if (m_comm)
            m_comm->sendConfig();
    });
    dialog.exec();
}
