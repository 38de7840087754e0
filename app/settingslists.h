#pragma once
// The identifier lists of the Settings tab's combo boxes: (name, identifier) rows in the order
// the combo boxes show them.

#include "idlistmodel.h"

const IdListModel::List &potFunctionList();
const IdListModel::List &gripTypeList();
// Pot functions that make the pot an axis, whose calibration is then shown.
bool isPotAxisFunction(int id);
