// The Scope's recording: the ring keeps every sample until it is full and then drops the
// oldest, the min/max reduction puts each sample in exactly one column, the recorder extends
// the 16-bit time stamp as the data log does, and the CSV table holds one row per sample.

#include "datapacket.h"
#include "deviceconfig.h"
#include "effectlistmodel.h"
#include "scopetesting.h"
#include "telemetryrecorder.h"
#include "telemetryring.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <vector>

using namespace scopetesting;

namespace {

TelemetryRing ringOf(const std::vector<int32_t> &values, qint64 firstTime = 0, int capacity = 0)
{
    TelemetryRing ring(1, capacity ? capacity : int(values.size()));
    for (size_t i = 0; i < values.size(); ++i)
        ring.append(firstTime + qint64(i), &values[i]);
    return ring;
}

std::vector<MinMaxColumn> reduce(const TelemetryRing &ring, double t0, double t1, int columns)
{
    std::vector<MinMaxColumn> out(static_cast<size_t>(columns));
    ring.reduce(0, t0, t1, out.data(), columns);
    return out;
}

} // namespace

class TestTelemetryRing : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void exactColumns_data();
    void exactColumns();
    void spikeSurvivesAnyWidth_data();
    void spikeSurvivesAnyWidth();
    void wrapAround();
    void windowLongerThanRecorded();
    void searchAndEmptyCases();
    void timeStampExtension();
    void recorderTakesEveryMessageOnce();
    void csvTable();
    void csvSaveFailure();
};

void TestTelemetryRing::exactColumns_data()
{
    QTest::addColumn<int>("columns");
    // min, max, first, last, count for each column.
    QTest::addColumn<QVector<QVector<int>>>("expected");
    // Samples 3, -1, 4, 1, -5, 9 at times 0..5 over [0, 6).
    QTest::newRow("one per column")
        << 6
        << QVector<QVector<int>> {{3, 3, 3, 3, 1}, {-1, -1, -1, -1, 1}, {4, 4, 4, 4, 1},
               {1, 1, 1, 1, 1}, {-5, -5, -5, -5, 1}, {9, 9, 9, 9, 1}};
    QTest::newRow("two columns") << 2 << QVector<QVector<int>> {{-1, 4, 3, 4, 3}, {-5, 9, 1, 9, 3}};
    QTest::newRow("one column") << 1 << QVector<QVector<int>> {{-5, 9, 3, 9, 6}};
    QTest::newRow("four columns (1.5 ms each)")
        << 4
        << QVector<QVector<int>> {
               {-1, 3, 3, -1, 2}, {4, 4, 4, 4, 1}, {-5, 1, 1, -5, 2}, {9, 9, 9, 9, 1}};
    QTest::newRow("more columns than samples")
        << 12
        << QVector<QVector<int>> {{3, 3, 3, 3, 1}, {0, 0, 0, 0, 0}, {-1, -1, -1, -1, 1},
               {0, 0, 0, 0, 0}, {4, 4, 4, 4, 1}, {0, 0, 0, 0, 0}, {1, 1, 1, 1, 1}, {0, 0, 0, 0, 0},
               {-5, -5, -5, -5, 1}, {0, 0, 0, 0, 0}, {9, 9, 9, 9, 1}, {0, 0, 0, 0, 0}};
}

void TestTelemetryRing::exactColumns()
{
    QFETCH(int, columns);
    QFETCH(QVector<QVector<int>>, expected);
    const TelemetryRing ring = ringOf({3, -1, 4, 1, -5, 9});
    const std::vector<MinMaxColumn> out = reduce(ring, 0, 6, columns);
    QCOMPARE(int(out.size()), expected.size());
    for (int c = 0; c < columns; ++c) {
        const MinMaxColumn &col = out[size_t(c)];
        const QVector<int> got = col.count
            ? QVector<int> {col.min, col.max, col.first, col.last, col.count}
            : QVector<int> {0, 0, 0, 0, 0};
        QCOMPARE(got, expected[c]);
    }
}

void TestTelemetryRing::spikeSurvivesAnyWidth_data()
{
    QTest::addColumn<int>("spikeAt");
    QTest::addColumn<int>("spike");
    QTest::newRow("middle, up") << 4321 << 30000;
    QTest::newRow("first, down") << 0 << -30000;
    QTest::newRow("last, up") << 9999 << 1;
    QTest::newRow("off a column edge, down") << 6667 << -1;
}

void TestTelemetryRing::spikeSurvivesAnyWidth()
{
    QFETCH(int, spikeAt);
    QFETCH(int, spike);
    std::vector<int32_t> values(10000, 0);
    values[size_t(spikeAt)] = spike;
    const TelemetryRing ring = ringOf(values, 5000, 65536);
    for (int columns = 1; columns <= 4000; columns += (columns < 50 ? 1 : 37)) {
        const std::vector<MinMaxColumn> out = reduce(ring, 5000, 15000, columns);
        const int expectedColumn = int(qint64(spikeAt) * columns / 10000);
        int total = 0;
        for (int c = 0; c < columns; ++c) {
            const MinMaxColumn &col = out[size_t(c)];
            total += col.count;
            const int32_t extreme = spike > 0 ? col.max : col.min;
            if (c == expectedColumn)
                QVERIFY2(extreme == spike, qPrintable(QString::number(columns)));
            else if (col.count)
                QVERIFY2(col.min == 0 && col.max == 0, qPrintable(QString::number(columns)));
        }
        QCOMPARE(total, 10000);
    }
    // Wider than there are samples, too.
    const std::vector<MinMaxColumn> wide = reduce(ring, 5000, 15000, 25000);
    QCOMPARE(
        spike > 0 ? wide[size_t(spikeAt) * 5 / 2].max : wide[size_t(spikeAt) * 5 / 2].min, spike);
}

void TestTelemetryRing::wrapAround()
{
    TelemetryRing ring(2, 4);
    for (int i = 0; i < 10; ++i) {
        const int32_t values[2] = {i * 10, -i};
        ring.append(100 + i, values);
    }
    QCOMPARE(ring.size(), 4);
    QCOMPARE(ring.capacity(), 4);
    QCOMPARE(ring.appendedCount(), qint64(10));
    QCOMPARE(ring.firstTime(), qint64(106));
    QCOMPARE(ring.lastTime(), qint64(109));
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(ring.timeAt(i), qint64(106 + i));
        QCOMPARE(ring.valueAt(0, i), (6 + i) * 10);
        QCOMPARE(ring.valueAt(1, i), -(6 + i));
    }
    // The kept samples straddle the end of the arrays (oldest at slot 2); the reduction
    // sees them in time order and nothing that was overwritten.
    std::vector<MinMaxColumn> out(10);
    ring.reduce(0, 100, 110, out.data(), 10);
    for (int c = 0; c < 10; ++c) {
        QCOMPARE(out[size_t(c)].count, c >= 6 ? 1 : 0);
        if (c >= 6)
            QCOMPARE(out[size_t(c)].max, c * 10);
    }
    ring.reduce(1, 100, 110, out.data(), 1);
    QCOMPARE(out[0].count, 4);
    QCOMPARE(out[0].first, -6);
    QCOMPARE(out[0].last, -9);
    QCOMPARE(out[0].min, -9);
    QCOMPARE(out[0].max, -6);
    // A full minute at 1 kHz fits in the recorder's ring.
    QVERIFY(TelemetryRecorder::kDefaultCapacity >= 60 * 1000);
}

void TestTelemetryRing::windowLongerThanRecorded()
{
    std::vector<int32_t> values(100);
    for (int i = 0; i < 100; ++i)
        values[size_t(i)] = i - 50;
    const TelemetryRing ring = ringOf(values, 1000, 65536);
    // 20 columns of 100 ms over [0, 2000): all 100 samples (1000..1099 ms) in column 10.
    const std::vector<MinMaxColumn> out = reduce(ring, 0, 2000, 20);
    for (int c = 0; c < 20; ++c)
        QCOMPARE(out[size_t(c)].count, c == 10 ? 100 : 0);
    QCOMPARE(out[10].min, -50);
    QCOMPARE(out[10].max, 49);
    QCOMPARE(out[10].first, -50);
    QCOMPARE(out[10].last, 49);
    // A window reaching past the newest sample.
    const std::vector<MinMaxColumn> late = reduce(ring, 1090, 1190, 100);
    for (int c = 0; c < 100; ++c)
        QCOMPARE(late[size_t(c)].count, c < 10 ? 1 : 0);
}

void TestTelemetryRing::searchAndEmptyCases()
{
    TelemetryRing ring(1, 8);
    QCOMPARE(ring.nearest(5), -1);
    std::vector<MinMaxColumn> out(3);
    ring.reduce(0, 0, 10, out.data(), 3);
    QCOMPARE(out[0].count + out[1].count + out[2].count, 0);
    // Times 10, 20, 20, 30 (a repeated stamp keeps the time).
    const qint64 times[] = {10, 20, 20, 30};
    for (int i = 0; i < 4; ++i) {
        const int32_t v = i;
        ring.append(times[i], &v);
    }
    QCOMPARE(ring.lowerBound(0), 0);
    QCOMPARE(ring.lowerBound(10), 0);
    QCOMPARE(ring.lowerBound(11), 1);
    QCOMPARE(ring.lowerBound(20), 1);
    QCOMPARE(ring.lowerBound(30), 3);
    QCOMPARE(ring.lowerBound(31), 4);
    QCOMPARE(ring.nearest(0), 0);
    QCOMPARE(ring.nearest(14), 0);
    QCOMPARE(ring.nearest(15), 0);
    QCOMPARE(ring.nearest(16), 1);
    QCOMPARE(ring.nearest(99), 3);
    // Bad arguments give empty columns, never a read out of range.
    ring.reduce(5, 0, 40, out.data(), 3);
    QCOMPARE(out[0].count + out[1].count + out[2].count, 0);
    ring.reduce(0, 40, 0, out.data(), 3);
    QCOMPARE(out[0].count + out[1].count + out[2].count, 0);
    ring.reduce(0, 0, 40, out.data(), 0);
    ring.clear();
    QCOMPARE(ring.size(), 0);
    QCOMPARE(ring.appendedCount(), qint64(0));
}

void TestTelemetryRing::timeStampExtension()
{
    // As the data log: 65535 then 1 gives 65535 and 65537; equal stamps keep the time.
    TimeStampExtender clock;
    const QVector<int> stamps = {0, 5, 65535, 1, 1, 40000, 39999, 2};
    const QVector<quint64> expected
        = {0, 5, 65535, 65537, 65537, 105536, 0x20000 + 39999, 0x30000 + 2};
    for (int i = 0; i < stamps.size(); ++i)
        QCOMPARE(quint64(clock.extend(uint16_t(stamps[i]))), expected[i]);
}

void TestTelemetryRing::recorderTakesEveryMessageOnce()
{
    DataPacket data;
    DeviceConfig config;
    EffectListModel effects;
    InjectingComm comm(&config, &data, &effects);
    TelemetryRecorder recorder(&comm, 16);
    QSignalSpy recorded(&recorder, &TelemetryRecorder::recorded);

    const int x = TelemetryRecorder::channelIndex(QStringLiteral("x"));
    const int fyout = TelemetryRecorder::channelIndex(QStringLiteral("fyout"));
    QVERIFY(x >= 0 && fyout >= 0);
    // Identical messages change no property but are samples all the same; other types are not.
    for (int i = 0; i < 3; ++i)
        comm.inject(telemetry({7, 100, 0, 0, -200}));
    comm.inject(QByteArray("\x00hi", 3));
    comm.inject(telemetry({65535, -1, 0, 0, 3}));
    comm.inject(telemetry({2, 4096, 0, 0, -4096}));
    QCOMPARE(recorded.count(), 5);
    const TelemetryRing &ring = recorder.ring();
    QCOMPARE(ring.size(), 5);
    const QVector<qint64> times = {7, 7, 7, 65535, 65538};
    const QVector<int> xs = {100, 100, 100, -1, 4096};
    const QVector<int> fs = {-200, -200, -200, 3, -4096};
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(ring.timeAt(i), times[i]);
        QCOMPARE(ring.valueAt(x, i), xs[i]);
        QCOMPARE(ring.valueAt(fyout, i), fs[i]);
    }
    // Unsigned fields keep their range.
    wire::Telemetry wide;
    wide.timestamp = 3;
    wide.cycle_time = 65000;
    comm.inject(encoded(wide));
    QCOMPARE(ring.valueAt(TelemetryRecorder::channelIndex(QStringLiteral("cycle_time")), 5), 65000);
}

void TestTelemetryRing::csvTable()
{
    DataPacket data;
    DeviceConfig config;
    EffectListModel effects;
    InjectingComm comm(&config, &data, &effects);
    TelemetryRecorder recorder(&comm);
    const QVector<Telemetry> fed = {
        {65533, 100, 0, -7, 0, 15, 1234, 2400},
        {65534, 101, 0, -8, 0, -3, 5, 2399},
        {65535, -4096, 0, 4095, 0, 0, -1, 0},
        {0, 0, 0, 0, 0, 1, 100, 1},
        {1, 32767, 0, -32768, 0, -32768, 32767, -32768},
    };
    for (const Telemetry &t : fed)
        comm.inject(telemetry(t));

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("scope.csv"));
    const QVector<int> channels = {TelemetryRecorder::channelIndex(QStringLiteral("x")),
        TelemetryRecorder::channelIndex(QStringLiteral("fxout")),
        TelemetryRecorder::channelIndex(QStringLiteral("curr_x")),
        TelemetryRecorder::channelIndex(QStringLiteral("Ibus")),
        TelemetryRecorder::channelIndex(QStringLiteral("Vbus"))};
    QString error;
    QVERIFY(TelemetryRecorder::saveCsv(file, recorder.ring(), channels, 0, 1e9, &error));
    QFile in(file);
    QVERIFY(in.open(QIODevice::ReadOnly));
    const QByteArray expected = "time_ms,x,fxout,curr_x (A),Ibus (A),Vbus (V)\r\n"
                                "65533,100,-7,1.5,12.34,24.00\r\n"
                                "65534,101,-8,-0.3,0.05,23.99\r\n"
                                "65535,-4096,4095,0.0,-0.01,0.00\r\n"
                                "65536,0,0,0.1,1.00,0.01\r\n"
                                "65537,32767,-32768,-3276.8,327.67,-327.68\r\n";
    QCOMPARE(in.readAll(), expected);
    in.close();

    // Only the rows of the range [t0, t1); no channel gives the time column alone.
    QVERIFY(TelemetryRecorder::saveCsv(file, recorder.ring(), {}, 65534, 65536, &error));
    QVERIFY(in.open(QIODevice::ReadOnly));
    QCOMPARE(in.readAll(), QByteArray("time_ms\r\n65534\r\n65535\r\n"));
}

void TestTelemetryRing::csvSaveFailure()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    TelemetryRing ring(TelemetryRecorder::channelCount(), 4);
    QString error;
    QVERIFY(!TelemetryRecorder::saveCsv(
        dir.filePath(QStringLiteral("missing/scope.csv")), ring, {0}, 0, 10, &error));
    QVERIFY(!error.isEmpty());
    // A directory where the file should be.
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("taken.csv")));
    error.clear();
    QVERIFY(!TelemetryRecorder::saveCsv(
        dir.filePath(QStringLiteral("taken.csv")), ring, {0}, 0, 10, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(QFileInfo(dir.filePath(QStringLiteral("taken.csv"))).isDir());
}

QTEST_GUILESS_MAIN(TestTelemetryRing)
#include "tst_telemetryring.moc"
