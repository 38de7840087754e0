#pragma once

#include "signallabelbinding.h"

// Shows a property scaled into a unit, e.g. hundredths of an ampere as "12.34A". The number of
// decimals follows the scale: 0.01 gives two, 0.1 one, 1 none.
class SignalLabelBindingF : public SignalLabelBinding
{
    Q_OBJECT

public:
    SignalLabelBindingF(
        const QString &propertyName, QLabel *label, float scale, const QString &suffix);

    int decimals() const { return m_decimals; }

public Q_SLOTS:
    void valueChanged(int value);

protected:
    void showValue(int value) override;

private:
    int m_decimals;
    float m_scale;
    QString m_suffix;
};
