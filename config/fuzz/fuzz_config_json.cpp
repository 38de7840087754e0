// Feeds arbitrary documents to the .tavconf importer. A refused document must leave the record
// untouched; an accepted one must export to a document that imports to the same record.

#include "configfile.h"
#include "configimage.h"
#include "deviceconfig.h"
#include "fuzzsupport.h"

using namespace fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    initialiseOnce();

    DeviceConfig config;
    const QByteArray initial = buildConfigImage(config);
    const ConfigFileResult result = importConfigData(
        config, QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size)));
    if (!result.ok) {
        check(!result.error.isEmpty());
        check(!config.parametersModified());
        check(buildConfigImage(config) == initial);
        return 0;
    }
    const std::string exported = configToJson(config, QString(), QDateTime());
    DeviceConfig again;
    const ConfigFileResult reimport = importConfigData(again, QByteArray::fromStdString(exported));
    check(reimport.ok);
    check(buildConfigImage(again) == buildConfigImage(config));
    check(configToJson(again, QString(), QDateTime()) == exported);
    return 0;
}
