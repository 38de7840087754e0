#pragma once

#include <QDialog>

#include <memory>

class MappingChart;
class QCheckBox;

namespace Ui {
class MappingDialog;
}

// Edits the X and Y gain curves of one effect. Modeless; Apply asks the owner to send the
// configuration, Reset restores both identity curves.
class MappingDialog : public QDialog
{
    Q_OBJECT

public:
    explicit MappingDialog(QWidget *parent = nullptr);
    ~MappingDialog() override;

    MappingChart *chartX() const;
    MappingChart *chartY() const;
    QCheckBox *separateAxisBox() const;
    QCheckBox *symmetricBox() const;

Q_SIGNALS:
    void onApply();

private:
    std::unique_ptr<Ui::MappingDialog> ui;
};
