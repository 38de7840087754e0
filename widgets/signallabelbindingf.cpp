#include "signallabelbindingf.h"

#include <QLabel>

#include <algorithm>
#include <cmath>

namespace {
int decimalsForScale(float scale)
{
    // A zero, negative or non-finite scale would make log10 meaningless; show whole numbers.
    if (!std::isfinite(scale) || scale <= 0.0f)
        return 0;
    const float digits = std::fabs(std::log10(scale));
    return std::isfinite(digits) ? std::min(static_cast<int>(digits), 9) : 0;
}
} // namespace

SignalLabelBindingF::SignalLabelBindingF(
    const QString &propertyName, QLabel *label, float scale, const QString &suffix)
    : SignalLabelBinding(propertyName, label)
    , m_decimals(decimalsForScale(scale))
    , m_scale(scale)
    , m_suffix(suffix)
{
}

void SignalLabelBindingF::valueChanged(int value)
{
    present(value);
}

void SignalLabelBindingF::showValue(int value)
{
    if (!label())
        return;
    const float shown = static_cast<float>(value) * m_scale;
    label()->setText(QString::asprintf(
        "%5.*f%s", m_decimals, static_cast<double>(shown), m_suffix.toUtf8().constData()));
}
