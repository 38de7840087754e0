#pragma once
// The Debug tab's command line, parsed and checked before anything is sent: a command whose
// argument is missing or malformed, or whose length does not fit the one length byte of an
// SPI message, is an error with a message for the device-messages view.

#include <QByteArray>
#include <QString>
#include <QStringList>

class DebugCommand
{
public:
    enum Kind {
        None, // empty line: nothing to do, nothing to say
        Invalid, // error() says why; nothing is sent
        SpiRead, // spi_rd n
        SpiReadWrite, // spi_rdwr n bytes...
        ReadWw, // read_ww w
        FlashWw, // flash_ww path
        SpiWr, // spi_wr: only a log line
    };

    // One SPI message carries its length in one byte.
    static constexpr int kMaxLength = 255;
    // read_ww sends "$R" before the word.
    static constexpr int kReadWwPrefix = 2;

    static DebugCommand parse(const QString &line);

    Kind kind() const { return m_kind; }
    QString error() const { return m_error; }
    int length() const { return m_length; }
    // spi_rdwr: the bytes to write; read_ww: "$R" and the word.
    QByteArray data() const { return m_data; }
    QString path() const { return m_path; }

    // The rows of hexadecimal shown for a reply: 16 bytes a row, lower case, blank separated,
    // each ending in a line break.
    static QStringList hexRows(const QByteArray &bytes);

    // The bytes read_ww shows from its reply (type byte first): the count after the type
    // byte, when above 0, says how many follow; never more than the reply holds.
    static QByteArray readWwBytes(const QByteArray &reply);

    // The lines of a flash_ww file, each with its line end, read in pieces of at most 1023
    // bytes. Empty with *error set when a line does not fit one SPI write (nothing is sent
    // then).
    static QList<QByteArray> flashLines(const QByteArray &content, QString *error);

private:
    static DebugCommand invalid(const QString &error);

    Kind m_kind = None;
    QString m_error;
    int m_length = 0;
    QByteArray m_data;
    QString m_path;
};
