#pragma once
// Lets the user pick one base when several are plugged in, or a different one than before.

#include <QDialog>

#include <memory>

class QAbstractItemModel;

namespace Ui {
class DeviceChooserDialog;
}

class DeviceChooserDialog : public QDialog
{
    Q_OBJECT

public:
    explicit DeviceChooserDialog(QWidget *parent = nullptr);
    ~DeviceChooserDialog() override;

    // The dialog does not take ownership of the model.
    void setModel(QAbstractItemModel *model);
    // The chosen entry, or -1 when none is current.
    int currentRow() const;

private:
    void updateOkButton();

    std::unique_ptr<Ui::DeviceChooserDialog> ui;
};
