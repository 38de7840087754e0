// Where a change came from, and the "unsent changes" state judged by comparing values: edits
// raise it, undoing an edit clears it, a reported active configuration clears it once, a stored
// configuration or a file that differs from what the base runs raises it once.

#include "configfile.h"
#include "configimage.h"
#include "configparameters.h"
#include "deviceconfig.h"
#include "unsentchanges.h"

#include <QSignalSpy>
#include <QtTest>

#include <cstring>

namespace {

// An image with several fields changed from the record's initial values.
QByteArray changedImage(DeviceConfig &scratch)
{
    scratch.set_master_gain(40);
    scratch.set_swap_xy(1);
    scratch.set_grip_type(6);
    scratch.set_usb_pid(0x2052);
    scratch.set_hires_mode_enable(1);
    scratch.set_config_name(DeviceName::fromString(QStringLiteral("Evening")));
    return buildConfigImage(scratch);
}

} // namespace

class TestUnsentChanges : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { registerConfigMetaTypes(); }

    void changesCarryTheirOrigin();
    void editAndUndoByValue();
    void activeImageJudgedOnce_data();
    void activeImageJudgedOnce();
    void storedImageThatDiffersIsUnsent();
    void importedFileJudgedOnce();
    void markInSyncClears();
    void nameDecodesLatin1WhenNotUtf8();
};

void TestUnsentChanges::changesCarryTheirOrigin()
{
    DeviceConfig config;
    QSignalSpy changed(&config, &BaseConfig::parameterChanged);
    QSignalSpy finished(&config, &BaseConfig::changesFinished);
    config.set_master_gain(5);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toInt(), findConfigParameter("master_gain")->index);
    QCOMPARE(changed.at(0).at(1).value<BaseConfig::ChangeOrigin>(), BaseConfig::ChangeOrigin::User);
    QCOMPARE(finished.count(), 0);

    DeviceConfig scratch;
    const QByteArray image = changedImage(scratch);
    changed.clear();
    {
        const BaseConfig::OriginScope scope(config, BaseConfig::ChangeOrigin::ActiveConfig);
        QVERIFY(config.isInBatch());
        QCOMPARE(applyConfigImage(config, image), ImageCheck::Ok);
        // Nested scopes keep the outer origin.
        const BaseConfig::OriginScope inner(config, BaseConfig::ChangeOrigin::File);
        config.set_swap_xy(0);
    }
    QVERIFY(!config.isInBatch());
    QCOMPARE(config.changeOrigin(), BaseConfig::ChangeOrigin::User);
    QVERIFY(changed.count() >= 6);
    for (const QList<QVariant> &args : qAsConst(changed))
        QCOMPARE(
            args.at(1).value<BaseConfig::ChangeOrigin>(), BaseConfig::ChangeOrigin::ActiveConfig);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).value<BaseConfig::ChangeOrigin>(),
        BaseConfig::ChangeOrigin::ActiveConfig);
    QCOMPARE(finished.at(0).at(1).toInt(), changed.count());
}

void TestUnsentChanges::editAndUndoByValue()
{
    DeviceConfig config;
    UnsentChanges unsent(&config);
    QSignalSpy spy(&unsent, &UnsentChanges::unsentChangesChanged);
    QVERIFY(!unsent.hasUnsentChanges());
    config.set_hires_mode_scale(127);
    QVERIFY(unsent.hasUnsentChanges());
    config.set_frictionP(3);
    config.set_hires_mode_scale(0);
    QVERIFY(unsent.hasUnsentChanges());
    config.set_frictionP(0);
    // Back at the values the base has: nothing to send.
    QVERIFY(!unsent.hasUnsentChanges());
    QCOMPARE(spy.count(), 2);
}

void TestUnsentChanges::activeImageJudgedOnce_data()
{
    QTest::addColumn<bool>("editedBefore");
    QTest::newRow("clean record") << false;
    QTest::newRow("edited record") << true;
}

void TestUnsentChanges::activeImageJudgedOnce()
{
    QFETCH(bool, editedBefore);
    DeviceConfig config;
    UnsentChanges unsent(&config);
    if (editedBefore)
        config.set_max_drive_current(9);
    QCOMPARE(unsent.hasUnsentChanges(), editedBefore);
    QSignalSpy spy(&unsent, &UnsentChanges::unsentChangesChanged);

    DeviceConfig scratch;
    const QByteArray image = changedImage(scratch);
    {
        const BaseConfig::OriginScope scope(config, BaseConfig::ChangeOrigin::ActiveConfig);
        QCOMPARE(applyConfigImage(config, image), ImageCheck::Ok);
    }
    // The base runs what the record now holds; the state moved at most once (from raised to
    // clear), never once per parameter.
    QVERIFY(!unsent.hasUnsentChanges());
    QCOMPARE(spy.count(), editedBefore ? 1 : 0);

    // The same image again: no change, no signal.
    {
        const BaseConfig::OriginScope scope(config, BaseConfig::ChangeOrigin::ActiveConfig);
        QCOMPARE(applyConfigImage(config, image), ImageCheck::Ok);
    }
    QCOMPARE(spy.count(), editedBefore ? 1 : 0);
}

void TestUnsentChanges::storedImageThatDiffersIsUnsent()
{
    DeviceConfig config;
    UnsentChanges unsent(&config);
    QSignalSpy spy(&unsent, &UnsentChanges::unsentChangesChanged);
    DeviceConfig scratch;
    const QByteArray stored = changedImage(scratch);
    {
        const BaseConfig::OriginScope scope(config, BaseConfig::ChangeOrigin::StoredConfig);
        QCOMPARE(applyConfigImage(config, stored), ImageCheck::Ok);
    }
    // The window shows the stored values while the base runs others.
    QVERIFY(unsent.hasUnsentChanges());
    QCOMPARE(spy.count(), 1);
}

void TestUnsentChanges::importedFileJudgedOnce()
{
    DeviceConfig config;
    UnsentChanges unsent(&config);
    QSignalSpy spy(&unsent, &UnsentChanges::unsentChangesChanged);
    QSignalSpy finished(&config, &BaseConfig::changesFinished);
    const QByteArray file = R"({"config": {"master_gain": 12, "swap_xy": 1, "frictionI": 300}})";
    QVERIFY(importConfigData(config, file));
    QVERIFY(unsent.hasUnsentChanges());
    QCOMPARE(spy.count(), 1);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(
        finished.at(0).at(0).value<BaseConfig::ChangeOrigin>(), BaseConfig::ChangeOrigin::File);
    QCOMPARE(finished.at(0).at(1).toInt(), 3);
}

void TestUnsentChanges::markInSyncClears()
{
    DeviceConfig config;
    UnsentChanges unsent(&config);
    config.set_trim_rate(40);
    QVERIFY(unsent.hasUnsentChanges());
    unsent.markInSync();
    QVERIFY(!unsent.hasUnsentChanges());
    // The new reference is what was sent: going back to the old value is a change now.
    config.set_trim_rate(0);
    QVERIFY(unsent.hasUnsentChanges());
}

void TestUnsentChanges::nameDecodesLatin1WhenNotUtf8()
{
    DeviceName latin1;
    const char bytes[] = "Caf\xe9 r\xf6hre";
    std::memcpy(latin1.text, bytes, sizeof bytes - 1);
    QVERIFY(!latin1.isUtf8());
    QCOMPARE(latin1.toString(), QString::fromLatin1(bytes));

    const DeviceName utf8 = DeviceName::fromString(QStringLiteral("Caf\u00e9"));
    QVERIFY(utf8.isUtf8());
    QCOMPARE(utf8.toString(), QStringLiteral("Caf\u00e9"));
    QCOMPARE(utf8.bytes(), QByteArray("Caf\xc3\xa9"));

    // Typed names are cut at 20 bytes, never inside a character.
    const DeviceName cut = DeviceName::fromString(QString(11, QChar(0x00e9)));
    QCOMPARE(cut.length(), 20);
    QCOMPARE(cut.toString(), QString(10, QChar(0x00e9)));

    // Overlong forms and lone continuation bytes are not UTF-8.
    DeviceName overlong;
    std::memcpy(overlong.text, "\xc0\xafx", 3);
    QVERIFY(!overlong.isUtf8());
    DeviceName lone;
    std::memcpy(lone.text, "a\x80", 2);
    QVERIFY(!lone.isUtf8());
}

QTEST_GUILESS_MAIN(TestUnsentChanges)
#include "tst_unsentchanges.moc"
