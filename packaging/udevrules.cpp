#include "udevrules.h"

#include <cstdio>
#include <stdexcept>

namespace udevrules {

namespace {

constexpr int kDigits = 4;
const char kHex[] = "0123456789abcdef";

std::string anyDigits(int count)
{
    std::string s;
    for (int i = 0; i < count; ++i)
        s += "[0-9a-f]";
    return s;
}

// One hex digit from a to b: a single character or a class split at '9'/'a'.
std::string digitClass(unsigned a, unsigned b)
{
    if (a == b)
        return std::string(1, kHex[a]);
    auto part = [](unsigned lo, unsigned hi) {
        std::string s(1, kHex[lo]);
        if (hi > lo)
            s += std::string(hi > lo + 1 ? "-" : "") + kHex[hi];
        return s;
    };
    std::string s = "[";
    if (a <= 9)
        s += part(a, b < 9 ? b : 9);
    if (b >= 10)
        s += part(a > 10 ? a : 10, b);
    return s + "]";
}

// Covers lo..hi of the remaining `digits` digits behind prefix.
void cover(
    const std::string &prefix, int digits, unsigned lo, unsigned hi, std::vector<std::string> &out)
{
    unsigned span = 1;
    for (int i = 0; i < digits; ++i)
        span *= 16;
    if (lo == 0 && hi == span - 1) {
        out.push_back(prefix + anyDigits(digits));
        return;
    }
    const unsigned unit = span / 16;
    unsigned first = lo / unit;
    const unsigned last = hi / unit;
    if (first == last) {
        cover(prefix + kHex[first], digits - 1, lo % unit, hi % unit, out);
        return;
    }
    if (lo % unit != 0) {
        cover(prefix + kHex[first], digits - 1, lo % unit, unit - 1, out);
        ++first;
    }
    const bool lastPartial = hi % unit != unit - 1;
    const unsigned fullLast = lastPartial ? last - 1 : last;
    if (first <= fullLast && fullLast != unsigned(-1))
        out.push_back(prefix + digitClass(first, fullLast) + anyDigits(digits - 1));
    if (lastPartial)
        cover(prefix + kHex[last], digits - 1, 0, hi % unit, out);
}

std::string hex4(uint16_t value)
{
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%04x", unsigned(value));
    return buffer;
}

void checkRange(uint16_t first, uint16_t last)
{
    if (first > last)
        throw std::invalid_argument("empty product range");
}

} // namespace

std::vector<std::string> hexRangeGlobs(uint16_t first, uint16_t last)
{
    checkRange(first, last);
    std::vector<std::string> out;
    cover(std::string(), kDigits, first, last, out);
    return out;
}

std::string hexRangeMatch(uint16_t first, uint16_t last)
{
    std::string joined;
    for (const std::string &glob : hexRangeGlobs(first, last))
        joined += (joined.empty() ? "" : "|") + glob;
    return joined;
}

std::string rulesText(const Identifiers &ids)
{
    checkRange(ids.serialProductFirst, ids.serialProductLast);
    checkRange(ids.usbProductFirst, ids.usbProductLast);
    if (ids.hidProductPrefix.empty()
        || ids.hidProductPrefix.find_first_of("*?[]|\"\\") != std::string::npos)
        throw std::invalid_argument("the HID product prefix must be plain text");

    const std::string vendor = hex4(ids.vendorId);
    const std::string serial = hexRangeMatch(ids.serialProductFirst, ids.serialProductLast);
    const std::string usb = hexRangeMatch(ids.usbProductFirst, ids.usbProductLast);
    auto range = [](uint16_t a, uint16_t b) { return hex4(a) + ".." + hex4(b); };

    std::string s;
    s += "# Tavik Brontel force-feedback base: access for the user at the seat, without root.\n"
         "# Generated at build time from the identifiers tavik-configurator and tavik-loopback\n"
         "# use to find the base; edit those, not this file.\n"
         "# TAG+=\"uaccess\" lets logind give the active session's user an ACL on the node; no\n"
         "# group or mode is changed. Must sort before 73-seat-late.rules.\n"
         "\n";
    s += "# Serial port (the configurator's link), products "
        + range(ids.serialProductFirst, ids.serialProductLast)
        + ". ModemManager must not probe it.\n";
    s += "SUBSYSTEM==\"tty\", ATTRS{idVendor}==\"" + vendor + "\", ATTRS{idProduct}==\"" + serial
        + "\", TAG+=\"uaccess\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"\n\n";
    s += "# USB device (the command line's vendor requests), products "
        + range(ids.usbProductFirst, ids.usbProductLast) + ".\n";
    s += "SUBSYSTEM==\"usb\", ENV{DEVTYPE}==\"usb_device\", ATTR{idVendor}==\"" + vendor
        + "\", ATTR{idProduct}==\"" + usb + "\", TAG+=\"uaccess\"\n\n";
    s += "# HID interface (tavik-loopback), products "
        + range(ids.usbProductFirst, ids.usbProductLast) + " named \"" + ids.hidProductPrefix
        + "...\".\n";
    s += "SUBSYSTEM==\"hidraw\", ATTRS{idVendor}==\"" + vendor + "\", ATTRS{idProduct}==\"" + usb
        + "\", ATTRS{product}==\"" + ids.hidProductPrefix + "*\", TAG+=\"uaccess\"\n";
    return s;
}

} // namespace udevrules
