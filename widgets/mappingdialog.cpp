#include "mappingdialog.h"

#include "mappingchart.h"
#include "ui_mappingdialog.h"

#include <QPushButton>

MappingDialog::MappingDialog(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::MappingDialog>())
{
    ui->setupUi(this);
    connect(ui->check_symmetric, &QCheckBox::stateChanged, this, [this](int state) {
        ui->mapping_chart->setSymmetric(state != 0);
        ui->mapping_chart_y->setSymmetric(state != 0);
    });
    ui->mapping_chart->setSymmetric(ui->check_symmetric->isChecked());
    ui->mapping_chart_y->setSymmetric(ui->check_symmetric->isChecked());
    connect(ui->buttonBox->button(QDialogButtonBox::Apply), &QPushButton::clicked, this,
        &MappingDialog::onApply);
    connect(ui->buttonBox->button(QDialogButtonBox::Reset), &QPushButton::clicked, this, [this] {
        ui->mapping_chart->resetMapping();
        ui->mapping_chart_y->resetMapping();
    });
}

MappingDialog::~MappingDialog() = default;

MappingChart *MappingDialog::chartX() const
{
    return ui->mapping_chart;
}

MappingChart *MappingDialog::chartY() const
{
    return ui->mapping_chart_y;
}

QCheckBox *MappingDialog::separateAxisBox() const
{
    return ui->check_sep_axis;
}

QCheckBox *MappingDialog::symmetricBox() const
{
    return ui->check_symmetric;
}
