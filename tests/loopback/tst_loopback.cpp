// End to end: virtual joysticks of the joystick library in, hidapi's hidraw backend out to a
// umockdev hidraw device, the real window in between.
#include "mockbase.h"
#include "virtualstick.h"

#include "loopbacklibraries.h"
#include "mainwindow.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

static QByteArray bytes(const char *hexText)
{
    return QByteArray::fromHex(hexText);
}

static const QByteArray kNeutral = bytes("40 00 00 00 00 00 00 00 00 FF FF");

class TestLoopback : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void buttonZeroPressAndRelease();
    void hats_data();
    void hats();
    void hatsFromAnyJoystick();
    void otherJoystickButtonsIgnored();
    void removedJoystickReleasesButtons();
    void indicatorRows();
    void buttonsBeyond64Ignored();
    void outputListOffersOnlyBases();
    void restartReselectsSavedDevices();
    void windowGoesWhileEventsArrive();
    void lostBaseIsReopened_data();
    void lostBaseIsReopened();

private:
    // Waits for the window to list the stick, then picks it as a user would.
    void chooseJoystick(const VirtualStick &stick);
    void chooseOutput(const QString &serial);
    std::unique_ptr<MainWindow> makeWindow();

    UMockdevTestbed *m_testbed = nullptr;
    std::unique_ptr<LoopbackLibraries> m_libraries;
    std::unique_ptr<MockHidDevice> m_base;
    std::unique_ptr<MockHidDevice> m_secondBase;
    std::unique_ptr<MockHidDevice> m_otherDevice;
    std::unique_ptr<MainWindow> m_window;
    QString m_baseLabel;
};

void TestLoopback::initTestCase()
{
    m_testbed = umockdev_testbed_new();
    QVERIFY(umockdev_in_mock_environment());
    m_base = std::make_unique<MockHidDevice>(
        m_testbed, 0, QStringLiteral("Brontel FFB Base"), QStringLiteral("TB0001"));
    m_otherDevice = std::make_unique<MockHidDevice>(
        m_testbed, 1, QStringLiteral("Other Gamepad"), QStringLiteral("OG0001"), 0x3000);
    m_secondBase = std::make_unique<MockHidDevice>(
        m_testbed, 2, QStringLiteral("Brontel FFB Pro"), QStringLiteral("TB0002"), 0x2001);
    m_libraries = std::make_unique<LoopbackLibraries>();
    QVERIFY(m_libraries->joysticksAvailable());
    QVERIFY(m_libraries->hidAvailable());
}

void TestLoopback::cleanupTestCase()
{
    m_window.reset();
    m_libraries.reset();
    m_base.reset();
    m_secondBase.reset();
    m_otherDevice.reset();
    g_clear_object(&m_testbed);
}

void TestLoopback::init()
{
    QSettings().clear();
    // Start each test from an empty event queue, so no earlier test's events arrive late.
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    m_base->drain();
    m_secondBase->drain();
}

void TestLoopback::cleanup()
{
    m_window.reset();
}

std::unique_ptr<MainWindow> TestLoopback::makeWindow()
{
    auto window = std::make_unique<MainWindow>();
    window->show();
    return window;
}

void TestLoopback::chooseJoystick(const VirtualStick &stick)
{
    auto *combo = m_window->findChild<QComboBox *>(QStringLiteral("cb_source"));
    QVERIFY(combo);
    QTRY_VERIFY(combo->findText(stick.name()) >= 0);
    const int row = combo->findText(stick.name());
    combo->setCurrentIndex(row);
    Q_EMIT combo->activated(row);
    QCOMPARE(m_window->openJoystickInstance(), stick.instanceId());
}

void TestLoopback::chooseOutput(const QString &serial)
{
    auto *combo = m_window->findChild<QComboBox *>(QStringLiteral("cb_dest"));
    QVERIFY(combo);
    int row = -1;
    for (int i = 0; i < combo->count(); ++i) {
        if (combo->itemText(i).endsWith(QStringLiteral("Serial:") + serial))
            row = i;
    }
    QVERIFY(row >= 0);
    combo->setCurrentIndex(row);
    Q_EMIT combo->activated(row);
    QVERIFY(m_window->isOutputOpen());
    QCOMPARE(m_window->outputSerial(), serial);
}

void TestLoopback::buttonZeroPressAndRelease()
{
    VirtualStick stick(QStringLiteral("Test Stick"), 12, 1);
    QVERIFY(stick.isValid());
    m_window = makeWindow();
    chooseJoystick(stick);
    chooseOutput(m_base->serial());
    // A newly opened base is told the current state.
    QCOMPARE(m_base->takeReport(), kNeutral);

    stick.setButton(0, true);
    QCOMPARE(m_base->takeReport(), bytes("40 01 00 00 00 00 00 00 00 FF FF"));
    QVERIFY(m_window->buttonIndicators().at(0)->isChecked());
    stick.setButton(0, false);
    QCOMPARE(m_base->takeReport(), kNeutral);
    QVERIFY(!m_window->buttonIndicators().at(0)->isChecked());

    // Little-endian: button 9 is bit 1 of the second byte.
    stick.setButton(9, true);
    QCOMPARE(m_base->takeReport(), bytes("40 00 02 00 00 00 00 00 00 FF FF"));
    // Bytes that a terminal would translate (0x0A) go through unchanged.
    stick.setButton(1, true);
    QCOMPARE(m_base->takeReport(), bytes("40 02 02 00 00 00 00 00 00 FF FF"));
    stick.setButton(3, true);
    QCOMPARE(m_base->takeReport(), bytes("40 0A 02 00 00 00 00 00 00 FF FF"));

    // Ending the program leaves nothing pressed on the base.
    m_window.reset();
    QCOMPARE(m_base->takeReport(), kNeutral);
}

void TestLoopback::hats_data()
{
    QTest::addColumn<int>("hat");
    QTest::addColumn<int>("value");
    QTest::addColumn<QByteArray>("tail");
    QTest::newRow("hat 1 up-right") << 0 << int(SDL_HAT_RIGHTUP) << bytes("F1 FF");
    QTest::newRow("hat 2 down") << 1 << int(SDL_HAT_DOWN) << bytes("4F FF");
    QTest::newRow("hat 3 down-left") << 2 << int(SDL_HAT_LEFTDOWN) << bytes("FF F5");
    QTest::newRow("hat 4 left") << 3 << int(SDL_HAT_LEFT) << bytes("FF 6F");
    QTest::newRow("hat 4 up-left") << 3 << int(SDL_HAT_LEFTUP) << bytes("FF 7F");
}

void TestLoopback::hats()
{
    QFETCH(int, hat);
    QFETCH(int, value);
    QFETCH(QByteArray, tail);
    VirtualStick stick(QStringLiteral("Hat Stick"), 4, 4);
    QVERIFY(stick.isValid());
    QSettings().setValue(QStringLiteral("savedInput"), MainWindow::guidText(stick.guid()));
    QSettings().setValue(QStringLiteral("savedOutput"), m_base->serial());
    m_window = makeWindow();
    QCOMPARE(m_base->takeReport(), kNeutral);

    stick.setHat(hat, uint8_t(value));
    QCOMPARE(m_base->takeReport(), bytes("40 00 00 00 00 00 00 00 00") + tail);
    stick.setHat(hat, SDL_HAT_CENTERED);
    QCOMPARE(m_base->takeReport(), kNeutral);
}

void TestLoopback::hatsFromAnyJoystick()
{
    VirtualStick chosen(QStringLiteral("Chosen Stick"), 4, 1);
    VirtualStick other(QStringLiteral("Other Stick"), 4, 2, 0x1002);
    m_window = makeWindow();
    chooseJoystick(chosen);
    chooseOutput(m_base->serial());
    QCOMPARE(m_base->takeReport(), kNeutral);
    other.setHat(1, SDL_HAT_UP);
    QCOMPARE(m_base->takeReport(), bytes("40 00 00 00 00 00 00 00 00 0F FF"));
}

void TestLoopback::otherJoystickButtonsIgnored()
{
    VirtualStick chosen(QStringLiteral("Chosen Stick"), 4, 0);
    VirtualStick other(QStringLiteral("Other Stick"), 4, 0, 0x1002);
    m_window = makeWindow();
    chooseJoystick(chosen);
    chooseOutput(m_base->serial());
    QCOMPARE(m_base->takeReport(), kNeutral);

    other.setButton(0, true);
    other.setButton(3, true);
    chosen.setButton(1, true);
    // Events are handled in order: had the other stick's presses been sent, they would come
    // before the release below.
    QCOMPARE(m_base->takeReport(), bytes("40 02 00 00 00 00 00 00 00 FF FF"));
    chosen.setButton(1, false);
    QCOMPARE(m_base->takeReport(), kNeutral);
    QCOMPARE(m_window->buttonState(), uint64_t(0));
}

void TestLoopback::removedJoystickReleasesButtons()
{
    auto stick = std::make_unique<VirtualStick>(QStringLiteral("Unplugged Stick"), 8, 1);
    m_window = makeWindow();
    chooseJoystick(*stick);
    chooseOutput(m_base->serial());
    QCOMPARE(m_base->takeReport(), kNeutral);
    stick->setButton(0, true);
    QCOMPARE(m_base->takeReport(), bytes("40 01 00 00 00 00 00 00 00 FF FF"));
    stick->setButton(2, true);
    QCOMPARE(m_base->takeReport(), bytes("40 05 00 00 00 00 00 00 00 FF FF"));
    stick->setHat(0, SDL_HAT_UP);
    QCOMPARE(m_base->takeReport(), bytes("40 05 00 00 00 00 00 00 00 F0 FF"));

    stick->detach();
    // Everything it held ends up released (the library may release button by button first).
    QByteArray report;
    for (int i = 0; i < 5 && report != kNeutral; ++i) {
        report = m_base->takeReport();
        QVERIFY(!report.isEmpty());
    }
    QCOMPARE(report, kNeutral);
    QTRY_VERIFY(!m_window->isJoystickOpen());
    QVERIFY(m_window->buttonIndicators().isEmpty());
    auto *combo = m_window->findChild<QComboBox *>(QStringLiteral("cb_source"));
    QTRY_COMPARE(combo->findText(QStringLiteral("Unplugged Stick")), -1);
}

void TestLoopback::indicatorRows()
{
    VirtualStick stick(QStringLiteral("Twenty Buttons"), 20, 0);
    m_window = makeWindow();
    chooseJoystick(stick);
    const QList<QPushButton *> &indicators = m_window->buttonIndicators();
    QCOMPARE(indicators.size(), 20);
    auto *grid = m_window->findChild<QGridLayout *>(QStringLiteral("button_status"));
    QVERIFY(grid);
    for (int i = 0; i < indicators.size(); ++i) {
        QPushButton *indicator = indicators.at(i);
        QCOMPARE(indicator->text(), QString::number(i + 1));
        QVERIFY(indicator->isCheckable());
        QVERIFY(!indicator->isEnabled());
        QCOMPARE(indicator->toolTip(), QStringLiteral("Raw button data"));
        int row, column, rowSpan, columnSpan;
        grid->getItemPosition(grid->indexOf(indicator), &row, &column, &rowSpan, &columnSpan);
        QCOMPARE(row, i / 16);
        QCOMPARE(column, i % 16 + 2);
    }
    stick.setButton(17, true);
    QTRY_VERIFY(indicators.at(17)->isChecked());
    QVERIFY(indicators.at(17)->isEnabled());
    QVERIFY(!indicators.at(16)->isChecked());
}

void TestLoopback::buttonsBeyond64Ignored()
{
    VirtualStick stick(QStringLiteral("Many Buttons"), 70, 0);
    m_window = makeWindow();
    chooseJoystick(stick);
    chooseOutput(m_base->serial());
    QCOMPARE(m_base->takeReport(), kNeutral);
    QCOMPARE(m_window->buttonIndicators().size(), 64);

    stick.setButton(64, true);
    stick.setButton(69, true);
    stick.setButton(63, true);
    // Buttons 64 and up have no bit in the report; the first report is button 63 alone.
    QCOMPARE(m_base->takeReport(), bytes("40 00 00 00 00 00 00 00 80 FF FF"));
    stick.setButton(63, false);
    QCOMPARE(m_base->takeReport(), kNeutral);
    QCOMPARE(m_window->buttonState(), uint64_t(0));
}

void TestLoopback::outputListOffersOnlyBases()
{
    m_window = makeWindow();
    auto *combo = m_window->findChild<QComboBox *>(QStringLiteral("cb_dest"));
    QVERIFY(combo);
    QCOMPARE(combo->count(), 2);
    QCOMPARE(combo->itemText(0), QStringLiteral("[FFFF:2055] Brontel FFB Base\nSerial:TB0001"));
    QCOMPARE(combo->itemText(1), QStringLiteral("[FFFF:2001] Brontel FFB Pro\nSerial:TB0002"));
    QCOMPARE(combo->itemData(1, Qt::UserRole), QVariant(1));
    // Nothing saved: nothing is opened.
    QCOMPARE(combo->currentIndex(), -1);
    QVERIFY(!m_window->isOutputOpen());
    chooseOutput(QStringLiteral("TB0002"));
    QCOMPARE(combo->toolTip(), combo->itemText(1));
}

void TestLoopback::restartReselectsSavedDevices()
{
    VirtualStick first(QStringLiteral("First Stick"), 4, 0);
    VirtualStick second(QStringLiteral("Second Stick"), 4, 0, 0x1002);
    m_window = makeWindow();
    chooseJoystick(second);
    chooseOutput(m_secondBase->serial());
    m_window.reset();
    QCOMPARE(QSettings().value(QStringLiteral("savedInput")).toString(),
        MainWindow::guidText(second.guid()));
    QCOMPARE(QSettings().value(QStringLiteral("savedOutput")).toString(), m_secondBase->serial());
    m_secondBase->drain();

    // The next start picks both again without any user action.
    m_window = makeWindow();
    QCOMPARE(m_window->openJoystickInstance(), second.instanceId());
    QVERIFY(m_window->isOutputOpen());
    QCOMPARE(m_window->outputSerial(), m_secondBase->serial());
    auto *source = m_window->findChild<QComboBox *>(QStringLiteral("cb_source"));
    auto *dest = m_window->findChild<QComboBox *>(QStringLiteral("cb_dest"));
    QCOMPARE(source->currentText(), QStringLiteral("Second Stick"));
    QVERIFY(dest->currentText().endsWith(QStringLiteral("Serial:TB0002")));
    QCOMPARE(m_secondBase->takeReport(), kNeutral);
    second.setButton(3, true);
    QCOMPARE(m_secondBase->takeReport(), bytes("40 08 00 00 00 00 00 00 00 FF FF"));
}

void TestLoopback::windowGoesWhileEventsArrive()
{
    // The event thread is stopped and joined before the window goes; events it had already
    // queued die with the window (the sanitizer build would catch a late delivery).
    VirtualStick stick(QStringLiteral("Busy Stick"), 4, 1);
    QSettings().setValue(QStringLiteral("savedInput"), MainWindow::guidText(stick.guid()));
    for (int round = 0; round < 10; ++round) {
        m_window = makeWindow();
        QVERIFY(m_window->isJoystickOpen());
        for (int i = 0; i < 5; ++i) {
            stick.setHat(0, i % 2 ? SDL_HAT_UP : SDL_HAT_CENTERED);
            stick.setButton(1, i % 2);
            QTest::qWait(2);
        }
        m_window.reset();
    }
    QCoreApplication::processEvents();
}

void TestLoopback::lostBaseIsReopened_data()
{
    QTest::addColumn<bool>("byRefresh");
    QTest::addColumn<int>("node");
    QTest::newRow("noticed by a failed write") << false << 3;
    QTest::newRow("noticed by a refresh") << true << 5;
}

void TestLoopback::lostBaseIsReopened()
{
    QFETCH(bool, byRefresh);
    QFETCH(int, node);
    auto base = std::make_unique<MockHidDevice>(
        m_testbed, node, QStringLiteral("Brontel FFB Base"), QStringLiteral("TB0009"));
    VirtualStick stick(QStringLiteral("Replug Stick"), 4, 0);
    m_window = makeWindow();
    chooseJoystick(stick);
    chooseOutput(base->serial());
    QCOMPARE(base->takeReport(), kNeutral);

    base->unplug();
    if (byRefresh) {
        m_window->findChild<QPushButton *>(QStringLiteral("pushButton"))->click();
        QVERIFY(!m_window->isOutputOpen());
    }
    stick.setButton(0, true);
    QTRY_VERIFY(!m_window->isOutputOpen());
    QTRY_COMPARE(m_window->buttonState(), uint64_t(1));

    // Back with the same serial number, under another node.
    auto again = std::make_unique<MockHidDevice>(
        m_testbed, node + 1, QStringLiteral("Brontel FFB Base"), QStringLiteral("TB0009"));
    // Reopened by itself, and told the state it missed.
    QCOMPARE(again->takeReport(11, 10000), bytes("40 01 00 00 00 00 00 00 00 FF FF"));
    QVERIFY(m_window->isOutputOpen());
    stick.setButton(0, false);
    QCOMPARE(again->takeReport(), kNeutral);
    m_window.reset();
}

int main(int argc, char **argv)
{
    // Settings go to a private place, never to the user's.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    qputenv("SDL_VIDEODRIVER", "dummy");
    qputenv("SDL_AUDIODRIVER", "dummy");
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tavik"));
    QApplication::setApplicationName(QStringLiteral("BrontelLoopback"));
    TestLoopback test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_loopback.moc"
