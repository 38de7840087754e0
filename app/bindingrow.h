#pragma once
// One two-way binding between a control and a configuration parameter, written as data: the
// tabs list their controls as tables of these rows and the binder wires them.

#include "bindingconversions.h"

// Form settings that belong with the binding (applied to spin boxes and sliders when bound).
struct ControlRange
{
    double minimum = 0;
    double maximum = 0; // minimum == maximum: the form's own range stays
    double step = 0; // 0: the form's own step
    int decimals = -1; // -1: the form's own decimals
    const char *suffix = nullptr;
    const char *prefix = nullptr;
};

struct BindingRow
{
    // Object name of the control, a descendant of the root the row is bound under; empty or
    // null for the root itself.
    const char *control;
    // The configuration parameter (property of DeviceConfig).
    const char *parameter;
    Conversion conversion;
    // Copy the parameter's value into the control right after binding.
    bool initial;
    ControlRange range = {};
    // Property of the control that carries the value, for controls that are not standard Qt
    // widgets (an effect panel's "gain_pos_x", a bind field's "value"); null for the usual one.
    const char *controlProperty = nullptr;
};
