#include "devicechooserdialog.h"
#include "ui_devicechooserdialog.h"

#include <QAbstractItemModel>
#include <QItemSelectionModel>
#include <QPushButton>

DeviceChooserDialog::DeviceChooserDialog(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::DeviceChooserDialog>())
{
    ui->setupUi(this);
    connect(ui->listView, &QAbstractItemView::activated, this, [this](const QModelIndex &index) {
        if (index.isValid())
            accept();
    });
    updateOkButton();
}

DeviceChooserDialog::~DeviceChooserDialog() = default;

void DeviceChooserDialog::setModel(QAbstractItemModel *model)
{
    ui->listView->setModel(model);
    // Ok means "use the current entry": without one there is nothing to accept.
    if (QItemSelectionModel *selection = ui->listView->selectionModel())
        connect(selection, &QItemSelectionModel::currentChanged, this,
            &DeviceChooserDialog::updateOkButton);
    updateOkButton();
}

int DeviceChooserDialog::currentRow() const
{
    const QModelIndex index = ui->listView->currentIndex();
    return index.isValid() ? index.row() : -1;
}

void DeviceChooserDialog::updateOkButton()
{
    if (QPushButton *ok = ui->buttonBox->button(QDialogButtonBox::Ok))
        ok->setEnabled(currentRow() >= 0);
}
