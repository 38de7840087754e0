// Build-time generator of 70-tavik-base.rules. It reads the identifiers from the headers the
// programs themselves are built with.

#include "udevrules.h"

#include "headlesscmdlineprocessor.h"
#include "loopbackreport.h"
#include "serialportmanager.h"

#include <cstdio>
#include <exception>
#include <fstream>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT\n", argv[0]);
        return 2;
    }
    udevrules::Identifiers ids;
    ids.vendorId = SerialPortManager::BaseVendorId;
    ids.serialProductFirst = SerialPortManager::FirstProductId;
    ids.serialProductLast = SerialPortManager::LastProductId;
    ids.usbProductFirst = HeadlessCmdLineProcessor::kProductFirst;
    ids.usbProductLast = HeadlessCmdLineProcessor::kProductLast;
    ids.hidProductPrefix = kBaseProductPrefix;
    static_assert(SerialPortManager::BaseVendorId == HeadlessCmdLineProcessor::kVendorId,
        "one vendor for the serial port and the USB device");
    try {
        const std::string text = udevrules::rulesText(ids);
        std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        if (!out) {
            std::fprintf(stderr, "cannot write %s\n", argv[1]);
            return 1;
        }
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
