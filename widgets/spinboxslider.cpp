#include "spinboxslider.h"

#include "widgetslog.h"

#include <QCursor>
#include <QFocusEvent>
#include <QScopedValueRollback>
#include <QSignalBlocker>

#include <algorithm>
#include <cmath>

SpinBoxSlider::SpinBoxSlider(QWidget *parent)
    : QDoubleSpinBox(parent)
    , m_slider(Qt::Vertical)
{
    QDoubleSpinBox::setMinimum(0.0);
    setMaximumRaw(4096);
    // The slider follows the raw value silently; only a user's slider move is an edit.
    connect(this, &SpinBoxSlider::valueChanged, this, [this](int value) {
        const QSignalBlocker blocker(&m_slider);
        m_slider.setValue(value);
    });
    connect(&m_slider, &QSlider::valueChanged, this, qOverload<int>(&SpinBoxSlider::setValue));
    connect(this, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
        &SpinBoxSlider::onDisplayChanged);
    m_slider.setTickPosition(QSlider::TicksAbove);
    setSingleStep(0.1);
    setSuffix(QStringLiteral("%"));
    setDecimals(1);
    // A typed number becomes an edit when it is complete (Enter or leaving the field), so the
    // linked fields and the record never see the partial numbers typed on the way.
    setKeyboardTracking(false);
    m_slider.setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint);
    m_slider.setAttribute(Qt::WA_ShowWithoutActivating);
}

SpinBoxSlider::~SpinBoxSlider() = default;

double SpinBoxSlider::percentFromRaw(int raw, int maximum)
{
    return 100.0 / maximum * raw;
}

int SpinBoxSlider::rawFromPercent(double percent, int maximum, int decimals)
{
    // The shown percentage has `decimals` digits: take it as a whole number of steps, so that
    // maximum x steps is exact and a raw value exactly half-way rounds as intended. std::lround
    // rounds halves away from zero, so negative values mirror positive ones.
    const double unit = std::pow(10.0, std::clamp(decimals, 0, 6));
    const double steps = std::round(percent * unit);
    if (!std::isfinite(steps) || std::abs(steps) > 1e9)
        return 0;
    const double raw = maximum * steps / (100.0 * unit);
    return static_cast<int>(std::lround(std::clamp(raw, -1e9, 1e9)));
}

void SpinBoxSlider::setValue(int value)
{
    value = std::max(std::min(value, m_rawMax), m_rawMin);
    if (value == m_raw)
        return;
    m_raw = value;
    Q_EMIT valueChanged(value);
    updateDisplay();
}

void SpinBoxSlider::showValue(int raw)
{
    if (raw == m_raw && !isValueOutOfRange())
        return;
    m_raw = raw;
    {
        const QSignalBlocker blocker(&m_slider);
        m_slider.setValue(raw);
    }
    updateDisplay();
}

void SpinBoxSlider::setMinimumRaw(int minimum)
{
    m_rawMin = minimum;
    updateDisplayRange();
}

void SpinBoxSlider::setMaximumRaw(int maximum)
{
    if (maximum < 1) {
        qCWarning(lcWidgets) << "SpinBoxSlider: refusing raw maximum" << maximum;
        return;
    }
    m_rawMax = maximum;
    updateDisplayRange();
}

void SpinBoxSlider::updateDisplayRange()
{
    {
        const QSignalBlocker blocker(&m_slider);
        m_slider.setRange(m_rawMin, m_rawMax);
        m_slider.setValue(m_raw);
    }
    {
        // Changing the range may clamp the shown percentage; that is not an edit.
        const QScopedValueRollback<bool> guard(m_updatingDisplay, true);
        QDoubleSpinBox::setRange(percentFromRaw(m_rawMin, m_rawMax), 100.0);
    }
    updateDisplay();
}

void SpinBoxSlider::updateDisplay()
{
    const QScopedValueRollback<bool> guard(m_updatingDisplay, true);
    // Also refreshes the text when the clamped number stays the same (see textFromValue).
    QDoubleSpinBox::setValue(percentFromRaw(m_raw, m_rawMax));
}

void SpinBoxSlider::onDisplayChanged(double percent)
{
    // Only a change the user made converts back; a value we display keeps its exact raw value.
    if (m_updatingDisplay)
        return;
    setValue(rawFromPercent(percent, m_rawMax, decimals()));
}

QString SpinBoxSlider::textFromValue(double value) const
{
    if (isValueOutOfRange() && value == QDoubleSpinBox::value()) {
        // Rounded as the spin box rounds its own value; "+ 0.0" turns -0.0 into 0.0.
        value = QString::number(percentFromRaw(m_raw, m_rawMax), 'f', decimals()).toDouble() + 0.0;
    }
    return QDoubleSpinBox::textFromValue(value);
}

void SpinBoxSlider::focusInEvent(QFocusEvent *event)
{
    if (!m_slider.hasFocus()) {
        {
            const QSignalBlocker blocker(&m_slider);
            m_slider.setRange(m_rawMin, m_rawMax);
            m_slider.setTickInterval((m_rawMax - m_rawMin) / 10);
            m_slider.setValue(m_raw);
            m_slider.show();
            m_slider.setFocus(Qt::OtherFocusReason);
        }
        m_slider.move(QCursor::pos() + QPoint(10, 0));
        m_slider.setMinimumHeight(150);
        m_popupShown = true;
    }
    QDoubleSpinBox::focusInEvent(event);
}

void SpinBoxSlider::focusOutEvent(QFocusEvent *event)
{
    if (!m_slider.hasFocus()) {
        m_slider.hide();
        m_popupShown = false;
    }
    QDoubleSpinBox::focusOutEvent(event);
}
