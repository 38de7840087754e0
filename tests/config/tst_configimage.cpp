// The 463-byte configuration image: layout, encoding, decoding, refusal of bad images.

#include "configtestutil.h"

#include <algorithm>
#include <cstring>
#include <set>

class TestConfigImage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void layout();
    void golden();
    void freshImage();
    void fieldsAreIsolated();
    void flagStoresLowestBit();
    void maskKeepsLow48Bits();
    void roundTrip();
    void rejected_data();
    void rejected();
    void curveCountIsLimited();
    void buildFromQObject();
};

void TestConfigImage::initTestCase()
{
    registerConfigMetaTypes();
}

static void putLe(QByteArray &img, int offset, uint64_t value, int size)
{
    for (int i = 0; i < size; ++i)
        img[offset + i] = char((value >> (8 * i)) & 0xFF);
}

static void putCurve(QByteArray &img, int offset, const DeviceMappingData &c)
{
    img[offset] = char(c.count);
    std::memcpy(img.data() + offset + 1, c.x, 10);
    std::memcpy(img.data() + offset + 11, c.y, 10);
}

// An image of a freshly started configurator, written out by hand.
static QByteArray initialImage()
{
    QByteArray img(kConfigImageSize, '\0');
    img[0] = char(0xB5);
    const char curve[21] = {5, char(0x81), char(0xC0), 0, 0x40, 0x7F, 0, 0, 0, 0, 0, char(0x81),
        char(0xC0), 0, 0x40, 0x7F, 0, 0, 0, 0, 0};
    for (int offset : {102, 123, 144, 355, 376, 397})
        img.replace(offset, 21, QByteArray(curve, 21));
    return img;
}

// Reserved bytes and the one reserved bit, as the firmware's record has them.
static const std::set<int> kReservedBytes = {0, 1, 2, 185, 201, 209, 210, 211};

// Every byte belongs to exactly one field (flag bytes to up to eight flags with distinct bits),
// in declaration order, without gaps other than the reserved bytes.
void TestConfigImage::layout()
{
    std::vector<int> owner(kConfigImageSize, -1);
    std::vector<int> bitsUsed(kConfigImageSize, 0);
    int previousEnd = 1; // after the version byte
    int previousOffset = -1;
    int previousBit = -1;
    for (const ConfigParameter &p : configParameters()) {
        if (p.bit > 0) {
            // A further flag of the byte of the previous one, bits in order.
            QVERIFY2(p.offset == previousOffset && p.bit == previousBit + 1, p.name);
        } else {
            // A new field starts where the previous ended, after any reserved bytes.
            int expectedStart = previousEnd;
            while (kReservedBytes.count(expectedStart))
                ++expectedStart;
            QVERIFY2(p.offset == expectedStart, p.name);
        }
        if (p.bit >= 0) {
            QVERIFY2(p.bit < 8 && p.size == 1, p.name);
            QVERIFY2(owner[p.offset] == -1 || owner[p.offset] == -2, p.name);
            owner[p.offset] = -2;
            bitsUsed[p.offset] |= 1 << p.bit;
        } else {
            for (int i = p.offset; i < p.offset + p.size; ++i) {
                QVERIFY2(owner[i] == -1, p.name);
                owner[i] = p.index;
            }
        }
        previousOffset = p.offset;
        previousBit = p.bit;
        previousEnd = p.offset + p.size;
        const int expectedSize = [&] {
            switch (p.kind) {
            case ConfigKind::Flag8:
            case ConfigKind::Flag16:
            case ConfigKind::U8:
            case ConfigKind::I8:
                return 1;
            case ConfigKind::I16:
            case ConfigKind::U16:
                return 2;
            case ConfigKind::Mask48:
                return 6;
            case ConfigKind::Curve:
                return 21;
            case ConfigKind::Name:
                return 20;
            case ConfigKind::ButtonMap:
                return 48;
            }
            return -1;
        }();
        QCOMPARE(p.size, expectedSize);
    }
    QCOMPARE(previousEnd, kConfigImageSize); // the last field ends at byte 462
    for (int i = 0; i < kConfigImageSize; ++i) {
        if (kReservedBytes.count(i))
            QVERIFY2(owner[i] == -1, qPrintable(QString::number(i)));
        else
            QVERIFY2(owner[i] != -1, qPrintable(QString::number(i)));
    }
    // Flag bytes: exactly these, all bits used except bit 7 of byte 218.
    for (int i = 0; i < kConfigImageSize; ++i) {
        if (owner[i] != -2)
            continue;
        const int expected = i == 218 ? 0x7F : 0xFF;
        QVERIFY2(bitsUsed[i] == expected, qPrintable(QString::number(i)));
        QVERIFY2(
            i == 3 || i == 208 || i == 218 || i == 332 || i == 333, qPrintable(QString::number(i)));
    }
}

// Fields at offsets taken from the firmware's record, written by hand into an image, against
// the encoder and the decoder.
void TestConfigImage::golden()
{
    QByteArray img = initialImage();
    img[3] = char(0x81); // x_input_invert, default_friction_en
    putLe(img, 4, uint16_t(-2), 2); // x_angle_max
    img[17] = 0x2A; // master_gain
    putLe(img, 18, 0x1234, 2); // default_spring_coef_pos_x
    putLe(img, 96, uint16_t(-4096), 2); // default_inertia_deadband_y
    img[98] = char(-100); // global_spring_gain
    DeviceMappingData spring;
    spring.count = 3;
    spring.x[0] = -100, spring.x[1] = 0, spring.x[2] = 100;
    spring.y[0] = -50, spring.y[1] = 10, spring.y[2] = 120;
    putCurve(img, 102, spring);
    img.replace(165, 20, QByteArray("GOLDEN-CONFIG-NAME20"));
    putLe(img, 186, 0x0102, 2); // neutral_damping_comp
    putLe(img, 202, 0x060504030201ULL, 6); // button_inv_mask
    img[208] = char(0x80); // hats_fourway_4
    img[212] = 3; // grip_type
    img[218] = 0x40; // usb_suspend_dis
    img[250] = 7; // button_mapping[0]
    img[297] = 9; // button_mapping[47]
    img[333] = char(0x80); // _reserved
    img[332] = 0x01; // separate_spring_mapping
    img[334] = char(-3); // global_constantf_gain
    img.replace(335, 20, QByteArray("Device name 20 chars"));
    DeviceMappingData inertiaY;
    inertiaY.count = 10;
    for (int i = 0; i < 10; ++i)
        inertiaY.x[i] = int8_t(i * 10 - 50), inertiaY.y[i] = int8_t(50 - i * 10);
    putCurve(img, 397, inertiaY);
    putLe(img, 447, 0xA0B0C0D0E0F0ULL, 6); // button_tgl_mask
    img[454] = 17; // alpha_scroll_axis_reset_button
    putLe(img, 461, 0xBEEF, 2); // pot_2_cal_max, the last field

    ButtonMapping buttons;
    buttons.map[0] = 7;
    buttons.map[47] = 9;

    DeviceConfig config;
    config.set_x_input_invert(1);
    config.set_default_friction_en(1);
    config.set_x_angle_max(-2);
    config.set_master_gain(0x2A);
    config.set_default_spring_coef_pos_x(0x1234);
    config.set_default_inertia_deadband_y(-4096);
    config.set_global_spring_gain(-100);
    config.set_spring_mapping(spring);
    config.set_config_name(DeviceName::fromString("GOLDEN-CONFIG-NAME20"));
    config.set_neutral_damping_comp(0x0102);
    config.set_button_inv_mask(0x060504030201ULL);
    config.set_hats_fourway_4(1);
    config.set_grip_type(3);
    config.set_usb_suspend_dis(1);
    config.set_button_mapping(buttons);
    config.set__reserved(1);
    config.set_separate_spring_mapping(1);
    config.set_global_constantf_gain(-3);
    config.set_device_name(DeviceName::fromString("Device name 20 chars"));
    config.set_inertia_mapping_y(inertiaY);
    config.set_button_tgl_mask(0xA0B0C0D0E0F0ULL);
    config.set_alpha_scroll_axis_reset_button(17);
    config.set_pot_2_cal_max(0xBEEF);

    QByteArray built;
    {
        QuietLog quiet;
        built = buildConfigImage(config);
    }
    QCOMPARE(built.size(), kConfigImageSize);
    for (int i = 0; i < kConfigImageSize; ++i)
        QVERIFY2(built[i] == img[i],
            qPrintable(QStringLiteral("byte %1: built %2, expected %3")
                           .arg(i)
                           .arg(uint8_t(built[i]))
                           .arg(uint8_t(img[i]))));

    DeviceConfig decoded;
    {
        QuietLog quiet;
        QCOMPARE(applyConfigImage(decoded, img), ImageCheck::Ok);
    }
    QCOMPARE(snapshot(decoded), snapshot(config));
    QCOMPARE(decoded.spring_mapping().count, uint8_t(3));
    QCOMPARE(decoded.inertia_mapping_y().count, uint8_t(10));
    QCOMPARE(decoded.config_name().toString(), QStringLiteral("GOLDEN-CONFIG-NAME20"));
}

void TestConfigImage::freshImage()
{
    DeviceConfig config;
    LogCapture log;
    const QByteArray built = buildConfigImage(config);
    QCOMPARE(built, initialImage());
    // One "<name> = <value>" line per field.
    QCOMPARE(log.lines().size(), kConfigParameterCount);
    QCOMPARE(log.lines().at(17), QStringLiteral("master_gain  =  0"));
    QVERIFY(log.lines().contains(QStringLiteral("config_name  =  \"\"")));
}

static QVariant otherValue(const ConfigParameter &p)
{
    switch (p.kind) {
    case ConfigKind::Flag8:
    case ConfigKind::Flag16:
        return QVariant(1);
    case ConfigKind::U8:
    case ConfigKind::I8:
        return QVariant(p.kind == ConfigKind::U8 ? 255 : -1);
    case ConfigKind::I16:
        return QVariant(-1);
    case ConfigKind::U16:
        return QVariant(65535);
    case ConfigKind::Mask48:
        return QVariant(Q_UINT64_C(0xFFFFFFFFFFFF));
    case ConfigKind::Curve: {
        DeviceMappingData c;
        c.count = 10;
        std::fill(std::begin(c.x), std::end(c.x), int8_t(-1));
        std::fill(std::begin(c.y), std::end(c.y), int8_t(-1));
        return QVariant::fromValue(c);
    }
    case ConfigKind::Name:
        return QVariant::fromValue(DeviceName::fromString(QString(20, QChar('~'))));
    case ConfigKind::ButtonMap: {
        ButtonMapping m;
        std::fill(std::begin(m.map), std::end(m.map), uint8_t(0xFF));
        return QVariant::fromValue(m);
    }
    }
    return QVariant();
}

// Changing one parameter changes only its own bytes (or bit) of the image.
void TestConfigImage::fieldsAreIsolated()
{
    QuietLog quiet;
    DeviceConfig fresh;
    const QByteArray base = buildConfigImage(fresh);
    for (const ConfigParameter &p : configParameters()) {
        DeviceConfig config;
        QVERIFY2(p.write(config, otherValue(p)), p.name);
        const QByteArray img = buildConfigImage(config);
        for (int i = 0; i < kConfigImageSize; ++i) {
            const uint8_t diff = uint8_t(img[i] ^ base[i]);
            uint8_t expected = 0;
            if (i >= p.offset && i < p.offset + p.size)
                expected = p.bit >= 0 ? uint8_t(1 << p.bit) : uint8_t(diff);
            QVERIFY2(diff == expected,
                qPrintable(QStringLiteral("%1 touches byte %2").arg(p.name).arg(i)));
            if (p.bit < 0 && i >= p.offset && i < p.offset + p.size && p.kind != ConfigKind::Curve)
                QVERIFY2(
                    diff != 0, qPrintable(QStringLiteral("%1 leaves byte %2").arg(p.name).arg(i)));
        }
    }
}

void TestConfigImage::flagStoresLowestBit()
{
    QuietLog quiet;
    DeviceConfig config;
    config.set_swap_xy(2);
    QCOMPARE(uint8_t(buildConfigImage(config)[3]), uint8_t(0));
    config.set_swap_xy(3);
    QCOMPARE(uint8_t(buildConfigImage(config)[3]), uint8_t(0x04));
    config.set_advanced_recentering(0xFFFE);
    QCOMPARE(uint8_t(buildConfigImage(config)[333]), uint8_t(0));
}

void TestConfigImage::maskKeepsLow48Bits()
{
    QuietLog quiet;
    DeviceConfig config;
    config.set_button_inv_mask(1);
    QByteArray img = buildConfigImage(config);
    QCOMPARE(img.mid(202, 6), QByteArray("\x01\0\0\0\0\0", 6));
    config.set_button_inv_mask(Q_UINT64_C(0xFFFF000000000001));
    img = buildConfigImage(config);
    QCOMPARE(img.mid(202, 6), QByteArray("\x01\0\0\0\0\0", 6));
    DeviceConfig decoded;
    decoded.set_button_inv_mask(Q_UINT64_C(0xFFFF000000000001));
    QCOMPARE(applyConfigImage(decoded, img), ImageCheck::Ok);
    QCOMPARE(decoded.button_inv_mask(), uint64_t(1));
}

void TestConfigImage::roundTrip()
{
    QuietLog quiet;
    const QByteArray img = patternImage();
    DeviceConfig fresh;
    DeviceConfig config;
    config.loadImage(img);
    QCOMPARE(config.parametersModified(), true);
    // Every parameter took a value other than its initial one.
    const QStringList changed = changedParameters(snapshot(fresh), snapshot(config));
    QCOMPARE(changed.size(), kConfigParameterCount);
    QCOMPARE(buildConfigImage(config), img);

    // Reading the same image again changes, logs and signals nothing.
    config.setParametersModified(false);
    AllSignalsSpy all(&config);
    {
        LogCapture log;
        config.loadImage(img);
        QVERIFY(log.lines().isEmpty());
    }
    QCOMPARE(all.emitted(), QStringList());
    QCOMPARE(config.parametersModified(), false);
}

void TestConfigImage::rejected_data()
{
    QTest::addColumn<QByteArray>("image");
    QTest::addColumn<int>("check");
    QTest::addColumn<QString>("message");

    const QByteArray good = patternImage();
    QTest::newRow("empty") << QByteArray() << int(ImageCheck::BadSize) << "Bad FW config size 0";
    QTest::newRow("one byte") << QByteArray(1, char(0xB5)) << int(ImageCheck::BadSize)
                              << "Bad FW config size 1";
    QTest::newRow("short") << good.left(462) << int(ImageCheck::BadSize)
                           << "Bad FW config size 462";
    QTest::newRow("long") << good + '\0' << int(ImageCheck::BadSize) << "Bad FW config size 464";
    QByteArray version = good;
    version[0] = char(180);
    QTest::newRow("version 180") << version << int(ImageCheck::BadVersion)
                                 << "Incompatible FW config version, please update";
    version[0] = 0;
    QTest::newRow("version 0") << version << int(ImageCheck::BadVersion)
                               << "Incompatible FW config version, please update";
    QByteArray both = version.left(100);
    QTest::newRow("short and bad version")
        << both << int(ImageCheck::BadSize) << "Bad FW config size 100";
}

void TestConfigImage::rejected()
{
    QFETCH(QByteArray, image);
    QFETCH(int, check);
    QFETCH(QString, message);

    DeviceConfig config;
    {
        QuietLog quiet;
        config.loadImage(initialImage());
        config.set_master_gain(99); // not the initial state, so an overwrite would show
    }
    const QVariantList before = snapshot(config);
    AllSignalsSpy all(&config);
    QVERIFY(all.signalCount() >= kConfigParameterCount + 2);
    LogCapture log;

    QCOMPARE(int(checkConfigImage(
                 reinterpret_cast<const uint8_t *>(image.constData()), size_t(image.size()))),
        check);
    QCOMPARE(int(applyConfigImage(config, image)), check);
    QCOMPARE(configImageError(ImageCheck(check), size_t(image.size())), message);
    try {
        config.loadImage(image);
        QFAIL("loadImage accepted a bad image");
    } catch (const QString &thrown) {
        QCOMPARE(thrown, message);
    }
    QCOMPARE(snapshot(config), before);
    QCOMPARE(all.emitted(), QStringList());
    QVERIFY(log.linesStartingWith(QStringLiteral("set ")).isEmpty());
}

void TestConfigImage::curveCountIsLimited()
{
    QuietLog quiet;
    QByteArray img = initialImage();
    img[123] = char(200); // damper_mapping count
    img[124] = 1; // and a point that differs, so it is stored
    DeviceConfig config;
    QCOMPARE(applyConfigImage(config, img), ImageCheck::Ok);
    QCOMPARE(config.damper_mapping().count, uint8_t(DeviceMappingData::kMaxPoints));
    QCOMPARE(config.damper_mapping().x[0], int8_t(1));
    QCOMPARE(uint8_t(buildConfigImage(config)[123]), uint8_t(DeviceMappingData::kMaxPoints));

    // The setter keeps the same limit for curves from anywhere else.
    DeviceMappingData c;
    c.count = 11;
    c.x[9] = 9;
    config.set_spring_mapping(c);
    QCOMPARE(config.spring_mapping().count, uint8_t(DeviceMappingData::kMaxPoints));
}

void TestConfigImage::buildFromQObject()
{
    QuietLog quiet;
    DeviceConfig config;
    config.set_master_gain(5);
    ConfigImage image;
    QVERIFY(buildConfigImage(static_cast<QObject *>(&config), image));
    QCOMPARE(toByteArray(image), buildConfigImage(config));
    QObject other;
    image.fill(0xAA);
    QVERIFY(!buildConfigImage(&other, image));
    QVERIFY(!buildConfigImage(static_cast<QObject *>(nullptr), image));
    QCOMPARE(image[0], uint8_t(0xAA));
}

QTEST_GUILESS_MAIN(TestConfigImage)
#include "tst_configimage.moc"
