#include "buttonnumbervalidator.h"

ButtonNumberValidator::ButtonNumberValidator(unsigned maximum, QObject *parent)
    : QValidator(parent)
    , m_maximum(maximum)
{
}

QValidator::State ButtonNumberValidator::validate(QString &input, int &) const
{
    if (input.isEmpty())
        return Acceptable;
    const int maxDigits = QString::number(m_maximum).size();
    if (input.size() > maxDigits)
        return Invalid;
    for (const QChar c : input) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return Invalid;
    }
    return input.toUInt() <= m_maximum ? Acceptable : Invalid;
}
