#pragma once
// The JSON form of each parameter kind, shared by the .tavconf file code and the snapshots:
// toJson writes the canonical form, fromJson converts and checks a member (never wraps a value
// that does not fit its type).

#include "configkind.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>
#include <string>
#include <type_traits>

namespace configjson {

using nlohmann::json;

// ---- writing ----

template<ConfigKind K> json toJson(const typename ConfigKindTraits<K>::Type &v)
{
    using T = typename ConfigKindTraits<K>::Type;
    if constexpr (std::is_same_v<T, DeviceMappingData>) {
        json x = json::array(), y = json::array();
        for (int i = 0; i < DeviceMappingData::kMaxPoints; ++i) {
            x.push_back(int(v.x[i]));
            y.push_back(int(v.y[i]));
        }
        return json::array({x, y});
    } else if constexpr (std::is_same_v<T, DeviceName>) {
        // The text as the window shows it: a Latin-1 name from an older tool stays readable
        // instead of becoming replacement characters.
        const QByteArray bytes = v.toString().toUtf8();
        return std::string(bytes.constData(), size_t(bytes.size()));
    } else if constexpr (std::is_same_v<T, ButtonMapping>) {
        json a = json::array();
        for (uint8_t b : v.map)
            a.push_back(unsigned(b));
        return a;
    } else if constexpr (std::is_signed_v<T>) {
        return int64_t(v);
    } else {
        return uint64_t(v);
    }
}

// ---- reading ----

inline std::string typeName(const json &j)
{
    return j.type_name();
}

template<typename T> bool readInteger(const json &j, T &out, std::string &error)
{
    constexpr auto lo = std::numeric_limits<T>::min();
    constexpr auto hi = std::numeric_limits<T>::max();
    auto range = [&](const std::string &value) {
        error = "value " + value + " is out of range (" + std::to_string(int64_t(lo)) + ".."
            + std::to_string(uint64_t(hi)) + ")";
        return false;
    };
    switch (j.type()) {
    case json::value_t::boolean:
        out = j.get<bool>() ? 1 : 0;
        return true;
    case json::value_t::number_unsigned: {
        const uint64_t v = j.get<uint64_t>();
        if (v > uint64_t(hi))
            return range(std::to_string(v));
        out = T(v);
        return true;
    }
    case json::value_t::number_integer: {
        const int64_t v = j.get<int64_t>();
        if ((v < 0 && (!std::is_signed_v<T> || v < int64_t(lo)))
            || (v > 0 && uint64_t(v) > uint64_t(hi)))
            return range(std::to_string(v));
        out = T(v);
        return true;
    }
    case json::value_t::number_float: {
        const double v = j.get<double>();
        if (!std::isfinite(v) || std::trunc(v) != v) {
            error = "value " + j.dump() + " is not an integer";
            return false;
        }
        // 2^64 and the type's bounds are exact in double for every type here except uint64_t's
        // maximum, which rounds up to 2^64; hence the strict comparison.
        if (v < double(lo) || v >= double(hi) + 1.0)
            return range(j.dump());
        out = T(v);
        return true;
    }
    default:
        error = "must be a number, not " + typeName(j);
        return false;
    }
}

template<ConfigKind K>
bool fromJson(const json &j, typename ConfigKindTraits<K>::Type &out, std::string &error)
{
    using T = typename ConfigKindTraits<K>::Type;
    if constexpr (std::is_same_v<T, DeviceMappingData>) {
        out = DeviceMappingData();
        if (j.is_null())
            return true;
        if (!j.is_array()) {
            error = "must be an array of the x and the y values, not " + typeName(j);
            return false;
        }
        int8_t *targets[2] = {out.x, out.y};
        for (size_t axis = 0; axis < 2 && axis < j.size(); ++axis) {
            const json &values = j[axis];
            const char *axisName = axis == 0 ? "x" : "y";
            if (values.is_null() || (values.is_object() && values.empty()))
                continue;
            if (!values.is_array()) {
                error = std::string(axisName) + " values must be an array, not " + typeName(values);
                return false;
            }
            const size_t n = std::min<size_t>(values.size(), DeviceMappingData::kMaxPoints);
            for (size_t i = 0; i < n; ++i) {
                std::string e;
                if (!readInteger(values[i], targets[axis][i], e)) {
                    error = std::string(axisName) + "[" + std::to_string(i) + "]: " + e;
                    return false;
                }
            }
        }
        return true;
    } else if constexpr (std::is_same_v<T, DeviceName>) {
        if (!j.is_string()) {
            error = "must be a string, not " + typeName(j);
            return false;
        }
        const auto &s = j.get_ref<const std::string &>();
        out = DeviceName::fromUtf8(s.data(), s.size());
        return true;
    } else if constexpr (std::is_same_v<T, ButtonMapping>) {
        out = ButtonMapping();
        if (j.is_null())
            return true;
        if (!j.is_array()) {
            error = "must be an array of physical button numbers, not " + typeName(j);
            return false;
        }
        const size_t n = std::min<size_t>(j.size(), ButtonMapping::kSize);
        for (size_t i = 0; i < n; ++i) {
            std::string e;
            if (!readInteger(j[i], out.map[i], e)) {
                error = "[" + std::to_string(i) + "]: " + e;
                return false;
            }
        }
        return true;
    } else {
        return readInteger(j, out, error);
    }
}

} // namespace configjson
