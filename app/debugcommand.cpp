#include "debugcommand.h"

#include <algorithm>

namespace {

const char *const kUsage = "commands: spi_rd LEN, spi_rdwr LEN HEX..., read_ww WORD, "
                           "flash_ww FILE, spi_wr";

// Decimal length 0..255.
bool parseLength(const QString &text, int *out, QString *error)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (text.isEmpty() || !ok || value < 0) {
        *error = QStringLiteral("\"%1\" is not a length (a decimal number from 0 to %2)")
                     .arg(text)
                     .arg(DebugCommand::kMaxLength);
        return false;
    }
    if (value > DebugCommand::kMaxLength) {
        *error = QStringLiteral("length %1 refused: at most %2 bytes")
                     .arg(value)
                     .arg(DebugCommand::kMaxLength);
        return false;
    }
    *out = value;
    return true;
}

} // namespace

DebugCommand DebugCommand::invalid(const QString &error)
{
    DebugCommand c;
    c.m_kind = Invalid;
    c.m_error = error;
    return c;
}

DebugCommand DebugCommand::parse(const QString &line)
{
    // Parts at single blanks, empty parts kept: a doubled blank is an empty argument.
    QString text = line;
    while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r')))
        text.chop(1);
    if (text.trimmed().isEmpty())
        return DebugCommand();
    const QStringList parts = text.split(QLatin1Char(' '), Qt::KeepEmptyParts);
    const QString &name = parts.first();
    DebugCommand c;
    QString error;

    auto exactly = [&](int arguments) -> bool {
        if (parts.size() - 1 == arguments)
            return true;
        error = parts.size() - 1 < arguments ? QStringLiteral("%1: missing argument").arg(name)
                                             : QStringLiteral("%1: too many arguments").arg(name);
        return false;
    };

    if (name == QLatin1String("spi_rd")) {
        if (!exactly(1))
            return invalid(error);
        if (!parseLength(parts.at(1), &c.m_length, &error))
            return invalid(QStringLiteral("spi_rd: ") + error);
        c.m_kind = SpiRead;
        return c;
    }
    if (name == QLatin1String("spi_rdwr")) {
        if (parts.size() < 2)
            return invalid(QStringLiteral("spi_rdwr: missing argument"));
        if (!parseLength(parts.at(1), &c.m_length, &error))
            return invalid(QStringLiteral("spi_rdwr: ") + error);
        for (int i = 2; i < parts.size(); ++i) {
            const QString &part = parts.at(i);
            bool ok = false;
            const uint value = part.toUInt(&ok, 16);
            if (part.isEmpty() || !ok || value > 0xFF)
                return invalid(
                    QStringLiteral("spi_rdwr: \"%1\" is not a byte in hexadecimal (00 to ff)")
                        .arg(part));
            c.m_data.append(char(uint8_t(value)));
        }
        if (c.m_data.size() > kMaxLength)
            return invalid(QStringLiteral("spi_rdwr: %1 bytes refused: at most %2")
                               .arg(c.m_data.size())
                               .arg(kMaxLength));
        c.m_kind = SpiReadWrite;
        return c;
    }
    if (name == QLatin1String("read_ww")) {
        if (!exactly(1))
            return invalid(error);
        if (parts.at(1).isEmpty())
            return invalid(QStringLiteral("read_ww: missing argument"));
        c.m_data = QByteArrayLiteral("$R") + parts.at(1).toLocal8Bit();
        if (c.m_data.size() > kMaxLength)
            return invalid(QStringLiteral("read_ww: the word is too long (at most %1 bytes)")
                               .arg(kMaxLength - kReadWwPrefix));
        c.m_kind = ReadWw;
        return c;
    }
    if (name == QLatin1String("flash_ww")) {
        // The rest of the line is the path, so a path may hold blanks.
        c.m_path = text.mid(name.size() + 1);
        if (parts.size() < 2 || c.m_path.isEmpty())
            return invalid(QStringLiteral("flash_ww: missing argument"));
        c.m_kind = FlashWw;
        return c;
    }
    if (name == QLatin1String("spi_wr")) {
        c.m_kind = SpiWr;
        return c;
    }
    return invalid(QStringLiteral("unknown command \"%1\"; %2").arg(name, QLatin1String(kUsage)));
}

QStringList DebugCommand::hexRows(const QByteArray &bytes)
{
    QStringList rows;
    for (int at = 0; at < bytes.size(); at += 16) {
        const QByteArray group = bytes.mid(at, 16);
        rows.append(QString::fromLatin1(group.toHex(' ')) + QLatin1Char('\n'));
    }
    return rows;
}

QByteArray DebugCommand::readWwBytes(const QByteArray &reply)
{
    const QByteArray rest = reply.mid(1);
    if (rest.isEmpty() || int8_t(rest.at(0)) <= 0)
        return QByteArray();
    // The count comes from the base: never show bytes past the reply.
    return rest.mid(1, int8_t(rest.at(0)));
}

QList<QByteArray> DebugCommand::flashLines(const QByteArray &content, QString *error)
{
    constexpr int kPiece = 1023;
    QList<QByteArray> lines;
    int at = 0;
    int number = 0;
    while (at < content.size()) {
        int end = content.indexOf('\n', at);
        end = end < 0 ? content.size() : end + 1;
        // A longer line is read in pieces, as a line-by-line reader with a 1023-byte buffer
        // would.
        end = std::min(end, at + kPiece);
        const QByteArray line = content.mid(at, end - at);
        ++number;
        if (line.size() > kMaxLength) {
            if (error)
                *error = QStringLiteral("line %1 has %2 bytes; one SPI write takes at most %3: "
                                        "nothing sent")
                             .arg(number)
                             .arg(line.size())
                             .arg(kMaxLength);
            return {};
        }
        lines.append(line);
        at = end;
    }
    return lines;
}
