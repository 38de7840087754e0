#pragma once
// The wire format shared by the configurator, its command line and the simulated base:
// message types, payload sizes, the image version, the framing's CRC XOR, the USB identifiers
// and the USB vendor requests. Declared here once; the tests keep their own copies on purpose,
// so that a wrong value cannot hide on both sides.

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace wire {

// First byte of every payload on the serial link, in both directions.
enum MessageType : uint8_t {
    MsgText = 0, // base -> host: firmware text
    MsgTelemetry = 1, // base -> host
    MsgApplyConfig = 2, // host -> base: type byte + image
    MsgActiveConfig = 3, // host asks, base answers with type byte + image
    MsgEffect = 4, // base -> host: one game effect report
    MsgStartSampling = 5,
    MsgStopSampling = 6,
    MsgSample = 7, // base -> host: one data-log sample
    MsgStoreConfig = 9,
    MsgFirmwareVersion = 12, // host asks, base answers with type byte + text + NUL
    MsgFan = 13,
    MsgResetConfig = 14, // type byte + kResetConfigKey
    MsgPrintCrashLog = 15,
    MsgEraseCrashLog = 16,
    MsgSpiWrite = 17,
    MsgSpiRead = 18,
    MsgStoredConfig = 19, // host asks, base answers with type byte + stored image
    MsgCalibration = 20,
    MsgResetMotors = 21,
};

// The packed configuration image and its version (first byte).
constexpr int kConfigImageSize = 463;
constexpr uint8_t kConfigImageVersion = 181;
// A configuration message: type byte + image.
constexpr int kConfigMessageSize = 1 + kConfigImageSize;
// Full payload sizes, type byte included.
constexpr int kTelemetrySize = 76;
constexpr int kEffectReportSize = 30;
constexpr int kSampleSize = 19;
// Bytes after MsgResetConfig that make the base take its defaults.
constexpr uint8_t kResetConfigKey[2] = {0xAA, 0xBB};

// The framing's CRC16 is sent XORed with this value.
constexpr uint16_t kCrcXor = 1000;

// USB identifiers: the serial port and the vendor interface use different product ranges.
constexpr uint16_t kVendorId = 0xFFFF;
constexpr uint16_t kSerialProductFirst = 0x2001;
constexpr uint16_t kSerialProductLast = 0x2055;
constexpr uint16_t kUsbProductFirst = 0x2000;
constexpr uint16_t kUsbProductLast = 0x2055;

// USB vendor requests to the device (wValue and wIndex 0).
constexpr uint8_t kUsbVendorIn = 0xC0; // vendor, device recipient, device to host
constexpr uint8_t kUsbVendorOut = 0x40; // vendor, device recipient, host to device
constexpr uint8_t kUsbRequestImage = 20; // read (in) or write (out) the active image
constexpr uint8_t kUsbRequestRevert = 21; // out, no data: back to the stored image

// Little-endian field access.
template<typename T> inline T readLe(const uint8_t *p)
{
    using U = std::make_unsigned_t<T>;
    U v = 0;
    for (size_t i = 0; i < sizeof(T); ++i)
        v = U(v | (U(p[i]) << (8 * i)));
    return T(v);
}

template<typename T> inline void writeLe(uint8_t *p, T value)
{
    using U = std::make_unsigned_t<T>;
    const U v = U(value);
    for (size_t i = 0; i < sizeof(T); ++i)
        p[i] = uint8_t(v >> (8 * i));
}

} // namespace wire
