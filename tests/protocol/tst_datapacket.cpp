#include "datapacket.h"

#include <QSignalSpy>
#include <QtTest>

#include <memory>
#include <vector>

namespace {

// A telemetry message with the given fields set (little-endian, at their wire offsets).
struct Telemetry
{
    std::vector<uint8_t> bytes = std::vector<uint8_t>(DataPacket::kMessageSize, 0);
    Telemetry() { bytes[0] = 1; }
    Telemetry &put(int offset, uint64_t value, int size)
    {
        for (int i = 0; i < size; ++i)
            bytes[size_t(offset + i)] = uint8_t(value >> (8 * i));
        return *this;
    }
    Telemetry &hats(uint32_t v) { return put(41, v, 4); }
    Telemetry &buttons(uint64_t v) { return put(54, v, 8); }
    Telemetry &logical(uint64_t v) { return put(62, v, 8); }
    Telemetry &motFault(uint8_t v) { return put(45, v, 1); }
};

// Records the four edge signals in the order they were emitted, as "P1", "R0x8f", ...
struct EdgeLog
{
    QStringList events;
    explicit EdgeLog(DataPacket &p)
    {
        QObject::connect(&p, &DataPacket::buttonPressed,
            [this](int id) { events << QStringLiteral("P%1").arg(id, 0, 16); });
        QObject::connect(&p, &DataPacket::buttonReleased,
            [this](int id) { events << QStringLiteral("R%1").arg(id, 0, 16); });
        QObject::connect(&p, &DataPacket::logicalButtonPressed,
            [this](int id) { events << QStringLiteral("LP%1").arg(id, 0, 16); });
        QObject::connect(&p, &DataPacket::logicalButtonReleased,
            [this](int id) { events << QStringLiteral("LR%1").arg(id, 0, 16); });
    }
};

void feed(DataPacket &p, const std::vector<uint8_t> &bytes)
{
    // An exact-size heap copy, so any read past the payload is caught by the sanitizer.
    std::unique_ptr<uint8_t[]> exact(new uint8_t[bytes.size()]);
    std::copy(bytes.begin(), bytes.end(), exact.get());
    p.applyTelemetry(exact.get(), int(bytes.size()));
}

} // namespace

class TestDataPacket : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initialValues();
    void fieldOffsets();
    void typeByteOnlyZeroesEverything();
    void firstMotFaultZeroSignals();
    void identicalMessagesSignalOnce();
    void edges_data();
    void edges();
    void firstCentredHatsReleaseFromZero();
    void truncated_data();
    void truncated();
    void longerMessageIsCut();
};

void TestDataPacket::initialValues()
{
    DataPacket p;
    QCOMPARE(p.mot_fault(), uint8_t(255));
    QCOMPARE(p.x(), int16_t(0));
    QCOMPARE(p.buttons64(), uint64_t(0));
    QCOMPARE(p.metaObject()->propertyCount() - p.metaObject()->propertyOffset(), 33);
    // Readable by name through the fixed-width aliases.
    QCOMPARE(p.property("mot_fault").toInt(), 255);
}

void TestDataPacket::fieldOffsets()
{
    // Every field from its own offset, with values whose bytes all differ.
    Telemetry t;
    t.put(1, 0x8001, 2).put(3, 0x0203, 2).put(5, 0xFFFE, 2).put(13, 0x1000, 2).put(15, 0xF000, 2);
    t.put(17, 0xABCD, 2).put(23, 0x1234, 2).put(29, 15, 2).put(31, 0xFFFD, 2).put(37, 1234, 2);
    t.put(39, 2400, 2).hats(0x0000F2F1).motFault(0x1F).put(46, 0x0FFF, 2).put(52, 0x0123, 2);
    t.buttons(0x8000000000000001ULL).logical(0x0102030405060708ULL).put(70, 0x8000, 2);
    t.put(72, 0x11, 1).put(73, 0x22, 1).put(74, 0x33, 1).put(75, 0x44, 1);
    DataPacket p;
    feed(p, t.bytes);
    QCOMPARE(p.x(), int16_t(-32767));
    QCOMPARE(p.y(), int16_t(0x0203));
    QCOMPARE(p.dx(), int16_t(-2));
    QCOMPARE(p.fxout(), int16_t(4096));
    QCOMPARE(p.fyout(), int16_t(-4096));
    QCOMPARE(p.timestamp(), uint16_t(0xABCD));
    QCOMPARE(p.cycle_time(), uint16_t(0x1234));
    QCOMPARE(p.curr_x(), int16_t(15));
    QCOMPARE(p.curr_y(), int16_t(-3));
    QCOMPARE(p.Ibus(), int16_t(1234));
    QCOMPARE(p.Vbus(), int16_t(2400));
    QCOMPARE(p.hats(), uint32_t(0xF2F1));
    QCOMPARE(p.mot_fault(), uint8_t(0x1F));
    QCOMPARE(p.aux_axis_1(), uint16_t(0x0FFF));
    QCOMPARE(p.aux_axis_4(), uint16_t(0x0123));
    QCOMPARE(p.buttons64(), uint64_t(0x8000000000000001ULL));
    QCOMPARE(p.buttons_logical64(), uint64_t(0x0102030405060708ULL));
    QCOMPARE(p.Z(), int16_t(-32768));
    QCOMPARE(p.Rz(), uint8_t(0x11));
    QCOMPARE(p.Rx(), uint8_t(0x22));
    QCOMPARE(p.Ry(), uint8_t(0x33));
    QCOMPARE(p.Slider(), uint8_t(0x44));
}

void TestDataPacket::typeByteOnlyZeroesEverything()
{
    DataPacket p;
    Telemetry t;
    t.put(1, 100, 2).put(75, 9, 1).motFault(0);
    feed(p, t.bytes);
    QSignalSpy x(&p, &DataPacket::xChanged);
    QSignalSpy slider(&p, &DataPacket::SliderChanged);
    QSignalSpy y(&p, &DataPacket::yChanged);
    QSignalSpy fault(&p, &DataPacket::mot_faultChanged);
    feed(p, std::vector<uint8_t> {1});
    QCOMPARE(x.count(), 1);
    QCOMPARE(x.at(0).at(0).value<int16_t>(), int16_t(0));
    QCOMPARE(slider.count(), 1);
    QCOMPARE(y.count(), 0); // was 0 already
    QCOMPARE(fault.count(), 0);
    QCOMPARE(p.x(), int16_t(0));
}

void TestDataPacket::firstMotFaultZeroSignals()
{
    DataPacket p;
    QSignalSpy fault(&p, &DataPacket::mot_faultChanged);
    feed(p, Telemetry().motFault(0).bytes);
    QCOMPARE(fault.count(), 1);
    QCOMPARE(fault.at(0).at(0).value<uint8_t>(), uint8_t(0));
}

void TestDataPacket::identicalMessagesSignalOnce()
{
    DataPacket p;
    Telemetry t;
    t.put(1, 5, 2).put(17, 77, 2);
    QSignalSpy x(&p, &DataPacket::xChanged);
    QSignalSpy stamp(&p, &DataPacket::timestampChanged);
    feed(p, t.bytes);
    feed(p, t.bytes);
    QCOMPARE(x.count(), 1);
    QCOMPARE(stamp.count(), 1);
}

void TestDataPacket::edges_data()
{
    QTest::addColumn<quint64>("fromButtons");
    QTest::addColumn<quint64>("toButtons");
    QTest::addColumn<uint>("fromHats");
    QTest::addColumn<uint>("toHats");
    QTest::addColumn<quint64>("toLogical");
    QTest::addColumn<QStringList>("expected");

    const uint centred = 0xFFFF;
    QTest::newRow("0 -> 5") << quint64(0) << quint64(5) << centred << centred << quint64(0)
                            << QStringList {"P1", "P3"};
    QTest::newRow("5 -> 4") << quint64(5) << quint64(4) << centred << centred << quint64(0)
                            << QStringList {"R1"};
    QTest::newRow("bit 63") << quint64(0) << (quint64(1) << 63) << centred << centred << quint64(0)
                            << QStringList {"P40"};
    QTest::newRow("hat 1 to 2") << quint64(0) << quint64(0) << centred << 0xFFF2u << quint64(0)
                                << QStringList {"R8f", "P82"};
    QTest::newRow("hat 1 back") << quint64(0) << quint64(0) << 0xFFF2u << centred << quint64(0)
                                << QStringList {"R82"};
    QTest::newRow("hat 4 and 2") << quint64(0) << quint64(0) << centred << 0x3F1Fu << quint64(0)
                                 << QStringList {"R9f", "P91", "Rbf", "Pb3"};
    QTest::newRow("logical") << quint64(0) << quint64(0) << centred << centred << quint64(0x3)
                             << QStringList {"LP1", "LP2"};
}

void TestDataPacket::edges()
{
    QFETCH(quint64, fromButtons);
    QFETCH(quint64, toButtons);
    QFETCH(uint, fromHats);
    QFETCH(uint, toHats);
    QFETCH(quint64, toLogical);
    QFETCH(QStringList, expected);

    DataPacket p;
    feed(p, Telemetry().buttons(fromButtons).hats(fromHats).bytes);
    EdgeLog log(p);
    feed(p, Telemetry().buttons(toButtons).hats(toHats).logical(toLogical).bytes);
    QCOMPARE(log.events, expected);
}

void TestDataPacket::firstCentredHatsReleaseFromZero()
{
    DataPacket p;
    EdgeLog log(p);
    feed(p, Telemetry().hats(0xFFFF).bytes);
    QCOMPARE(log.events, (QStringList {"R80", "R90", "Ra0", "Rb0"}));
}

void TestDataPacket::truncated_data()
{
    QTest::addColumn<int>("length");
    for (int n = 0; n <= DataPacket::kMessageSize; ++n)
        QTest::addRow("%d bytes", n) << n;
}

void TestDataPacket::truncated()
{
    QFETCH(int, length);
    // A full message of 0xFF bytes cut to length: fields before the cut keep their bytes,
    // the rest read as 0.
    std::vector<uint8_t> full(DataPacket::kMessageSize, 0xFF);
    full[0] = 1;
    DataPacket p;
    QSignalSpy slider(&p, &DataPacket::SliderChanged);
    std::vector<uint8_t> cut(full.begin(), full.begin() + length);
    if (length == 0) {
        p.applyTelemetry(nullptr, 0);
    } else {
        feed(p, cut);
    }
    // The message is zero-padded: a field cut in the middle keeps its leading bytes.
    auto padded = [&](int offset, int size) {
        uint64_t v = 0;
        for (int i = 0; i < size; ++i)
            if (offset + i < length)
                v |= uint64_t(full[size_t(offset + i)]) << (8 * i);
        return v;
    };
    QCOMPARE(p.x(), int16_t(padded(1, 2)));
    QCOMPARE(p.hats(), uint32_t(padded(41, 4)));
    QCOMPARE(p.mot_fault(), uint8_t(padded(45, 1)));
    QCOMPARE(p.buttons64(), uint64_t(padded(54, 8)));
    QCOMPARE(p.Slider(), uint8_t(padded(75, 1)));
    QCOMPARE(slider.count(), length >= 76 ? 1 : 0);
}

void TestDataPacket::longerMessageIsCut()
{
    std::vector<uint8_t> longer(200, 0x7F);
    longer[0] = 1;
    DataPacket p;
    feed(p, longer);
    QCOMPARE(p.Slider(), uint8_t(0x7F));
    QCOMPARE(p.x(), int16_t(0x7F7F));
}

QTEST_MAIN(TestDataPacket)
#include "tst_datapacket.moc"
