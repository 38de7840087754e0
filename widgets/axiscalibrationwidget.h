#pragma once

#include <QWidget>

#include <cstdint>

class QSpinBox;

namespace Ui {
class AxisCalibrationWidget;
}

// One row that calibrates an analogue axis of the grip or base: the live raw value, the
// stored minimum and maximum (the spin boxes brake_min and brake_max, bound by the owner),
// learning the range while the user sweeps the axis, centring the range on the current
// position and restoring default limits. Nothing is sent to the base from here.
//
// Values given through _setMinValue/_setMaxValue (or the minValue/maxValue properties) are
// shown as they are: a value outside the limits widens that box's range instead of being
// clamped, so showing a stored value never changes it.
class AxisCalibrationWidget : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString title READ title WRITE setTitle)
    Q_PROPERTY(int minValue READ minValue WRITE _setMinValue NOTIFY minValueChanged)
    Q_PROPERTY(int maxValue READ maxValue WRITE _setMaxValue NOTIFY maxValueChanged)
    Q_PROPERTY(int rawValue READ rawValue WRITE _setValue)

public:
    explicit AxisCalibrationWidget(QWidget *parent = nullptr);
    explicit AxisCalibrationWidget(const QString &title, QWidget *parent = nullptr);
    ~AxisCalibrationWidget() override;

    QString title() const;
    void setTitle(const QString &title);

    QSpinBox *minBox() const;
    QSpinBox *maxBox() const;
    int minValue() const;
    int maxValue() const;
    // The last raw value, as the unsigned 16 bits that centring uses.
    int rawValue() const { return m_raw; }
    bool isCalibrating() const;

    // The values the reset button restores; shows that button.
    void setDefaults(uint16_t min, uint16_t max);
    uint16_t defaultMin() const { return m_defaultMin; }
    uint16_t defaultMax() const { return m_defaultMax; }
    // The range both boxes offer for editing. A box's current value outside it stays as it
    // is (the box's range is widened to hold it) and is logged.
    void setLimits(int lo, int hi);
    void showCenterButton(bool show);

public Q_SLOTS:
    void onCalibrate(bool checked);
    void onCenter();
    void onReset();
    void _setValue(int v);
    void _setMinValue(int v);
    void _setMaxValue(int v);

Q_SIGNALS:
    void minValueChanged(int value);
    void maxValueChanged(int value);

private:
    void showInBox(QSpinBox *box, int v);
    void applyLimits(QSpinBox *box, int keep);

    Ui::AxisCalibrationWidget *ui;
    uint16_t m_raw = 0;
    uint16_t m_defaultMin = 0;
    uint16_t m_defaultMax = 0;
    int m_limitLo = 0;
    int m_limitHi = 65535;
};
