#pragma once

#include <QSpinBox>

// An integer spin box that zero-pads its value to the width of its maximum, in upper case
// (for hexadecimal identifiers such as a USB product id).
class PaddedSpinBox : public QSpinBox
{
public:
    using QSpinBox::QSpinBox;

protected:
    QString textFromValue(int value) const override;
};
