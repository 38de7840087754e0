#include "hwtrimwidget.h"
#include "ui_hwtrimwidget.h"

#include "btnbindlineedit.h"

HWTrimWidget::HWTrimWidget(QWidget *parent)
    : HWTrimWidget(nullptr, parent)
{
}

HWTrimWidget::HWTrimWidget(DataPacket *telemetry, QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::HWTrimWidget)
{
    ui->setupUi(this);
    on_cb_trim_enabled_stateChanged(ui->cb_trim_enabled->checkState());
    setTelemetry(telemetry);
}

HWTrimWidget::~HWTrimWidget()
{
    delete ui;
}

void HWTrimWidget::setTelemetry(DataPacket *telemetry)
{
    for (BtnBindLineEdit *field : buttonFields())
        field->setTelemetry(telemetry);
}

QCheckBox *HWTrimWidget::trimEnabledBox() const
{
    return ui->cb_trim_enabled;
}

QCheckBox *HWTrimWidget::overrideTrimBox() const
{
    return ui->cb_override_trim;
}

QSpinBox *HWTrimWidget::trimRateBox() const
{
    return ui->sb_trim_rate;
}

QList<BtnBindLineEdit *> HWTrimWidget::buttonFields() const
{
    return {ui->line_trim_up, ui->l_trim_down, ui->l_trim_left, ui->l_trim_right,
        ui->line_trim_release, ui->line_trim_reset};
}

void HWTrimWidget::on_cb_trim_enabled_stateChanged(int state)
{
    const bool enabled = state != Qt::Unchecked;
    ui->frame->setEnabled(enabled);
    ui->cb_override_trim->setEnabled(enabled);
}
