#include "imagefields.h"

#include "configparameters.h"
#include "wireformat.h"

namespace {

const ConfigParameter *integerField(const QByteArray &image, const char *name)
{
    const ConfigParameter *p = findConfigParameter(name);
    if (!p || p->offset < 0 || p->offset + p->size > image.size())
        return nullptr;
    switch (p->kind) {
    case ConfigKind::Curve:
    case ConfigKind::Name:
    case ConfigKind::ButtonMap:
        return nullptr;
    default:
        return p;
    }
}

} // namespace

namespace ImageFields {

qint64 read(const QByteArray &image, const char *name)
{
    const ConfigParameter *p = integerField(image, name);
    if (!p)
        return 0;
    const auto *d = reinterpret_cast<const uint8_t *>(image.constData()) + p->offset;
    switch (p->kind) {
    case ConfigKind::Flag8:
    case ConfigKind::Flag16:
        return (d[0] >> p->bit) & 1;
    case ConfigKind::U8:
        return d[0];
    case ConfigKind::I8:
        return int8_t(d[0]);
    case ConfigKind::I16:
        return int16_t(uint16_t(d[0] | (d[1] << 8)));
    case ConfigKind::U16:
        return uint16_t(d[0] | (d[1] << 8));
    case ConfigKind::Mask48: {
        quint64 v = 0;
        for (int i = 0; i < 6; ++i)
            v |= quint64(d[i]) << (8 * i);
        return qint64(v);
    }
    default:
        return 0;
    }
}

bool write(QByteArray &image, const char *name, qint64 value)
{
    const ConfigParameter *p = integerField(image, name);
    if (!p)
        return false;
    char *d = image.data() + p->offset;
    switch (p->kind) {
    case ConfigKind::Flag8:
    case ConfigKind::Flag16:
        if (value & 1)
            d[0] = char(uint8_t(d[0]) | (1u << p->bit));
        else
            d[0] = char(uint8_t(d[0]) & ~(1u << p->bit));
        return true;
    default:
        for (int i = 0; i < p->size; ++i)
            d[i] = char((quint64(value) >> (8 * i)) & 0xFF);
        return true;
    }
}

QByteArray bytes(const QByteArray &image, const char *name)
{
    const ConfigParameter *p = findConfigParameter(name);
    if (!p || p->offset < 0 || p->offset + p->size > image.size())
        return QByteArray();
    return image.mid(p->offset, p->size);
}

bool writeBytes(QByteArray &image, const char *name, const QByteArray &value)
{
    const ConfigParameter *p = findConfigParameter(name);
    if (!p || p->offset < 0 || p->offset + p->size > image.size())
        return false;
    for (int i = 0; i < p->size; ++i)
        image[p->offset + i] = i < value.size() ? value[i] : '\0';
    return true;
}

void setDefaults(QByteArray &image)
{
    struct Default
    {
        const char *name;
        qint64 value;
    };
    static const Default kDefaults[] = {
        {"default_spring_en", 1},
        {"default_damper_en", 1},
        {"x_angle_max", 4096},
        {"x_angle_min", -4096},
        {"y_angle_max", 4096},
        {"y_angle_min", -4096},
        {"max_drive_current", 10},
        {"audio_gain", 50},
        {"effects_gain", 100},
        {"master_gain", 100},
        {"default_spring_coef_pos_x", 2048},
        {"default_spring_coef_pos_y", 2048},
        {"default_spring_coef_neg_x", 2048},
        {"default_spring_coef_neg_y", 2048},
        {"default_spring_saturation_pos_x", 4096},
        {"default_spring_saturation_pos_y", 4096},
        {"default_spring_saturation_neg_x", 4096},
        {"default_spring_saturation_neg_y", 4096},
        {"default_damper_coef_pos_x", 512},
        {"default_damper_coef_pos_y", 512},
        {"default_damper_coef_neg_x", 512},
        {"default_damper_coef_neg_y", 512},
        {"default_damper_saturation_pos_x", 4096},
        {"default_damper_saturation_pos_y", 4096},
        {"default_damper_saturation_neg_x", 4096},
        {"default_damper_saturation_neg_y", 4096},
        {"global_spring_gain", 100},
        {"global_damper_gain", 100},
        {"global_inertia_gain", 100},
        {"global_friction_gain", 100},
        {"spring_prop_damper_gain", 25},
        {"velocity_lpf_hz", 500},
        {"periodic_lpf_hz", 100},
        {"max_psu_current", 50},
        {"position_lpf_hz", 100},
        {"spring_lpf_hz", 100},
        {"damper_lpf_hz", 100},
        {"acc_tracker_gain", 10},
        {"endstop_enable", 1},
        {"frictionP", 100},
        {"frictionI", 10},
        {"inertia_lpf_hz", 100},
        {"friction_lpf_hz", 100},
        {"constant_lpf_hz", 100},
        {"endstop_pos_x", 3900},
        {"endstop_neg_x", -3900},
        {"endstop_pos_y", 3900},
        {"endstop_neg_y", -3900},
        {"endstop_tq_pos_x", 4096},
        {"endstop_tq_neg_x", 4096},
        {"endstop_tq_pos_y", 4096},
        {"endstop_tq_neg_y", 4096},
        {"vfx_thumb_axis_cal_max", 4095},
        {"global_constantf_gain", 100},
        {"trim_rate", 10},
        {"hires_mode_scale", 255},
        {"usb_vid", wire::kVendorId},
        {"usb_pid", 0x2050},
        {"scale_pos_x", 255},
        {"scale_neg_x", 255},
        {"scale_pos_y", 255},
        {"scale_neg_y", 255},
        {"alpha_scroll_axis_gain", 8},
        {"pot_1_cal_max", 4095},
        {"pot_2_cal_max", 4095},
    };
    for (const Default &d : kDefaults)
        write(image, d.name, d.value);

    const DeviceMappingData identity;
    const QByteArray curve(reinterpret_cast<const char *>(&identity), sizeof identity);
    for (const char *name : {"spring_mapping", "damper_mapping", "inertia_mapping",
             "spring_mapping_y", "damper_mapping_y", "inertia_mapping_y"})
        writeBytes(image, name, curve);
    writeBytes(image, "config_name", QByteArrayLiteral("Factory default"));
    writeBytes(image, "device_name", QByteArrayLiteral("Brontel Sim"));
    QByteArray map(ButtonMapping::kSize, '\0');
    for (int i = 0; i < map.size(); ++i)
        map[i] = char(i + 1);
    writeBytes(image, "button_mapping", map);
}

QByteArray buttonMapping(const QByteArray &image)
{
    return bytes(image, "button_mapping");
}

quint64 buttonInvMask(const QByteArray &image)
{
    return quint64(read(image, "button_inv_mask"));
}

} // namespace ImageFields
