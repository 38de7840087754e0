#pragma once

#include "configtypes.h"

#include <cstdint>

// What a parameter is: its C++ type, how it sits in the image and how it is written to JSON.
enum class ConfigKind {
    Flag8, // uint8_t, one bit of an image byte
    Flag16, // uint16_t, one bit of an image byte
    U8,
    I8,
    I16, // little-endian
    U16, // little-endian
    Mask48, // uint64_t, the low 48 bits in six little-endian bytes
    Curve, // DeviceMappingData, 21 bytes
    Name, // DeviceName, 20 bytes
    ButtonMap, // ButtonMapping, 48 bytes
};

template<ConfigKind K> struct ConfigKindTraits;

#define TAVIK_CONFIG_KIND(K, T, SIZE)                                                              \
    template<> struct ConfigKindTraits<ConfigKind::K>                                              \
    {                                                                                              \
        using Type = T;                                                                            \
        static constexpr int kSize = SIZE;                                                         \
        static constexpr const char *kTypeName = #T;                                               \
    };
TAVIK_CONFIG_KIND(Flag8, uint8_t, 1)
TAVIK_CONFIG_KIND(Flag16, uint16_t, 1)
TAVIK_CONFIG_KIND(U8, uint8_t, 1)
TAVIK_CONFIG_KIND(I8, int8_t, 1)
TAVIK_CONFIG_KIND(I16, int16_t, 2)
TAVIK_CONFIG_KIND(U16, uint16_t, 2)
TAVIK_CONFIG_KIND(Mask48, uint64_t, 6)
TAVIK_CONFIG_KIND(Curve, DeviceMappingData, 21)
TAVIK_CONFIG_KIND(Name, DeviceName, 20)
TAVIK_CONFIG_KIND(ButtonMap, ButtonMapping, 48)
#undef TAVIK_CONFIG_KIND

#define TAVIK_PARAM_TYPE(kind) ConfigKindTraits<ConfigKind::kind>::Type

constexpr bool isFlagKind(ConfigKind kind)
{
    return kind == ConfigKind::Flag8 || kind == ConfigKind::Flag16;
}
