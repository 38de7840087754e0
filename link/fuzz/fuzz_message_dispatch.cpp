// Feeds arbitrary messages (type byte first, any length) to the dispatcher of one real
// endpoint with its telemetry record, configuration record and effect list, built once under
// the offscreen platform so that thousands of messages a second reach it. The data log is
// open (to /dev/null), so samples are written too.

#include "configimage.h"
#include "datapacket.h"
#include "deviceconfig.h"
#include "effectlistmodel.h"
#include "fuzzsupport.h"
#include "tavikcomm.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstring>
#include <memory>

using namespace fuzz;

namespace {

class FuzzComm : public TavikComm
{
public:
    using TavikComm::handlePacket;
    using TavikComm::TavikComm;

    int errorBoxes = 0;

protected:
    // A modal box would stop the fuzzer; counting it is enough.
    void showConfigError(const QString &, bool) override { ++errorBoxes; }
};

struct Endpoint
{
    DataPacket dataPacket;
    DeviceConfig config;
    EffectListModel effects;
    FuzzComm comm {&config, &dataPacket, &effects};
};

Endpoint &endpoint()
{
    static Endpoint *instance = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "fuzz_message_dispatch";
        static char *argv[] = {name, nullptr};
        new QGuiApplication(argc, argv);
        // Device text is echoed to standard output; keep the fuzzer's output readable.
        if (!std::freopen("/dev/null", "w", stdout))
            std::abort();
        auto *e = new Endpoint;
        e->comm.setSampleFileName(QStringLiteral("/dev/null"));
        e->comm.startSampling();
        return e;
    }();
    return *instance;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    initialiseOnce();
    Endpoint &e = endpoint();

    // An exact-size copy, so that any read past the message is caught.
    std::unique_ptr<uint8_t[]> message(new uint8_t[size ? size : 1]);
    if (size)
        std::memcpy(message.get(), data, size);
    const int boxesBefore = e.comm.errorBoxes;
    e.comm.handlePacket(size ? message.get() : nullptr, int(size));

    // A configuration image is taken exactly when its type, size and version are right.
    if (size >= 1
        && (data[0] == wire::MsgActiveConfig || data[0] == wire::MsgStoredConfig)) {
        const bool acceptable
            = size == size_t(1 + kConfigImageSize) && data[1] == kConfigImageVersion;
        check(acceptable == (e.comm.errorBoxes == boxesBefore));
        if (acceptable) {
            check(e.comm.isConfigCompatible());
            if (data[0] == wire::MsgActiveConfig)
                check(!e.config.parametersModified());
        }
    } else {
        check(e.comm.errorBoxes == boxesBefore);
    }
    check(e.effects.rowCount() <= 256);
    return 0;
}
