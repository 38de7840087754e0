#include "configimage.h"

#include "configkind.h"
#include "configlogvalue_p.h"
#include "deviceconfig.h"

#include <QDebug>
#include <cstring>

namespace {

template<ConfigKind K> struct Codec;

template<> struct Codec<ConfigKind::Flag8>
{
    static void put(uint8_t *img, int off, int bit, uint8_t v)
    {
        img[off] = uint8_t((img[off] & ~(1u << bit)) | ((v & 1u) << bit));
    }
    static uint8_t get(const uint8_t *img, int off, int bit) { return (img[off] >> bit) & 1u; }
};

template<> struct Codec<ConfigKind::Flag16>
{
    static void put(uint8_t *img, int off, int bit, uint16_t v)
    {
        img[off] = uint8_t((img[off] & ~(1u << bit)) | ((v & 1u) << bit));
    }
    static uint16_t get(const uint8_t *img, int off, int bit) { return (img[off] >> bit) & 1u; }
};

template<> struct Codec<ConfigKind::U8>
{
    static void put(uint8_t *img, int off, int, uint8_t v) { img[off] = v; }
    static uint8_t get(const uint8_t *img, int off, int) { return img[off]; }
};

template<> struct Codec<ConfigKind::I8>
{
    static void put(uint8_t *img, int off, int, int8_t v) { img[off] = uint8_t(v); }
    static int8_t get(const uint8_t *img, int off, int) { return int8_t(img[off]); }
};

template<> struct Codec<ConfigKind::U16>
{
    static void put(uint8_t *img, int off, int, uint16_t v)
    {
        img[off] = uint8_t(v);
        img[off + 1] = uint8_t(v >> 8);
    }
    static uint16_t get(const uint8_t *img, int off, int)
    {
        return uint16_t(img[off] | (img[off + 1] << 8));
    }
};

template<> struct Codec<ConfigKind::I16>
{
    static void put(uint8_t *img, int off, int bit, int16_t v)
    {
        Codec<ConfigKind::U16>::put(img, off, bit, uint16_t(v));
    }
    static int16_t get(const uint8_t *img, int off, int bit)
    {
        return int16_t(Codec<ConfigKind::U16>::get(img, off, bit));
    }
};

template<> struct Codec<ConfigKind::Mask48>
{
    static void put(uint8_t *img, int off, int, uint64_t v)
    {
        for (int i = 0; i < 6; ++i)
            img[off + i] = uint8_t(v >> (8 * i));
    }
    static uint64_t get(const uint8_t *img, int off, int)
    {
        uint64_t v = 0;
        for (int i = 0; i < 6; ++i)
            v |= uint64_t(img[off + i]) << (8 * i);
        return v;
    }
};

template<> struct Codec<ConfigKind::Curve>
{
    static void put(uint8_t *img, int off, int, const DeviceMappingData &v)
    {
        img[off] = v.count;
        std::memcpy(img + off + 1, v.x, sizeof v.x);
        std::memcpy(img + off + 11, v.y, sizeof v.y);
    }
    static DeviceMappingData get(const uint8_t *img, int off, int)
    {
        DeviceMappingData v;
        // A count beyond the arrays would let the curve editor read past them.
        v.count = std::min<uint8_t>(img[off], DeviceMappingData::kMaxPoints);
        std::memcpy(v.x, img + off + 1, sizeof v.x);
        std::memcpy(v.y, img + off + 11, sizeof v.y);
        return v;
    }
};

template<> struct Codec<ConfigKind::Name>
{
    static void put(uint8_t *img, int off, int, const DeviceName &v)
    {
        const DeviceName n = v.normalised();
        std::memcpy(img + off, n.text, sizeof n.text);
    }
    static DeviceName get(const uint8_t *img, int off, int)
    {
        DeviceName v;
        std::memcpy(v.text, img + off, sizeof v.text);
        return v;
    }
};

template<> struct Codec<ConfigKind::ButtonMap>
{
    static void put(uint8_t *img, int off, int, const ButtonMapping &v)
    {
        std::memcpy(img + off, v.map, sizeof v.map);
    }
    static ButtonMapping get(const uint8_t *img, int off, int)
    {
        ButtonMapping v;
        std::memcpy(v.map, img + off, sizeof v.map);
        return v;
    }
};

// Every field must lie inside the image.
#define TAVIK_PARAM(name, kind, offset, bit)                                                       \
    static_assert(                                                                                 \
        offset >= 1 && offset + ConfigKindTraits<ConfigKind::kind>::kSize <= kConfigImageSize,     \
        #name " lies outside the image");                                                          \
    static_assert(bit < 8, #name " has a bad bit number");                                         \
    static_assert((bit >= 0) == isFlagKind(ConfigKind::kind), #name " flag/bit mismatch");
#include "parameters.def"

} // namespace

void buildConfigImage(const DeviceConfig &config, ConfigImage &image)
{
    image.fill(0);
    image[0] = kConfigImageVersion;
    uint8_t *img = image.data();
#define TAVIK_PARAM(name, kind, offset, bit)                                                       \
    {                                                                                              \
        const auto value = config.name();                                                          \
        Codec<ConfigKind::kind>::put(img, offset, bit, value);                                     \
        qDebug() << #name << " = " << loggableConfigValue(value);                                  \
    }
#include "parameters.def"
}

void encodeConfigImage(const DeviceConfig &config, ConfigImage &image)
{
    image.fill(0);
    image[0] = kConfigImageVersion;
    uint8_t *img = image.data();
#define TAVIK_PARAM(name, kind, offset, bit)                                                       \
    Codec<ConfigKind::kind>::put(img, offset, bit, config.name());
#include "parameters.def"
}

QByteArray buildConfigImage(const DeviceConfig &config)
{
    ConfigImage image;
    buildConfigImage(config, image);
    return QByteArray(reinterpret_cast<const char *>(image.data()), int(image.size()));
}

bool buildConfigImage(const QObject *config, ConfigImage &image)
{
    const auto *deviceConfig = qobject_cast<const DeviceConfig *>(config);
    if (!deviceConfig)
        return false;
    buildConfigImage(*deviceConfig, image);
    return true;
}

ImageCheck checkConfigImage(const uint8_t *image, size_t len)
{
    if (!image || len != size_t(kConfigImageSize))
        return ImageCheck::BadSize;
    if (image[0] != kConfigImageVersion)
        return ImageCheck::BadVersion;
    return ImageCheck::Ok;
}

QString configImageError(ImageCheck check, size_t len)
{
    switch (check) {
    case ImageCheck::Ok:
        break;
    case ImageCheck::BadSize:
        return QStringLiteral("Bad FW config size %1").arg(qulonglong(len));
    case ImageCheck::BadVersion:
        return QStringLiteral("Incompatible FW config version, please update");
    }
    return QString();
}

ImageCheck applyConfigImage(DeviceConfig &config, const uint8_t *image, size_t len)
{
    const ImageCheck check = checkConfigImage(image, len);
    if (check != ImageCheck::Ok)
        return check;
#define TAVIK_PARAM(name, kind, offset, bit)                                                       \
    config.set_##name(Codec<ConfigKind::kind>::get(image, offset, bit));
#include "parameters.def"
    return ImageCheck::Ok;
}

ImageCheck applyConfigImage(DeviceConfig &config, const QByteArray &image)
{
    return applyConfigImage(
        config, reinterpret_cast<const uint8_t *>(image.constData()), size_t(image.size()));
}
