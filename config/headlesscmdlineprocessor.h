#pragma once
// The window-less command-line path: "-config FILE" applies a .tavconf file to the base,
// "-revert" asks the base to go back to its stored configuration, "-serial NUMBER" picks the
// base by its USB serial number. Works over the base's USB vendor requests, not the serial
// port:
//   0xC0/20, 1024-byte buffer  read the active configuration image
//   0x40/20, 463 bytes         write the configuration image
//   0x40/21, no data           revert to the stored configuration
// The file is applied over the image just read from the base, so parameters the file does
// not name keep the base's values.

#include "headlessusb.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class DeviceConfig;

class HeadlessCmdLineProcessor : public QObject
{
    Q_OBJECT

public:
    static constexpr int kReadBufferSize = 1024;
    static constexpr int kSerialBufferSize = 128;
    // A silent base must not hang a script: every transfer gives up after this long.
    static constexpr int kDefaultTimeoutMs = 3000;

    struct Options
    {
        bool hasConfig = false;
        QString configPath;
        bool hasSerial = false;
        QString serialNumber;
        bool revert = false;

        // Only "-config" and "-revert" ask for an action; "-serial" alone does not.
        bool wantsHeadless() const { return hasConfig || revert; }
    };

    // Options are matched exactly and case-sensitively against every argument, the program
    // name included. "-config" and "-serial" take the next argument (a later one replaces an
    // earlier one); as the last argument they are ignored. Anything else is skipped.
    static Options parseArguments(int argc, char **argv);
    static Options parseArguments(const QStringList &arguments);
    // True when the arguments ask for headless work; the windowed start never touches USB.
    static bool wantsHeadless(int argc, char **argv);

    // config: the configuration record to load the base's image into and apply the file over;
    // when null, a record of the processor's own is used.
    explicit HeadlessCmdLineProcessor(DeviceConfig *config = nullptr, QObject *parent = nullptr);
    ~HeadlessCmdLineProcessor() override;

    // Returns false when the arguments ask for no headless work (nothing is touched), true
    // when the requested action was carried out. Throws the message as a QString on any
    // failure, including when no qualifying base is attached.
    bool process(int argc, char **argv);
    bool process(const Options &options);

    // Replaces the USB access (the default talks to libusb); for tests.
    void setTransport(std::unique_ptr<UsbTransport> transport);
    void setTimeoutMs(int ms) { m_timeoutMs = ms > 0 ? ms : kDefaultTimeoutMs; }
    int timeoutMs() const { return m_timeoutMs; }

    static bool qualifies(const UsbTransport::DeviceDescriptor &descriptor);

private:
    class Handle;

    UsbTransport &transport();
    // Returns an open handle (>= 0) or -1 when no qualifying base matched. Throws when the
    // device list is unavailable or the chosen base cannot be opened.
    int findDevice(const QString &serialNumber, QString *skipped);
    // Reads the serial number of an open device; empty on any failure.
    QString readSerialNumber(int handle, uint8_t serialIndex);
    void readDeviceConfig(int handle, DeviceConfig &config);
    void writeConfigFile(int handle, const QString &path, DeviceConfig &config);
    void sendRevert(int handle);
    QString transferError(const char *prefix, int code) const;

    DeviceConfig *m_config;
    std::unique_ptr<UsbTransport> m_transport;
    bool m_initialised = false;
    int m_timeoutMs = kDefaultTimeoutMs;
};
