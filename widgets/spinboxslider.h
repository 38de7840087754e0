#pragma once

#include <QDoubleSpinBox>
#include <QSlider>

// A percent spin box over a raw device value (raw maximum = 100 %). While it has focus a vertical
// slider pops up beside the mouse pointer for coarse adjustment.
//
// Two ways in: setValue() is an edit (clamped to the raw range, emits valueChanged), showValue()
// displays a value that came from the device or a file and emits nothing, so a value that the
// control cannot represent exactly, or that lies outside its range, is never written back.
class SpinBoxSlider : public QDoubleSpinBox
{
    Q_OBJECT

public:
    explicit SpinBoxSlider(QWidget *parent = nullptr);
    ~SpinBoxSlider() override;

    int rawValue() const { return m_raw; }
    int minimumRaw() const { return m_rawMin; }
    int maximumRaw() const { return m_rawMax; }
    void setMinimumRaw(int minimum);
    // The raw maximum is also the raw value shown as 100 %; values below 1 are refused.
    void setMaximumRaw(int maximum);

    bool isValueOutOfRange() const { return m_raw < m_rawMin || m_raw > m_rawMax; }

    // Percent shown for a raw value and raw value for a typed percent, with maximum m.
    static double percentFromRaw(int raw, int maximum);
    static int rawFromPercent(double percent, int maximum, int decimals = 1);

    QSlider *popupSlider() { return &m_slider; }
    bool isPopupShown() const { return m_popupShown; }

    // The spin box's own setValue(double) takes a percentage; calling it by mistake with a raw
    // value (or this one with a percentage) would silently mean something else.
    void setValue(double) = delete;

public Q_SLOTS:
    void setValue(int value);
    // Shows a stored value as it is: no clamping, no valueChanged. A value outside the raw range
    // is displayed with its true percentage.
    void showValue(int raw);

Q_SIGNALS:
    void valueChanged(int value);

protected:
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    QString textFromValue(double value) const override;

private:
    void onDisplayChanged(double percent);
    void updateDisplay();
    void updateDisplayRange();

    QSlider m_slider;
    bool m_popupShown = false;
    bool m_updatingDisplay = false;
    int m_raw = 0;
    int m_rawMin = 0;
    int m_rawMax = 4096;
};
