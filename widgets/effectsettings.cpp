#include "effectsettings.h"

#include "section.h"
#include "spinboxslider.h"
#include "tavikcomm.h"
#include "ui_effectsettings.h"

#include <QVBoxLayout>

#include <algorithm>
#include <limits>

EffectSettings::EffectSettings(
    const QString &title, bool advanced, TavikComm *comm, QWidget *parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::EffectSettings>())
    , m_title(title)
    , m_comm(comm)
{
    ui->setupUi(this);
    ui->b_tune->hide();
    setStyleSheet(QStringLiteral("font-size: 10pt;"));

    if (advanced) {
        m_advanced = new Section(tr("Advanced"), 50, ui->frame);
        ui->l_frame->addWidget(m_advanced);
        m_advanced->setBodyLayout(ui->adv_layout);
    }

    // Field table: which property each field edits and which fields its links copy to.
    auto add = [this](SpinBoxSlider *spin, Value value, int lockPartner, int xyPartner,
                   QAbstractButton *lock, QAbstractButton *xyLock) {
        m_fields.append({spin, value, lockPartner, xyPartner, lock, xyLock});
    };
    add(ui->gain_pos_x, GainPosX, 2, 1, ui->gain_lock, ui->gain_xylock);
    add(ui->gain_pos_y, GainPosY, 3, 0, ui->gain_lock, ui->gain_xylock);
    add(ui->gain_neg_x, GainNegX, 0, 3, ui->gain_lock, ui->gain_xylock);
    add(ui->gain_neg_y, GainNegY, 1, 2, ui->gain_lock, ui->gain_xylock);
    add(ui->saturation_pos_x, SaturationPosX, 6, 5, ui->saturation_lock, ui->saturation_xylock);
    add(ui->saturation_pos_y, SaturationPosY, 7, 4, ui->saturation_lock, ui->saturation_xylock);
    add(ui->saturation_neg_x, SaturationNegX, 4, 7, ui->saturation_lock, ui->saturation_xylock);
    add(ui->saturation_neg_y, SaturationNegY, 5, 6, ui->saturation_lock, ui->saturation_xylock);
    add(ui->deadband_pos_x, DeadbandPosX, -1, 9, nullptr, ui->deadband_xylock);
    add(ui->deadband_pos_y, DeadbandPosY, -1, 8, nullptr, ui->deadband_xylock);

    m_fieldOfValue.fill(-1);
    for (int i = 0; i < m_fields.size(); ++i) {
        const Field &field = m_fields.at(i);
        m_fieldOfValue[field.value] = i;
        field.spin->setMinimumRaw(-4096);
        field.spin->setMaximumRaw(4096);
        connect(field.spin, &SpinBoxSlider::valueChanged, this,
            [this, i](int value) { onFieldEdited(i, value); });
    }

    m_linkCheck.setSingleShot(true);
    m_linkCheck.setInterval(0);
    connect(&m_linkCheck, &QTimer::timeout, this, &EffectSettings::updateLinks);

    connect(ui->button_mapping, &QPushButton::clicked, this, [this] {
        m_mappingDialog.setWindowTitle(m_title + tr(" Mapping"));
        m_mappingDialog.show();
        m_mappingDialog.raise();
        m_mappingDialog.activateWindow();
    });
    connect(&m_mappingDialog, &MappingDialog::onApply, this, [this] {
        if (m_comm)
            m_comm->sendConfig();
    });
    connect(ui->checkBox, &QCheckBox::stateChanged, this, &EffectSettings::setBlocksEnabled);

    const QString negativeStyle
        = QStringLiteral("QDoubleSpinBox:enabled { background-color: rgb(255,235,235); } ");
    const QString positiveStyle
        = QStringLiteral("QDoubleSpinBox:enabled { background-color: rgb(235,255,235); } ");
    for (SpinBoxSlider *spin :
        {ui->gain_neg_x, ui->gain_neg_y, ui->saturation_neg_x, ui->saturation_neg_y})
        spin->setStyleSheet(negativeStyle);
    for (SpinBoxSlider *spin :
        {ui->gain_pos_x, ui->gain_pos_y, ui->saturation_pos_x, ui->saturation_pos_y})
        spin->setStyleSheet(positiveStyle);

    // Every panel starts with its blocks disabled until its enable box is checked.
    setBlocksEnabled(0);
    ui->checkBox->setText(title);
}

EffectSettings::~EffectSettings() = default;

void EffectSettings::setBlocksEnabled(int state)
{
    const bool enabled = state != 0;
    for (QWidget *w : {static_cast<QWidget *>(ui->label_x), static_cast<QWidget *>(ui->label_y),
             ui->gain_section, ui->saturation_section, ui->deadband})
        w->setEnabled(enabled);
}

void EffectSettings::setValueAt(Value index, int16_t value)
{
    if (m_values[index] == value)
        return;
    m_values[index] = value;
    const int field = m_fieldOfValue[index];
    if (field >= 0) {
        m_fields.at(field).spin->showValue(value);
        // A value that did not come from an edit here: judge the links once the rest of the
        // configuration it belongs to has arrived.
        if (m_editDepth == 0)
            m_linkCheck.start();
    }
    emitChanged(index, value);
}

void EffectSettings::emitChanged(Value index, int16_t value)
{
    switch (index) {
#define TAVIK_EFFECT_RELAY(name, index)                                                            \
    case index:                                                                                    \
        Q_EMIT name##Changed(value);                                                               \
        break;
#include "effectrelays.def"
#undef TAVIK_EFFECT_RELAY
    case ValueCount:
        break;
    }
}

void EffectSettings::onFieldEdited(int fieldIndex, int raw)
{
    if (m_linkCheck.isActive())
        updateLinks();
    const Field field = m_fields.at(fieldIndex);
    const auto value = static_cast<int16_t>(std::clamp<int>(
        raw, std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max()));
    if (value == m_values[field.value])
        return;
    ++m_editDepth;
    if (field.lock && field.lock->isChecked() && field.lockPartner >= 0)
        m_fields.at(field.lockPartner).spin->setValue(value);
    if (field.xyLock && field.xyLock->isChecked() && field.xyPartner >= 0)
        m_fields.at(field.xyPartner).spin->setValue(value);
    setValueAt(field.value, value);
    --m_editDepth;
}

void EffectSettings::updateLinks()
{
    m_linkCheck.stop();
    const auto &v = m_values;
    auto judge = [&v](Value px, Value py, Value nx, Value ny, QAbstractButton *lock,
                     QAbstractButton *xyLock) {
        if (v[px] != v[nx] || v[py] != v[ny])
            lock->setChecked(false);
        if (v[px] != v[py] || v[nx] != v[ny])
            xyLock->setChecked(false);
    };
    judge(GainPosX, GainPosY, GainNegX, GainNegY, ui->gain_lock, ui->gain_xylock);
    judge(SaturationPosX, SaturationPosY, SaturationNegX, SaturationNegY, ui->saturation_lock,
        ui->saturation_xylock);
    if (v[DeadbandPosX] != v[DeadbandPosY])
        ui->deadband_xylock->setChecked(false);
}

void EffectSettings::hideAdvanced(bool hide)
{
    if (m_advanced)
        m_advanced->setVisible(!hide);
}

void EffectSettings::hideSaturation(bool hide)
{
    ui->saturation_section->setVisible(!hide);
}

void EffectSettings::hideDeadband(bool hide)
{
    for (QWidget *w :
        {static_cast<QWidget *>(ui->deadband_xylock), static_cast<QWidget *>(ui->deadband_pos_x),
            static_cast<QWidget *>(ui->deadband_pos_y), static_cast<QWidget *>(ui->deadband_label)})
        w->setVisible(!hide);
    // The empty block would still take its layout spacing.
    ui->deadband->setVisible(!hide);
}

void EffectSettings::hideGain(bool hide)
{
    ui->gain_section->setVisible(!hide);
}

void EffectSettings::hideFilter(bool hide)
{
    ui->spin_filter->setVisible(!hide);
    ui->label_filter->setVisible(!hide);
    ui->filter->setVisible(!hide);
}

void EffectSettings::showMappingButton(bool show)
{
    ui->button_mapping->setVisible(show);
}

void EffectSettings::showNegativeGain(bool v)
{
    for (QWidget *w : {static_cast<QWidget *>(ui->gain_neg_x),
             static_cast<QWidget *>(ui->gain_neg_y), static_cast<QWidget *>(ui->gain_xylock),
             static_cast<QWidget *>(ui->gain_lock), static_cast<QWidget *>(ui->gain_chain)})
        w->setVisible(v);
    ui->gain_lock->setChecked(v);
    ui->gain_xylock->setChecked(v);
}

QList<SpinBoxSlider *> EffectSettings::groupFields(int group) const
{
    switch (group) {
    case GainGroup:
        return {ui->gain_pos_x, ui->gain_pos_y, ui->gain_neg_x, ui->gain_neg_y};
    case SaturationGroup:
        return {
            ui->saturation_pos_x, ui->saturation_pos_y, ui->saturation_neg_x, ui->saturation_neg_y};
    case DeadbandGroup:
        return {ui->deadband_pos_x, ui->deadband_pos_y};
    default:
        return {};
    }
}

void EffectSettings::setGroupMinimum(int group, int raw)
{
    const auto fields = groupFields(group);
    for (SpinBoxSlider *spin : fields)
        spin->setMinimumRaw(raw);
}

void EffectSettings::setGroupMaximum(int group, int raw)
{
    const auto fields = groupFields(group);
    for (SpinBoxSlider *spin : fields)
        spin->setMaximumRaw(raw);
}

void EffectSettings::setGroupTitle(int group, const QString &text)
{
    switch (group) {
    case GainGroup:
        ui->label_gain->setText(text);
        break;
    case SaturationGroup:
        ui->saturation_label->setText(text);
        break;
    case DeadbandGroup:
        ui->deadband_label->setText(text);
        break;
    default:
        break;
    }
}

QCheckBox *EffectSettings::enableBox() const
{
    return ui->checkBox;
}

QPushButton *EffectSettings::tuneButton() const
{
    return ui->b_tune;
}

QDoubleSpinBox *EffectSettings::filterBox() const
{
    return ui->spin_filter;
}

QLayout *EffectSettings::extraLayout() const
{
    return ui->l_extra_1;
}

QLayout *EffectSettings::buttonsLayout() const
{
    return ui->l_buttons;
}
