#include "deviceconfig.h"

#include "configimage.h"
#include "configkind.h"
#include "configlogvalue_p.h"
#include "configparameters.h"

#include <QDebug>
#include <algorithm>
#include <type_traits>

namespace {

template<typename T> T stored(const T &v)
{
    return v;
}

DeviceName stored(const DeviceName &v)
{
    return v.normalised();
}

// A curve never claims more points than it has room for.
DeviceMappingData stored(const DeviceMappingData &v)
{
    DeviceMappingData c = v;
    c.count = std::min<uint8_t>(c.count, DeviceMappingData::kMaxPoints);
    return c;
}

} // namespace

DeviceConfig::DeviceConfig(QObject *parent)
    : BaseConfig(parent)
{
}

template<typename T>
void DeviceConfig::assign(
    T &member, const T &val, const char *name, void (DeviceConfig::*changed)(T))
{
    if (member == val)
        return;
    qDebug() << "set " << name << " = " << loggableConfigValue(val);
    member = stored(val);
    Q_EMIT(this->*changed)(member);
    if (const ConfigParameter *parameter = findConfigParameter(name))
        noteParameterChanged(parameter->index);
    setParametersModified(true);
}

#define TAVIK_PARAM(name, kind, offset, bit)                                                       \
    void DeviceConfig::set_##name(TAVIK_PARAM_TYPE(kind) val)                                      \
    {                                                                                              \
        assign(m_##name, val, #name, &DeviceConfig::name##Changed);                                \
    }
#include "parameters.def"

void DeviceConfig::loadImage(const QByteArray &image)
{
    const auto *data = reinterpret_cast<const uint8_t *>(image.constData());
    const size_t len = size_t(image.size());
    const ImageCheck check = checkConfigImage(data, len);
    if (check != ImageCheck::Ok)
        throw configImageError(check, len);
    applyConfigImage(*this, data, len);
}

void registerConfigMetaTypes()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    qRegisterMetaType<short>("int16_t");
    qRegisterMetaType<unsigned short>("uint16_t");
    qRegisterMetaType<unsigned int>("uint32_t");
    qRegisterMetaType<unsigned long long>("uint64_t");
    qRegisterMetaType<long long>("int64_t");
    qRegisterMetaType<int>("int32_t");
    qRegisterMetaType<unsigned char>("uint8_t");
    qRegisterMetaType<signed char>("int8_t");

    qRegisterMetaType<BaseConfig::ChangeOrigin>("BaseConfig::ChangeOrigin");
    qRegisterMetaType<DeviceMappingData>("DeviceMappingData");
    qRegisterMetaType<DeviceName>("DeviceName");
    qRegisterMetaType<ButtonMapping>("ButtonMapping");
    QMetaType::registerEqualsComparator<DeviceMappingData>();
    QMetaType::registerEqualsComparator<DeviceName>();
    QMetaType::registerEqualsComparator<ButtonMapping>();
    QMetaType::registerDebugStreamOperator<DeviceMappingData>();
    QMetaType::registerDebugStreamOperator<DeviceName>();
    QMetaType::registerDebugStreamOperator<ButtonMapping>();
}
