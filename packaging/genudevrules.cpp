// Build-time generator of 70-tavik-base.rules. It reads the identifiers from the headers the
// programs themselves are built with: the wire header (the serial port's and the USB device's
// ranges) and the loopback tool's product name test.

#include "udevrules.h"

#include "loopbackreport.h"
#include "wireformat.h"

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
    ids.vendorId = wire::kVendorId;
    ids.serialProductFirst = wire::kSerialProductFirst;
    ids.serialProductLast = wire::kSerialProductLast;
    ids.usbProductFirst = wire::kUsbProductFirst;
    ids.usbProductLast = wire::kUsbProductLast;
    ids.hidProductPrefix = kBaseProductPrefix;
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
