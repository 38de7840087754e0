#include "configparameters.h"

#include "deviceconfig.h"

#include <cstring>
#include <type_traits>

namespace {

// Variants carry the meta-type the property is declared with ("uint64_t" is unsigned long long).
template<typename T> QVariant toVariant(const T &v)
{
    if constexpr (std::is_same_v<T, uint64_t>)
        return QVariant::fromValue(qulonglong(v));
    else
        return QVariant::fromValue(v);
}

template<typename T>
bool writeVariant(DeviceConfig &config, const QVariant &value, void (DeviceConfig::*setter)(T))
{
    QVariant v = value;
    if (!v.convert(qMetaTypeId<T>()))
        return false;
    (config.*setter)(v.value<T>());
    return true;
}

const std::array<ConfigParameter, kConfigParameterCount> kParameters = {{
#define TAVIK_PARAM(name, kind, offset, bit)                                                       \
    {0, #name, ConfigKind::kind, offset, bit, ConfigKindTraits<ConfigKind::kind>::kSize,           \
        ConfigKindTraits<ConfigKind::kind>::kTypeName,                                             \
        [](const DeviceConfig &c) { return toVariant(c.name()); },                                 \
        [](DeviceConfig &c, const QVariant &v) {                                                   \
            return writeVariant<TAVIK_PARAM_TYPE(kind)>(c, v, &DeviceConfig::set_##name);          \
        }},
#include "parameters.def"
}};

const std::array<ConfigParameter, kConfigParameterCount> &indexedParameters()
{
    static const std::array<ConfigParameter, kConfigParameterCount> table = [] {
        auto t = kParameters;
        for (int i = 0; i < kConfigParameterCount; ++i)
            t[size_t(i)].index = i;
        return t;
    }();
    return table;
}

} // namespace

const std::array<ConfigParameter, kConfigParameterCount> &configParameters()
{
    return indexedParameters();
}

const ConfigParameter &configParameter(int index)
{
    Q_ASSERT(index >= 0 && index < kConfigParameterCount);
    return indexedParameters()[size_t(index)];
}

const ConfigParameter *findConfigParameter(const char *name)
{
    if (!name)
        return nullptr;
    for (const ConfigParameter &p : indexedParameters())
        if (std::strcmp(p.name, name) == 0)
            return &p;
    return nullptr;
}

const ConfigParameter *findConfigParameter(const QString &name)
{
    return findConfigParameter(name.toUtf8().constData());
}

QMetaMethod configParameterSignal(const ConfigParameter &parameter)
{
    const QMetaObject &mo = DeviceConfig::staticMetaObject;
    const int property = mo.indexOfProperty(parameter.name);
    return property < 0 ? QMetaMethod() : mo.property(property).notifySignal();
}

// parameters.def must list exactly kConfigParameterCount entries.
constexpr int kListedParameters = 0
#define TAVIK_PARAM(name, kind, offset, bit) +1
#include "parameters.def"
    ;
static_assert(kListedParameters == kConfigParameterCount, "parameters.def is incomplete");
