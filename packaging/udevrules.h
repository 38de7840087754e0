#pragma once
// Writes the udev rules that give the user at the seat access to the base, from the
// identifiers the programs use to find it (see genudevrules.cpp), so that rules and code
// cannot drift apart.

#include <cstdint>
#include <string>
#include <vector>

namespace udevrules {

struct Identifiers
{
    uint16_t vendorId = 0;
    uint16_t serialProductFirst = 0; // the configurator's serial port
    uint16_t serialProductLast = 0;
    uint16_t usbProductFirst = 0; // the command line's vendor requests, tavik-loopback's HID
    uint16_t usbProductLast = 0;
    std::string hidProductPrefix; // tavik-loopback offers only bases whose name begins so
};

// Glob alternatives ("200[1-9a-f]", "20[1-4][0-9a-f]", ...) that match exactly the
// four-digit lower-case hex texts (as sysfs shows idProduct) from first to last. Character
// classes never span from '9' to 'a', so the locale's collation cannot widen them.
std::vector<std::string> hexRangeGlobs(uint16_t first, uint16_t last);
// The same, joined with '|' as one udev match value.
std::string hexRangeMatch(uint16_t first, uint16_t last);

// The rules file. Throws std::invalid_argument when a range is empty or the product prefix
// holds a glob character.
std::string rulesText(const Identifiers &ids);

} // namespace udevrules
