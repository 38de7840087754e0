#include "hiresmodewidget.h"
#include "ui_hiresmodewidget.h"

#include "btnbindlineedit.h"

HiresModeWidget::HiresModeWidget(QWidget *parent)
    : HiresModeWidget(nullptr, parent)
{
}

HiresModeWidget::HiresModeWidget(DataPacket *telemetry, QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::HiresModeWidget)
{
    ui->setupUi(this);
    on_cb_enabled_stateChanged(ui->cb_enabled->checkState());
    setTelemetry(telemetry);
}

HiresModeWidget::~HiresModeWidget()
{
    delete ui;
}

void HiresModeWidget::setTelemetry(DataPacket *telemetry)
{
    ui->button_bind->setTelemetry(telemetry);
}

QCheckBox *HiresModeWidget::cb_enabled() const
{
    return ui->cb_enabled;
}

BtnBindLineEdit *HiresModeWidget::button_bind() const
{
    return ui->button_bind;
}

QDoubleSpinBox *HiresModeWidget::spin_scale_factor() const
{
    return ui->spin_scale_factor;
}

void HiresModeWidget::on_cb_enabled_stateChanged(int state)
{
    ui->frame->setEnabled(state != Qt::Unchecked);
}
