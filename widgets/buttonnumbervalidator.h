#pragma once

#include <QValidator>

// Digits only, at most the given number. Unlike QIntValidator, which lets "256" or "9999"
// stand as intermediate input (and so reach valueChanged), a number above the maximum cannot
// be typed at all. The empty text is acceptable: it means no button.
class ButtonNumberValidator : public QValidator
{
    Q_OBJECT

public:
    explicit ButtonNumberValidator(unsigned maximum, QObject *parent = nullptr);

    unsigned maximum() const { return m_maximum; }
    State validate(QString &input, int &pos) const override;

private:
    unsigned m_maximum;
};
