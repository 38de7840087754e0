#pragma once

#include <QWidget>

class BtnBindLineEdit;
class DataPacket;
class QCheckBox;
class QSpinBox;

namespace Ui {
class HWTrimWidget;
}

// The hardware force-trim panel: enable, override of the game's spring centre, the six grip
// buttons that move, release and reset the trim, and the slew rate. It only builds its
// controls and their enable logic; the owner binds the named children (cb_trim_enabled,
// cb_override_trim, line_trim_up, l_trim_down, l_trim_left, l_trim_right, line_trim_release,
// line_trim_reset, sb_trim_rate) to the configuration.
class HWTrimWidget : public QWidget
{
    Q_OBJECT

public:
    explicit HWTrimWidget(QWidget *parent = nullptr);
    explicit HWTrimWidget(DataPacket *telemetry, QWidget *parent = nullptr);
    ~HWTrimWidget() override;

    // The six button fields follow the button events of telemetry.
    void setTelemetry(DataPacket *telemetry);

    QCheckBox *trimEnabledBox() const;
    QCheckBox *overrideTrimBox() const;
    QSpinBox *trimRateBox() const;
    // The six button fields: up, down, left, right, release, reset.
    QList<BtnBindLineEdit *> buttonFields() const;

public Q_SLOTS:
    // The bindings, the slew rate and the override box are usable only while trim is on.
    void on_cb_trim_enabled_stateChanged(int state);

private:
    Ui::HWTrimWidget *ui;
};
