#include "headlesscmdlineprocessor.h"

#include "configfile.h"
#include "configimage.h"
#include "deviceconfig.h"
#include "headlesslog.h"
#include "wireformat.h"

#include <QDebug>
#include <QFileInfo>

#include <cstring>
#include <libusb.h>

// The wire's request types, as libusb spells them.
static_assert(wire::kUsbVendorIn
        == (LIBUSB_ENDPOINT_IN | LIBUSB_REQUEST_TYPE_VENDOR | LIBUSB_RECIPIENT_DEVICE),
    "vendor request to the device, device to host");
static_assert(wire::kUsbVendorOut
        == (LIBUSB_ENDPOINT_OUT | LIBUSB_REQUEST_TYPE_VENDOR | LIBUSB_RECIPIENT_DEVICE),
    "vendor request to the device, host to device");

// Closes the device on every way out of process(), thrown messages included.
class HeadlessCmdLineProcessor::Handle
{
public:
    Handle(UsbTransport &transport, int handle)
        : m_transport(transport)
        , m_handle(handle)
    {
    }
    ~Handle()
    {
        if (m_handle >= 0)
            m_transport.close(m_handle);
    }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    int get() const { return m_handle; }

private:
    UsbTransport &m_transport;
    int m_handle;
};

HeadlessCmdLineProcessor::Options HeadlessCmdLineProcessor::parseArguments(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; argv && i < argc; ++i)
        arguments.append(argv[i] ? QString::fromLocal8Bit(argv[i]) : QString());
    return parseArguments(arguments);
}

HeadlessCmdLineProcessor::Options HeadlessCmdLineProcessor::parseArguments(
    const QStringList &arguments)
{
    Options options;
    const int count = arguments.size();
    int i = 0;
    while (i < count) {
        const QString &argument = arguments.at(i);
        if (argument == QLatin1String("-config") && i + 1 < count) {
            options.hasConfig = true;
            options.configPath = arguments.at(i + 1);
            i += 2;
            continue;
        }
        if (argument == QLatin1String("-serial") && i + 1 < count) {
            options.hasSerial = true;
            options.serialNumber = arguments.at(i + 1);
            i += 2;
            continue;
        }
        if (argument == QLatin1String("-revert"))
            options.revert = true;
        ++i;
    }
    return options;
}

bool HeadlessCmdLineProcessor::wantsHeadless(int argc, char **argv)
{
    return parseArguments(argc, argv).wantsHeadless();
}

bool HeadlessCmdLineProcessor::qualifies(const UsbTransport::DeviceDescriptor &descriptor)
{
    return descriptor.vendorId == wire::kVendorId && descriptor.productId >= wire::kUsbProductFirst
        && descriptor.productId <= wire::kUsbProductLast;
}

HeadlessCmdLineProcessor::HeadlessCmdLineProcessor(DeviceConfig *config, QObject *parent)
    : QObject(parent)
    , m_config(config)
{
}

HeadlessCmdLineProcessor::~HeadlessCmdLineProcessor() = default;

void HeadlessCmdLineProcessor::setTransport(std::unique_ptr<UsbTransport> transport)
{
    m_transport = std::move(transport);
    m_initialised = false;
}

UsbTransport &HeadlessCmdLineProcessor::transport()
{
    if (!m_transport)
        m_transport = std::make_unique<LibusbTransport>();
    if (!m_initialised) {
        const int r = m_transport->initialise();
        if (r < 0)
            throw QStringLiteral("Error: Failed to initialise libusb: %1")
                .arg(QLatin1String(UsbTransport::errorName(r)));
        m_initialised = true;
    }
    return *m_transport;
}

bool HeadlessCmdLineProcessor::process(int argc, char **argv)
{
    return process(parseArguments(argc, argv));
}

bool HeadlessCmdLineProcessor::process(const Options &options)
{
    if (!options.wantsHeadless())
        return false;

    // A missing file fails before the bus is searched, with or without a base.
    if (options.hasConfig && !QFileInfo(options.configPath).isFile())
        throw QStringLiteral("The config file could not be found!");

    UsbTransport &usb = transport();
    QString skipped;
    Handle handle(usb, findDevice(options.hasSerial ? options.serialNumber : QString(), &skipped));
    qDebug("Found usb dev %p", handle.get() >= 0 ? usb.nativeHandle(handle.get()) : nullptr);
    if (handle.get() < 0) {
        QString message = QStringLiteral("No base found");
        if (options.hasSerial && !options.serialNumber.isEmpty())
            message += QStringLiteral(" with serial number %1").arg(options.serialNumber);
        if (!skipped.isEmpty())
            message += QStringLiteral(" (%1)").arg(skipped);
        throw message;
    }

    if (options.hasConfig) {
        std::unique_ptr<DeviceConfig> own;
        DeviceConfig *config = m_config;
        if (!config) {
            own = std::make_unique<DeviceConfig>();
            config = own.get();
        }
        readDeviceConfig(handle.get(), *config);
        writeConfigFile(handle.get(), options.configPath, *config);
        qCInfo(lcHeadless) << "Applied" << options.configPath;
    } else {
        sendRevert(handle.get());
        qCInfo(lcHeadless) << "Reverted to the stored configuration";
    }
    return true;
}

int HeadlessCmdLineProcessor::findDevice(const QString &serialNumber, QString *skipped)
{
    UsbTransport &usb = transport();
    const int count = usb.enumerate();
    if (count < 0)
        throw QStringLiteral("Error: Failed to get USB device list\n");

    int unopenable = 0;
    int lastOpenError = 0;
    for (int i = 0; i < count; ++i) {
        UsbTransport::DeviceDescriptor descriptor;
        if (usb.deviceDescriptor(i, &descriptor) < 0 || !qualifies(descriptor))
            continue;
        const int handle = usb.open(i);
        if (serialNumber.isEmpty()) {
            if (handle < 0)
                throw QStringLiteral("Error:") + QLatin1String(UsbTransport::errorName(handle));
            return handle;
        }
        if (handle < 0) {
            // Its serial number cannot be read, so it cannot be the one asked for.
            qDebug(" failed to open usb dev");
            ++unopenable;
            lastOpenError = handle;
            continue;
        }
        if (readSerialNumber(handle, descriptor.serialNumberIndex) == serialNumber)
            return handle;
        usb.close(handle);
    }
    if (unopenable > 0 && skipped)
        *skipped = QStringLiteral("%1 base(s) could not be opened: %2")
                       .arg(unopenable)
                       .arg(QLatin1String(UsbTransport::errorName(lastOpenError)));
    return -1;
}

QString HeadlessCmdLineProcessor::readSerialNumber(int handle, uint8_t serialIndex)
{
    // Index 0 names the language table, not a string.
    if (serialIndex == 0)
        return QString();
    char buffer[kSerialBufferSize] = {};
    const int r = transport().stringDescriptorAscii(handle, serialIndex, buffer, sizeof buffer);
    if (r < 0)
        return QString();
    return QString::fromLatin1(buffer, int(strnlen(buffer, sizeof buffer)));
}

QString HeadlessCmdLineProcessor::transferError(const char *prefix, int code) const
{
    QString message = QLatin1String(prefix) + QLatin1String(UsbTransport::errorName(code));
    if (code == LIBUSB_ERROR_TIMEOUT)
        message += QStringLiteral(" (the base did not answer within %1 ms)").arg(m_timeoutMs);
    return message;
}

void HeadlessCmdLineProcessor::readDeviceConfig(int handle, DeviceConfig &config)
{
    QByteArray buffer(kReadBufferSize, '\0');
    const int r = transport().controlTransfer(handle, wire::kUsbVendorIn, wire::kUsbRequestImage, 0,
        0, reinterpret_cast<uint8_t *>(buffer.data()), kReadBufferSize, unsigned(m_timeoutMs));
    if (r < 0)
        throw transferError("Error: ", r);
    buffer.truncate(qMin(r, kReadBufferSize));
    config.loadImage(buffer);
}

void HeadlessCmdLineProcessor::writeConfigFile(
    int handle, const QString &path, DeviceConfig &config)
{
    if (!QFileInfo(path).isFile())
        throw QStringLiteral("The config file could not be found!");

    // All or nothing: on failure the record still holds the base's image and nothing is sent.
    const ConfigFileResult result = importConfig(config, path);
    if (!result) {
        QString message = QStringLiteral("Unable to parse configuration file!");
        if (!result.error.isEmpty())
            message += QLatin1Char('\n') + result.error;
        throw message;
    }

    QByteArray image = buildConfigImage(config);
    if (image.size() != kConfigImageSize)
        throw QStringLiteral("Error: configuration image of %1 bytes, expected %2")
            .arg(image.size())
            .arg(kConfigImageSize);
    const int r = transport().controlTransfer(handle, wire::kUsbVendorOut, wire::kUsbRequestImage,
        0, 0, reinterpret_cast<uint8_t *>(image.data()), uint16_t(image.size()),
        unsigned(m_timeoutMs));
    if (r < 0)
        throw transferError("Error:", r);
    if (r != image.size())
        throw QStringLiteral("Error: the base took only %1 of %2 bytes of the configuration")
            .arg(r)
            .arg(image.size());
}

void HeadlessCmdLineProcessor::sendRevert(int handle)
{
    const int r = transport().controlTransfer(handle, wire::kUsbVendorOut, wire::kUsbRequestRevert,
        0, 0, nullptr, 0, unsigned(m_timeoutMs));
    if (r < 0)
        throw transferError("USB Request failed: ", r);
}
