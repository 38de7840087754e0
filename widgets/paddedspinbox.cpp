#include "paddedspinbox.h"

QString PaddedSpinBox::textFromValue(int value) const
{
    const int width = QString::number(maximum(), displayIntegerBase()).size();
    return QStringLiteral("%1").arg(value, width, displayIntegerBase(), QLatin1Char('0')).toUpper();
}
