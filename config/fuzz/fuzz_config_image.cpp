// Feeds arbitrary bytes to the image decoder. A refused image must leave the record untouched; an
// accepted one must encode to an image that decodes to the same record and encodes the same.

#include "configimage.h"
#include "deviceconfig.h"
#include "fuzzsupport.h"

#include <algorithm>
#include <cstring>

using namespace fuzz;

namespace {

// An accepted image encodes to one that decodes to the same record and encodes the same.
void roundTrip(const DeviceConfig &config)
{
    const QByteArray encoded = buildConfigImage(config);
    check(encoded.size() == kConfigImageSize);
    check(uint8_t(encoded[0]) == kConfigImageVersion);
    DeviceConfig again;
    again.loadImage(encoded);
    check(buildConfigImage(again) == encoded);
    // Reading the same image once more changes nothing.
    again.setParametersModified(false);
    check(applyConfigImage(again, encoded) == ImageCheck::Ok);
    check(!again.parametersModified());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    initialiseOnce();

    DeviceConfig config;
    const QByteArray initial = buildConfigImage(config);
    const ImageCheck result = applyConfigImage(config, data, size);
    if (result != ImageCheck::Ok) {
        check(!config.parametersModified());
        check(buildConfigImage(config) == initial);
        try {
            config.loadImage(QByteArray(reinterpret_cast<const char *>(data), int(size)));
            check(false);
        } catch (const QString &) {
        }
        // Most inputs fail the size check; also decode them as the fields of a valid image.
        if (size > 0) {
            ConfigImage image {};
            std::memcpy(image.data(), data, std::min(size, image.size()));
            image[0] = kConfigImageVersion;
            DeviceConfig padded;
            check(applyConfigImage(padded, image.data(), image.size()) == ImageCheck::Ok);
            roundTrip(padded);
        }
        return 0;
    }
    roundTrip(config);
    return 0;
}
