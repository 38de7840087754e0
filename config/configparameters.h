#pragma once

#include "configkind.h"

#include <QMetaMethod>
#include <QString>
#include <QVariant>
#include <array>

class DeviceConfig;

constexpr int kConfigParameterCount = 181;

// One firmware parameter, as listed in parameters.def.
struct ConfigParameter
{
    int index; // position in declaration order, 0..180
    const char *name; // property name, also the JSON key
    ConfigKind kind;
    int offset; // first byte in the configuration image
    int bit; // bit within that byte for flags, -1 otherwise
    int size; // bytes covered in the image (1 for flags)
    const char *typeName; // type of the property and of the change signal, e.g. "uint8_t"
    // Reads the value as a QVariant of the parameter's C++ type.
    QVariant (*read)(const DeviceConfig &config);
    // Converts the value to the parameter's type and calls its setter; false when the variant
    // cannot be converted (nothing is changed then).
    bool (*write)(DeviceConfig &config, const QVariant &value);
};

// All parameters in declaration order.
const std::array<ConfigParameter, kConfigParameterCount> &configParameters();
// By index; index must be in 0..kConfigParameterCount-1.
const ConfigParameter &configParameter(int index);
// By name; nullptr when there is no such parameter.
const ConfigParameter *findConfigParameter(const QString &name);
const ConfigParameter *findConfigParameter(const char *name);
// The change signal of a parameter (for connecting bindings without spelling its name).
QMetaMethod configParameterSignal(const ConfigParameter &parameter);
