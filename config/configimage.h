#pragma once

#include "wireformat.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <cstddef>
#include <cstdint>

class DeviceConfig;
class QObject;

// The base's packed configuration record (the wire's image, under the names config/ uses).
constexpr int kConfigImageSize = wire::kConfigImageSize;
constexpr uint8_t kConfigImageVersion = wire::kConfigImageVersion;

using ConfigImage = std::array<uint8_t, kConfigImageSize>;

// Fills an image from the parameters (version byte set, reserved bytes and bits zero) and logs
// "<name> = <value>" for every field.
void buildConfigImage(const DeviceConfig &config, ConfigImage &image);
QByteArray buildConfigImage(const DeviceConfig &config);
// The same image without the log lines, for comparing configurations.
void encodeConfigImage(const DeviceConfig &config, ConfigImage &image);
// Same for a configuration reached as a QObject; false (image untouched) if it is no DeviceConfig.
bool buildConfigImage(const QObject *config, ConfigImage &image);

enum class ImageCheck {
    Ok,
    BadSize, // not exactly kConfigImageSize bytes
    BadVersion, // first byte is not kConfigImageVersion
};

// Size first, then version. Never reads past len.
ImageCheck checkConfigImage(const uint8_t *image, size_t len);
// "Bad FW config size <len>" or "Incompatible FW config version, please update"; empty for Ok.
QString configImageError(ImageCheck check, size_t len);

// Checks the image and, only when it is Ok, writes every field through the typed setters, so only
// changed parameters log, signal and raise parametersModified. On failure nothing is changed and
// nothing is emitted. Curve point counts above ten are limited to ten.
ImageCheck applyConfigImage(DeviceConfig &config, const uint8_t *image, size_t len);
ImageCheck applyConfigImage(DeviceConfig &config, const QByteArray &image);
