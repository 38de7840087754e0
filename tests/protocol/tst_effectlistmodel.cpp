#include "effectlistmodel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

#include <cstring>
#include <memory>

namespace {

QByteArray report(int id, int type, bool enabled = true, int cpX = 0, int cpY = 0)
{
    QByteArray r(EffectListModel::kReportSize, '\0');
    r[0] = 4;
    r[1] = char(id);
    r[2] = char(type);
    r[3] = char(0x00); // gain 4096
    r[4] = char(0x10);
    r[5] = char(enabled ? 1 : 0);
    r[6] = char(cpX & 0xFF);
    r[7] = char((cpX >> 8) & 0xFF);
    r[8] = char(cpY & 0xFF);
    r[9] = char((cpY >> 8) & 0xFF);
    return r;
}

QList<int> ids(const EffectListModel &m)
{
    QList<int> out;
    for (int row = 0; row < m.rowCount(); ++row)
        out << m.data(m.index(row), EffectListModel::EffectIdRole).toInt();
    return out;
}

} // namespace

class TestEffectListModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void roleNames();
    void rolesReadTheirBytes_data();
    void rolesReadTheirBytes();
    void insertUpdateUnchanged();
    void rowsInAscendingIdOrder();
    void springCentre_data();
    void springCentre();
    void typeNames_data();
    void typeNames();
    void shortReportsRefused_data();
    void shortReportsRefused();
    void expiryOneEffectPerTick();
};

void TestEffectListModel::roleNames()
{
    EffectListModel m;
    const QHash<int, QByteArray> roles = m.roleNames();
    QCOMPARE(roles.size(), 26);
    QCOMPARE(roles.value(259), QByteArray("enabled"));
    QCOMPARE(roles.value(262), QByteArray("effectId"));
    QCOMPARE(roles.value(275), QByteArray("gain"));
    QCOMPARE(roles.value(280), QByteArray("period_ms"));
    QCOMPARE(roles.value(283), QByteArray("offset"));
    QCOMPARE(roles.value(284), QByteArray("effectName"));
}

void TestEffectListModel::rolesReadTheirBytes_data()
{
    QTest::addColumn<int>("role");
    QTest::addColumn<int>("expected");
    // Report bytes 6..29 hold 0x0106, 0x0108, ... (signed 16-bit at each even offset), byte 20 =
    // 0x14.
    QTest::newRow("cpX") << 263 << 0x0706;
    QTest::newRow("cpY") << 264 << 0x0908;
    QTest::newRow("positiveCoefficientX") << 265 << 0x0B0A;
    QTest::newRow("negativeCoefficientX") << 266 << 0x0D0C;
    QTest::newRow("positiveCoefficientY") << 267 << 0x0F0E;
    QTest::newRow("negativeCoefficientY") << 268 << 0x1110;
    QTest::newRow("positiveSaturationX") << 269 << 0x1312;
    QTest::newRow("positiveSaturationY") << 270 << 0x1514;
    QTest::newRow("negativeSaturationX") << 271 << 0x1716;
    QTest::newRow("negativeSaturationY") << 272 << 0x1918;
    QTest::newRow("deadbandX") << 273 << 0x1B1A;
    QTest::newRow("deadbandY") << 274 << int(int16_t(0x9D1C));
    QTest::newRow("gain") << 275 << int(int16_t(0xF000));
    QTest::newRow("magnitude") << 276 << 0x0B0A;
    QTest::newRow("directionX") << 277 << 0x0706;
    QTest::newRow("directionY") << 278 << 0x0908;
    QTest::newRow("phase") << 279 << 0x0D0C;
    QTest::newRow("period_ms") << 280 << 0x1110;
    QTest::newRow("duration") << 281 << 0x1312;
    QTest::newRow("loop_count") << 282 << 0x14;
    QTest::newRow("offset") << 283 << 0x0F0E;
    QTest::newRow("enabled") << 259 << 1;
    QTest::newRow("override") << 260 << 1;
    QTest::newRow("type") << 261 << 9;
    QTest::newRow("effectId") << 262 << 42;
}

void TestEffectListModel::rolesReadTheirBytes()
{
    QFETCH(int, role);
    QFETCH(int, expected);
    QByteArray r(30, '\0');
    r[0] = 4;
    r[1] = 42;
    r[2] = 9;
    r[3] = char(0x00);
    r[4] = char(0xF0);
    r[5] = 3;
    for (int i = 6; i < 30; ++i)
        r[i] = char(i);
    r[29] = char(0x9D);
    EffectListModel m;
    QVERIFY(m.updateEffect(r));
    QCOMPARE(m.data(m.index(0), role).toInt(), expected);
    QVERIFY(!m.data(m.index(0), Qt::UserRole + 100).isValid());
}

void TestEffectListModel::insertUpdateUnchanged()
{
    EffectListModel m;
    QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy changed(&m, &QAbstractItemModel::dataChanged);
    QSignalSpy inserted(&m, &QAbstractItemModel::rowsInserted);
    QVERIFY(m.updateEffect(report(3, 4)));
    QCOMPARE(m.rowCount(), 1);
    QCOMPARE(inserted.count(), 1);
    QVERIFY(m.updateEffect(report(3, 4)));
    QCOMPARE(changed.count(), 0);
    QTest::ignoreMessage(QtDebugMsg, "update effect id 3 0");
    QVERIFY(m.updateEffect(report(3, 4, false)));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(m.rowCount(), 1);
    QCOMPARE(m.data(m.index(0), EffectListModel::EnabledRole).toInt(), 0);
}

void TestEffectListModel::rowsInAscendingIdOrder()
{
    EffectListModel m;
    QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (int id : {7, 2, 5})
        QVERIFY(m.updateEffect(report(id, 1)));
    QCOMPARE(ids(m), (QList<int> {2, 5, 7}));
    // An update lands on the row of its id.
    QSignalSpy changed(&m, &QAbstractItemModel::dataChanged);
    QByteArray r = report(5, 1);
    r[12] = 9;
    QVERIFY(m.updateEffect(r));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).value<QModelIndex>().row(), 1);
}

void TestEffectListModel::springCentre_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("centreSignals");
    QTest::newRow("enabled spring") << 8 << true << 2;
    QTest::newRow("disabled spring") << 8 << false << 0;
    QTest::newRow("enabled damper") << 9 << true << 0;
    QTest::newRow("enabled sine") << 4 << true << 0;
}

void TestEffectListModel::springCentre()
{
    QFETCH(int, type);
    QFETCH(bool, enabled);
    QFETCH(int, centreSignals);
    EffectListModel m;
    QSignalSpy centre(&m, &EffectListModel::centerPositionChanged);
    // The same report twice: the second changes nothing but still reports the centre.
    QVERIFY(m.updateEffect(report(1, type, enabled, -300, 1200)));
    QVERIFY(m.updateEffect(report(1, type, enabled, -300, 1200)));
    QCOMPARE(centre.count(), centreSignals);
    if (centreSignals) {
        QCOMPARE(centre.at(1).at(0).toInt(), -300);
        QCOMPARE(centre.at(1).at(1).toInt(), 1200);
    }
}

void TestEffectListModel::typeNames_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("name");
    QTest::newRow("0") << 0 << "Invalid";
    QTest::newRow("1") << 1 << "Constant";
    QTest::newRow("4") << 4 << "Sine";
    QTest::newRow("7") << 7 << "SawtoothDown";
    QTest::newRow("8") << 8 << "Spring";
    QTest::newRow("13") << 13 << "External";
    QTest::newRow("14 has no name") << 14 << "Invalid";
    QTest::newRow("255 has no name") << 255 << "Invalid";
}

void TestEffectListModel::typeNames()
{
    QFETCH(int, type);
    QFETCH(QString, name);
    EffectListModel m;
    QVERIFY(m.updateEffect(report(1, type)));
    QCOMPARE(m.data(m.index(0), EffectListModel::EffectNameRole).toString(), name);
}

void TestEffectListModel::shortReportsRefused_data()
{
    QTest::addColumn<int>("length");
    for (int n = 0; n < EffectListModel::kReportSize; ++n)
        QTest::addRow("%d bytes", n) << n;
}

void TestEffectListModel::shortReportsRefused()
{
    QFETCH(int, length);
    EffectListModel m;
    QSignalSpy centre(&m, &EffectListModel::centerPositionChanged);
    const QByteArray full = report(1, 8);
    std::unique_ptr<uint8_t[]> exact(new uint8_t[size_t(qMax(length, 1))]);
    std::memcpy(exact.get(), full.constData(), size_t(length));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("effect report of .* refused"));
    QVERIFY(!m.updateEffect(exact.get(), length));
    QCOMPARE(m.rowCount(), 0);
    QCOMPARE(centre.count(), 0);
}

void TestEffectListModel::expiryOneEffectPerTick()
{
    EffectListModel m;
    QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (int id : {4, 1, 9})
        QVERIFY(m.updateEffect(report(id, 1)));
    QCOMPARE(m.expireOne(), -1); // all fresh
    QTest::qWait(EffectListModel::kExpiryMs + 50);
    // Kept alive by a new report.
    QVERIFY(m.updateEffect(report(9, 1)));
    QCOMPARE(m.expireOne(), 1);
    QCOMPARE(ids(m), (QList<int> {4, 9}));

    // On the timer: the stale one goes at the next tick, one per tick.
    QSignalSpy removed(&m, &QAbstractItemModel::rowsRemoved);
    m.startExpiryTimer();
    QTRY_COMPARE_WITH_TIMEOUT(removed.count(), 1, 2000);
    QCOMPARE(ids(m), QList<int> {9});
    QTRY_COMPARE_WITH_TIMEOUT(removed.count(), 2, 3000);
    QCOMPARE(m.rowCount(), 0);
}

QTEST_MAIN(TestEffectListModel)
#include "tst_effectlistmodel.moc"
