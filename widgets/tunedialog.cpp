#include "tunedialog.h"

#include "ui_tunedialog.h"

#include <QPushButton>

TuneDialog::TuneDialog(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::TuneDialog>())
{
    ui->setupUi(this);
    connect(ui->buttonBox->button(QDialogButtonBox::Apply), &QPushButton::clicked, this,
        &TuneDialog::apply);
}

TuneDialog::~TuneDialog() = default;
