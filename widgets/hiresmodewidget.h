#pragma once

#include <QWidget>

class BtnBindLineEdit;
class DataPacket;
class QCheckBox;
class QDoubleSpinBox;

namespace Ui {
class HiresModeWidget;
}

// The hi-res ("zoom axis") panel: an enable box, the grip button that activates the mode and
// the scale factor. It only builds its controls; the owner binds cb_enabled, button_bind and
// spin_scale_factor to the configuration.
class HiresModeWidget : public QWidget
{
    Q_OBJECT

public:
    explicit HiresModeWidget(QWidget *parent = nullptr);
    explicit HiresModeWidget(DataPacket *telemetry, QWidget *parent = nullptr);
    ~HiresModeWidget() override;

    // The button field follows the button events of telemetry.
    void setTelemetry(DataPacket *telemetry);

    QCheckBox *cb_enabled() const;
    BtnBindLineEdit *button_bind() const;
    QDoubleSpinBox *spin_scale_factor() const;

public Q_SLOTS:
    // The button and scale rows are usable only while the mode is on.
    void on_cb_enabled_stateChanged(int state);

private:
    Ui::HiresModeWidget *ui;
};
