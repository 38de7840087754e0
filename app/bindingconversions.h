#pragma once
// The conversions between a control's value and a configuration parameter's raw value, one
// function per direction. Integer results are the raw value before it is narrowed to the
// parameter's own width (the binder writes it in the parameter's type).

#include "configtypes.h"

#include <QString>
#include <QtGlobal>

enum class Conversion {
    Same, // the value as it is
    Not, // a box that is checked when the flag is 0
    State, // any check state but unchecked is 1
    Tenths, // a decimal shown, tenths stored
    Fraction, // 0..1 shown, 255 x factor stored
    Percent, // percent shown, 4096 = 100 % stored
    Id, // a combo box row's identifier
    Text, // a line edit over a 20-byte name
};

namespace BindingConversions {

qint64 notFromChecked(bool checked);
bool notToChecked(qint64 p);
qint64 stateFromCheckState(int state);
bool stateToChecked(qint64 p);
// Halves away from zero.
qint64 tenthsFromControl(double c);
double tenthsToControl(qint64 p);
qint64 fractionFromControl(double c);
double fractionToControl(qint64 p);
// Integer division truncating toward zero, also for negative values.
qint64 percentFromControl(qint64 c);
qint64 percentToControl(qint64 p);
DeviceName textFromControl(const QString &text);
QString textToControl(const DeviceName &name);

} // namespace BindingConversions
