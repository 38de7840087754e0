// The generated udev rules: each rule's product expression is evaluated the way udev matches
// it (alternatives split at '|', each an fnmatch() glob) against a table of identifiers, and
// the glob builder is checked against every four-digit identifier.

#include "udevrules.h"

#include <QFile>
#include <QRegularExpression>
#include <QtTest>

#include <fnmatch.h>

namespace {

// What udev does with a match value: true when any '|'-separated glob matches.
bool udevMatches(const QString &expression, const QString &value)
{
    const QStringList alternatives = expression.split(QLatin1Char('|'));
    for (const QString &glob : alternatives)
        if (::fnmatch(glob.toUtf8().constData(), value.toUtf8().constData(), 0) == 0)
            return true;
    return false;
}

QString hex4(int value)
{
    return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0'));
}

// The rules file split into its rules (comment and empty lines dropped).
QStringList rules()
{
    QFile file(QStringLiteral(TAVIK_UDEV_RULES_FILE));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList out;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n')))
        if (!line.trimmed().isEmpty() && !line.trimmed().startsWith(QLatin1Char('#')))
            out << line;
    return out;
}

QString ruleFor(const QString &subsystem)
{
    for (const QString &rule : rules())
        if (rule.startsWith(QStringLiteral("SUBSYSTEM==\"%1\"").arg(subsystem)))
            return rule;
    return QString();
}

// The value of KEY=="..." (or KEY="...") in a rule.
QString valueOf(const QString &rule, const QString &key, const QString &op = QStringLiteral("=="))
{
    const QRegularExpression re(
        QRegularExpression::escape(key + op) + QStringLiteral("\"([^\"]*)\""));
    const QRegularExpressionMatch m = re.match(rule);
    return m.hasMatch() ? m.captured(1) : QString();
}

} // namespace

class TestUdevRules : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void productRanges_data();
    void productRanges();
    void vendorAndAccess_data();
    void vendorAndAccess();
    void modemManagerLeavesTheSerialPortAlone();
    void globsMatchExactlyTheRange_data();
    void globsMatchExactlyTheRange();
    void refusesBadInput();
};

void TestUdevRules::productRanges_data()
{
    QTest::addColumn<QString>("subsystem");
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("product");
    QTest::addColumn<bool>("matches");
    // The serial port starts at 2001; the USB device and its HID interface at 2000.
    const struct
    {
        int product;
        bool serial;
        bool usb;
    } table[] = {{0x1FFF, false, false}, {0x2000, false, true}, {0x2001, true, true},
        {0x2055, true, true}, {0x2056, false, false}, {0x20FF, false, false},
        {0x2100, false, false}};
    for (const auto &row : table) {
        const QByteArray id = QByteArray::number(row.product, 16);
        QTest::newRow(("tty " + id).constData()) << "tty"
                                                 << "ATTRS{idProduct}" << row.product << row.serial;
        QTest::newRow(("usb " + id).constData()) << "usb"
                                                 << "ATTR{idProduct}" << row.product << row.usb;
        QTest::newRow(("hidraw " + id).constData()) << "hidraw"
                                                    << "ATTRS{idProduct}" << row.product << row.usb;
    }
}

void TestUdevRules::productRanges()
{
    QFETCH(QString, subsystem);
    QFETCH(QString, key);
    QFETCH(int, product);
    QFETCH(bool, matches);
    const QString rule = ruleFor(subsystem);
    QVERIFY2(!rule.isEmpty(), qPrintable(subsystem));
    const QString expression = valueOf(rule, key);
    QVERIFY2(!expression.isEmpty(), qPrintable(rule));
    QCOMPARE(udevMatches(expression, hex4(product)), matches);
}

void TestUdevRules::vendorAndAccess_data()
{
    QTest::addColumn<QString>("subsystem");
    QTest::addColumn<QString>("vendorKey");
    QTest::newRow("tty") << "tty"
                         << "ATTRS{idVendor}";
    QTest::newRow("usb") << "usb"
                         << "ATTR{idVendor}";
    QTest::newRow("hidraw") << "hidraw"
                            << "ATTRS{idVendor}";
}

void TestUdevRules::vendorAndAccess()
{
    QFETCH(QString, subsystem);
    QFETCH(QString, vendorKey);
    const QString rule = ruleFor(subsystem);
    QVERIFY(!rule.isEmpty());
    const QString vendor = valueOf(rule, vendorKey);
    QVERIFY(udevMatches(vendor, QStringLiteral("ffff")));
    QVERIFY(!udevMatches(vendor, QStringLiteral("fffe")));
    QVERIFY2(rule.contains(QStringLiteral("TAG+=\"uaccess\"")), qPrintable(rule));
    // Access goes to the seat's user through ACLs, never to everybody.
    QVERIFY2(!rule.contains(QStringLiteral("MODE")), qPrintable(rule));
    QVERIFY2(!rule.contains(QStringLiteral("GROUP")), qPrintable(rule));
    if (subsystem == QLatin1String("hidraw")) {
        // The loopback tool offers only bases whose product name begins so.
        const QString product = valueOf(rule, QStringLiteral("ATTRS{product}"));
        QVERIFY(udevMatches(product, QStringLiteral("Brontel FFB Base")));
        QVERIFY(!udevMatches(product, QStringLiteral("Other Stick")));
    }
    // Exactly three rules, one per node kind.
    QCOMPARE(rules().size(), 3);
}

void TestUdevRules::modemManagerLeavesTheSerialPortAlone()
{
    const QString rule = ruleFor(QStringLiteral("tty"));
    QCOMPARE(valueOf(rule, QStringLiteral("ENV{ID_MM_DEVICE_IGNORE}"), QStringLiteral("=")),
        QStringLiteral("1"));
}

void TestUdevRules::globsMatchExactlyTheRange_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::newRow("serial port") << 0x2001 << 0x2055;
    QTest::newRow("usb") << 0x2000 << 0x2055;
    QTest::newRow("one") << 0x2055 << 0x2055;
    QTest::newRow("digits to letters") << 0x1234 << 0xabcd;
    QTest::newRow("9 to a") << 0x0009 << 0x000a;
    QTest::newRow("all") << 0x0000 << 0xffff;
    QTest::newRow("top") << 0xfff0 << 0xffff;
}

void TestUdevRules::globsMatchExactlyTheRange()
{
    QFETCH(int, first);
    QFETCH(int, last);
    const QString expression
        = QString::fromStdString(udevrules::hexRangeMatch(uint16_t(first), uint16_t(last)));
    for (int v = 0; v <= 0xffff; ++v) {
        const bool inRange = v >= first && v <= last;
        if (udevMatches(expression, hex4(v)) != inRange)
            QFAIL(qPrintable(QStringLiteral("%1 against %2").arg(hex4(v), expression)));
    }
}

void TestUdevRules::refusesBadInput()
{
    udevrules::Identifiers ids;
    ids.vendorId = 0xffff;
    ids.serialProductFirst = 0x2001;
    ids.serialProductLast = 0x2055;
    ids.usbProductFirst = 0x2000;
    ids.usbProductLast = 0x2055;
    ids.hidProductPrefix = "Brontel FFB";
    QVERIFY(!udevrules::rulesText(ids).empty());
    ids.hidProductPrefix = "Brontel*";
    QVERIFY_EXCEPTION_THROWN(udevrules::rulesText(ids), std::invalid_argument);
    ids.hidProductPrefix = "Brontel FFB";
    ids.usbProductFirst = 0x3000;
    QVERIFY_EXCEPTION_THROWN(udevrules::rulesText(ids), std::invalid_argument);
}

QTEST_GUILESS_MAIN(TestUdevRules)
#include "tst_udevrules.moc"
