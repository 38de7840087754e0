#pragma once
// The window-less command-line path: "-config FILE" applies a .tavconf file to the base,
// "-revert" asks the base to go back to its stored configuration, "-serial NUMBER" picks the
// base by its USB serial number. Works over the base's USB vendor requests, not the serial
// port:
//   0xC0/20, 1024-byte buffer  read the active configuration image
//   0x40/20, 463 bytes         write the configuration image
//   0x40/21, no data           revert to the stored configuration
// The file is applied over the image just read from the base, so parameters the file does
// not name keep the base's values; the image read is backed up first (see BackupStore).
//
// For scripts, two options with double dashes (scanned apart from the exact scan of the ones
// above, which they never change):
//   --dump [FILE]  writes the base's configuration as a .tavconf file (standard output when
//                  no FILE follows); an existing FILE is replaced only by a complete one
//   --diff FILE    prints "name: base -> file" for every parameter the file names with
//                  another value than the base's; exit status 0 when none differs, 3 otherwise

#include "headlessusb.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class BackupStore;
class ConfigSnapshot;
class DeviceConfig;
class QIODevice;

class HeadlessCmdLineProcessor : public QObject
{
    Q_OBJECT

public:
    static constexpr int kReadBufferSize = 1024;
    static constexpr int kSerialBufferSize = 128;
    // A silent base must not hang a script: every transfer gives up after this long.
    static constexpr int kDefaultTimeoutMs = 3000;
    // Exit status of a --diff that found differences.
    static constexpr int kExitDiffers = 3;

    struct Options
    {
        bool hasConfig = false;
        QString configPath;
        bool hasSerial = false;
        QString serialNumber;
        bool revert = false;
        bool dump = false;
        QString dumpPath; // empty: standard output
        bool hasDiff = false;
        QString diffPath;
        // A double-dash option given wrongly; process() fails with it.
        QString error;

        // Only the actions ask for headless work; "-serial" alone does not.
        bool wantsHeadless() const
        {
            return hasConfig || revert || dump || hasDiff || !error.isEmpty();
        }
    };

    // Options are matched exactly and case-sensitively against every argument, the program
    // name included. "-config" and "-serial" take the next argument (a later one replaces an
    // earlier one); as the last argument they are ignored. Anything else is skipped.
    static Options parseArguments(int argc, char **argv);
    static Options parseArguments(const QStringList &arguments);
    // True when the arguments ask for headless work; the windowed start never touches USB.
    static bool wantsHeadless(int argc, char **argv);
    // Text of the command-line help for the double-dash options.
    static QString scriptOptionsHelp();

    // config: the configuration record to load the base's image into and apply the file over;
    // when null, a record of the processor's own is used.
    explicit HeadlessCmdLineProcessor(DeviceConfig *config = nullptr, QObject *parent = nullptr);
    ~HeadlessCmdLineProcessor() override;

    // Returns false when the arguments ask for no headless work (nothing is touched), true
    // when the requested action was carried out. Throws the message as a QString on any
    // failure, including when no qualifying base is attached.
    bool process(int argc, char **argv);
    bool process(const Options &options);
    // The program's exit status after process() returned true: 0, or kExitDiffers after a
    // --diff that found differences.
    int exitCode() const { return m_exitCode; }

    // Replaces the USB access (the default talks to libusb); for tests.
    void setTransport(std::unique_ptr<UsbTransport> transport);
    void setTimeoutMs(int ms) { m_timeoutMs = ms > 0 ? ms : kDefaultTimeoutMs; }
    int timeoutMs() const { return m_timeoutMs; }
    // Where --dump without a file and --diff write (default: standard output).
    void setOutput(QIODevice *device) { m_output = device; }
    // Where -config backs up the base's configuration (default: a BackupStore of the user's
    // data directory); null writes no backup.
    void setBackupStore(BackupStore *store);
    // The date written into a dump (default: the time of the dump); for tests.
    void setDumpDate(const QDateTime &date) { m_dumpDate = date; }

    static bool qualifies(const UsbTransport::DeviceDescriptor &descriptor);

private:
    class Handle;

    UsbTransport &transport();
    // Returns an open handle (>= 0) or -1 when no qualifying base matched. Throws when the
    // device list is unavailable or the chosen base cannot be opened.
    // *foundSerial receives the serial number of the base found.
    int findDevice(const QString &serialNumber, QString *skipped, QString *foundSerial = nullptr);
    // Reads the serial number of an open device; empty on any failure.
    QString readSerialNumber(int handle, uint8_t serialIndex);
    void readDeviceConfig(int handle, DeviceConfig &config);
    void writeConfigFile(int handle, const QString &path, DeviceConfig &config);
    void sendRevert(int handle);
    void backUp(const DeviceConfig &config, const QString &serialNumber);
    void dump(const DeviceConfig &config, const QString &serialNumber, const QString &path);
    void diff(const DeviceConfig &config, const ConfigSnapshot &file);
    void writeOutput(const QByteArray &text);
    QString transferError(const char *prefix, int code) const;

    DeviceConfig *m_config;
    std::unique_ptr<UsbTransport> m_transport;
    bool m_initialised = false;
    int m_timeoutMs = kDefaultTimeoutMs;
    int m_exitCode = 0;
    QIODevice *m_output = nullptr;
    std::unique_ptr<BackupStore> m_ownBackups;
    BackupStore *m_backups = nullptr;
    bool m_backupsChosen = false;
    QDateTime m_dumpDate;
};
