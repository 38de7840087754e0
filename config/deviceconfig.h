#pragma once

// DeviceConfig itself is generated at build time from parameters.def (see tools/).
#include "deviceconfig_gen.h"

// Registers the fixed-width integer names used by the properties and signals ("int16_t" as
// short, ..., "int8_t" as signed char) and the three value types, so that properties can be
// read and written through QVariant by name. Safe to call more than once.
void registerConfigMetaTypes();
