#include "tunedialog.h"

#include "ui_tunedialog.h"

#include <QPushButton>

TuneDialog::TuneDialog(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::TuneDialog>())
{
    ui->setupUi(this);
    // Enter in a field applies the terms instead of closing the dialog.
    ui->buttonBox->button(QDialogButtonBox::Apply)->setDefault(true);
    connect(ui->buttonBox->button(QDialogButtonBox::Apply), &QPushButton::clicked, this,
        &TuneDialog::apply);
}

TuneDialog::~TuneDialog() = default;
