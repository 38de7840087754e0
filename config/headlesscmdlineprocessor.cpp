#include "headlesscmdlineprocessor.h"

#include "backupstore.h"
#include "configfile.h"
#include "configimage.h"
#include "configsnapshot.h"
#include "deviceconfig.h"
#include "headlesslog.h"
#include "wireformat.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>

#include <cstring>
#include <libusb.h>

// The wire's request types, as libusb spells them.
static_assert(wire::kUsbVendorIn
        == (LIBUSB_ENDPOINT_IN | LIBUSB_REQUEST_TYPE_VENDOR | LIBUSB_RECIPIENT_DEVICE),
    "vendor request to the device, device to host");
static_assert(wire::kUsbVendorOut
        == (LIBUSB_ENDPOINT_OUT | LIBUSB_REQUEST_TYPE_VENDOR | LIBUSB_RECIPIENT_DEVICE),
    "vendor request to the device, host to device");

namespace {

const QLatin1String kDumpOption("--dump");
const QLatin1String kDiffOption("--diff");

// The double-dash options, scanned after (and apart from) the exact scan of the single-dash
// ones; arguments that scan took as values are not options here.
void parseScriptOptions(const QStringList &arguments, const QSet<int> &taken,
    HeadlessCmdLineProcessor::Options &options)
{
    const int count = arguments.size();
    auto value = [&](int i) -> const QString * {
        if (i >= count || taken.contains(i))
            return nullptr;
        const QString &next = arguments.at(i);
        // "-" names standard output; any other dash starts an option.
        if (next.startsWith(QLatin1Char('-')) && next != QLatin1String("-"))
            return nullptr;
        return &next;
    };
    int actions = 0;
    for (int i = 0; i < count; ++i) {
        if (taken.contains(i))
            continue;
        const QString &argument = arguments.at(i);
        if (argument == kDumpOption) {
            if (!options.dump)
                ++actions;
            options.dump = true;
            options.dumpPath.clear();
            if (const QString *file = value(i + 1)) {
                if (*file != QLatin1String("-"))
                    options.dumpPath = *file;
                ++i;
            }
        } else if (argument == kDiffOption) {
            const QString *file = value(i + 1);
            if (!file || *file == QLatin1String("-")) {
                options.error
                    = QStringLiteral("--diff needs the file to compare with: --diff FILE");
                continue;
            }
            if (!options.hasDiff)
                ++actions;
            options.hasDiff = true;
            options.diffPath = *file;
            ++i;
        }
    }
    if (options.error.isEmpty()
        && (actions > 1 || (actions == 1 && (options.hasConfig || options.revert))))
        options.error = QStringLiteral(
            "--dump and --diff cannot be combined with each other or with -config or -revert");
}

bool writeAll(QIODevice &device, const QByteArray &data)
{
    return device.write(data) == data.size();
}

} // namespace

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
    QSet<int> taken;
    const int count = arguments.size();
    int i = 0;
    while (i < count) {
        const QString &argument = arguments.at(i);
        if (argument == QLatin1String("-config") && i + 1 < count) {
            options.hasConfig = true;
            options.configPath = arguments.at(i + 1);
            taken << i << i + 1;
            i += 2;
            continue;
        }
        if (argument == QLatin1String("-serial") && i + 1 < count) {
            options.hasSerial = true;
            options.serialNumber = arguments.at(i + 1);
            taken << i << i + 1;
            i += 2;
            continue;
        }
        if (argument == QLatin1String("-revert"))
            options.revert = true;
        ++i;
    }
    parseScriptOptions(arguments, taken, options);
    return options;
}

bool HeadlessCmdLineProcessor::wantsHeadless(int argc, char **argv)
{
    return parseArguments(argc, argv).wantsHeadless();
}

QString HeadlessCmdLineProcessor::scriptOptionsHelp()
{
    return QStringLiteral(
        "  --dump [FILE]  write the base's configuration as a .tavconf file (standard output\n"
        "                 without FILE)\n"
        "  --diff FILE    print the parameters that differ between the base and FILE\n"
        "                 (\"name: base -> file\"); exit status 0 when none differs, 3 "
        "otherwise\n");
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

void HeadlessCmdLineProcessor::setBackupStore(BackupStore *store)
{
    m_backups = store;
    m_backupsChosen = true;
}

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
    m_exitCode = 0;
    if (!options.error.isEmpty())
        throw options.error + QLatin1Char('\n') + scriptOptionsHelp();

    // A missing file fails before the bus is searched, with or without a base.
    if (options.hasConfig && !QFileInfo(options.configPath).isFile())
        throw QStringLiteral("The config file could not be found!");
    // So does a file to compare with that cannot be read.
    ConfigSnapshot diffFile;
    if (options.hasDiff) {
        const ConfigFileResult read = ConfigSnapshot::fromFile(options.diffPath, &diffFile);
        if (!read)
            throw QStringLiteral("Unable to parse configuration file!\n") + read.error;
    }

    UsbTransport &usb = transport();
    QString skipped;
    QString serial;
    Handle handle(
        usb, findDevice(options.hasSerial ? options.serialNumber : QString(), &skipped, &serial));
    qDebug("Found usb dev %p", handle.get() >= 0 ? usb.nativeHandle(handle.get()) : nullptr);
    if (handle.get() < 0) {
        QString message = QStringLiteral("No base found");
        if (options.hasSerial && !options.serialNumber.isEmpty())
            message += QStringLiteral(" with serial number %1").arg(options.serialNumber);
        if (!skipped.isEmpty())
            message += QStringLiteral(" (%1)").arg(skipped);
        throw message;
    }

    std::unique_ptr<DeviceConfig> own;
    DeviceConfig *config = m_config;
    if (!config) {
        own = std::make_unique<DeviceConfig>();
        config = own.get();
    }
    if (options.dump || options.hasDiff) {
        readDeviceConfig(handle.get(), *config);
        if (options.dump) {
            dump(*config, serial, options.dumpPath);
        } else {
            diff(*config, diffFile);
        }
    } else if (options.hasConfig) {
        readDeviceConfig(handle.get(), *config);
        backUp(*config, serial);
        writeConfigFile(handle.get(), options.configPath, *config);
        qCInfo(lcHeadless) << "Applied" << options.configPath;
    } else {
        sendRevert(handle.get());
        qCInfo(lcHeadless) << "Reverted to the stored configuration";
    }
    return true;
}

int HeadlessCmdLineProcessor::findDevice(
    const QString &serialNumber, QString *skipped, QString *foundSerial)
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
            if (foundSerial)
                *foundSerial = readSerialNumber(handle, descriptor.serialNumberIndex);
            return handle;
        }
        if (handle < 0) {
            // Its serial number cannot be read, so it cannot be the one asked for.
            qDebug(" failed to open usb dev");
            ++unopenable;
            lastOpenError = handle;
            continue;
        }
        if (readSerialNumber(handle, descriptor.serialNumberIndex) == serialNumber) {
            if (foundSerial)
                *foundSerial = serialNumber;
            return handle;
        }
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

void HeadlessCmdLineProcessor::backUp(const DeviceConfig &config, const QString &serialNumber)
{
    if (!m_backupsChosen && !m_ownBackups) {
        m_ownBackups = std::make_unique<BackupStore>();
        m_backups = m_ownBackups.get();
    }
    if (!m_backups)
        return;
    // A script cannot be asked; the file is applied anyway and the warning says why there is
    // no backup.
    const BackupStore::Result r
        = m_backups->write(ConfigSnapshot::fromConfig(config), serialNumber);
    if (!r)
        qCWarning(lcHeadless).noquote() << "No backup of the base's configuration:" << r.error;
    else if (r.status == BackupStore::Result::Written)
        qCInfo(lcHeadless).noquote() << "Backup written to" << r.path;
}

void HeadlessCmdLineProcessor::writeOutput(const QByteArray &text)
{
    if (m_output) {
        if (!writeAll(*m_output, text))
            throw QStringLiteral("Cannot write the output: %1").arg(m_output->errorString());
        return;
    }
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly) || !writeAll(out, text) || !out.flush())
        throw QStringLiteral("Cannot write to standard output: %1").arg(out.errorString());
}

void HeadlessCmdLineProcessor::dump(
    const DeviceConfig &config, const QString &serialNumber, const QString &path)
{
    const QDateTime date = m_dumpDate.isValid() ? m_dumpDate : QDateTime::currentDateTime();
    const std::string text = configToJson(config, serialNumber, date);
    const QByteArray bytes(text.data(), int(text.size()));
    if (path.isEmpty()) {
        writeOutput(bytes);
        return;
    }
    // All or nothing: an existing file is replaced only by the whole text.
    QSaveFile file(path);
    auto fail = [&](const QString &reason) {
        file.cancelWriting();
        return QStringLiteral("Cannot write %1: %2").arg(path, reason);
    };
    if (!file.open(QIODevice::WriteOnly))
        throw fail(file.errorString());
    // commit() renames even after a failed buffered write; the flush shows such a failure.
    if (!writeAll(file, bytes) || !file.flush())
        throw fail(file.errorString());
    if (!file.commit())
        throw QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
    qCInfo(lcHeadless).noquote() << "Configuration written to" << path;
}

void HeadlessCmdLineProcessor::diff(const DeviceConfig &config, const ConfigSnapshot &file)
{
    const ConfigSnapshot base = ConfigSnapshot::fromConfig(config);
    const QVector<int> differing = configDifferences(base, file);
    QByteArray text;
    for (int index : differing)
        text += QByteArray(configParameter(index).name) + ": " + base.json(index) + " -> "
            + file.json(index) + '\n';
    writeOutput(text);
    m_exitCode = differing.isEmpty() ? 0 : kExitDiffers;
}
