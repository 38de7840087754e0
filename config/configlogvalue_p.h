#pragma once

#include <cstdint>
#include <type_traits>

// Values as the configuration's debug lines print them: eight-bit integers as numbers, not as
// characters; everything else as it is.
template<typename T> auto loggableConfigValue(const T &v)
{
    if constexpr (std::is_same_v<T, uint8_t> || std::is_same_v<T, int8_t>)
        return int(v);
    else
        return v;
}
