#include "signallabelbinding.h"

#include <QLabel>

SignalLabelBinding::SignalLabelBinding(const QString &propertyName, QLabel *label)
    : m_propertyName(propertyName)
    , m_label(label)
{
}

void SignalLabelBinding::valueChanged(int value)
{
    showValue(value);
}

void SignalLabelBinding::valueChanged(int16_t value)
{
    showValue(static_cast<int>(value));
}

void SignalLabelBinding::valueChanged(uint16_t value)
{
    showValue(static_cast<int>(value));
}

void SignalLabelBinding::showValue(int value)
{
    if (m_label)
        m_label->setText(QString::asprintf("%04d", value));
}
