#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TuneDialog;
}

// A small modal editor of controller terms with Apply (keeps the dialog open) and Close.
class TuneDialog : public QDialog
{
    Q_OBJECT

public:
    explicit TuneDialog(QWidget *parent = nullptr);
    ~TuneDialog() override;

Q_SIGNALS:
    void apply();

protected:
    std::unique_ptr<Ui::TuneDialog> ui;
};
