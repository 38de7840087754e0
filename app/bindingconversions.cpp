#include "bindingconversions.h"

#include <cmath>

namespace BindingConversions {

qint64 notFromChecked(bool checked)
{
    return checked ? 0 : 1;
}

bool notToChecked(qint64 p)
{
    return p == 0;
}

qint64 stateFromCheckState(int state)
{
    return state != 0 ? 1 : 0;
}

bool stateToChecked(qint64 p)
{
    return p != 0;
}

qint64 tenthsFromControl(double c)
{
    // std::round rounds halves away from zero.
    return qint64(std::round(c * 10.0));
}

double tenthsToControl(qint64 p)
{
    return double(float(p) / 10.0f);
}

qint64 fractionFromControl(double c)
{
    return qint64(std::round(c * 255.0));
}

double fractionToControl(qint64 p)
{
    return double(float(p) / 255.0f);
}

qint64 percentFromControl(qint64 c)
{
    return (c * 4096 + 50) / 100;
}

qint64 percentToControl(qint64 p)
{
    return (p * 100 + 2048) / 4096;
}

DeviceName textFromControl(const QString &text)
{
    return DeviceName::fromString(text);
}

QString textToControl(const DeviceName &name)
{
    return name.toString();
}

} // namespace BindingConversions
