// The Button Mapping tab in the real window: 48 tiles bound both ways to the record's button
// map and masks (a received map only shows), the tiles following telemetry from the simulated
// base and from telemetry messages, Reset Mapping, and the .tavmap export and import through
// the real dialogs, every import case as a row.

#include "btnmapwidget.h"
#include "buttonmappingtab.h"
#include "configimage.h"
#include "configuratorresources.h"
#include "datapacket.h"
#include "deviceconfig.h"
#include "effectlistmodel.h"
#include "flowlayout.h"
#include "imagefields.h"
#include "mainwindow.h"
#include "modalanswerer.h"
#include "simulatedbase.h"
#include "tavikcomm.h"
#include "telemetrydriver.h"

#include <QFileDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using testsupport::TelemetryDriver;

namespace {

struct Rig
{
    DataPacket data;
    DeviceConfig config;
    EffectListModel effects;
    TavikComm comm {&config, &data, &effects};
    SimulatedBase sim;
    std::unique_ptr<MainWindow> window;
    ButtonMappingTab *tab = nullptr;
    int configsReceived = 0;

    Rig()
    {
        QObject::connect(&comm, &TavikComm::configReceived, [this] { ++configsReceived; });
        sim.setSeed(7);
        sim.setTelemetryRate(50);
        window = std::make_unique<MainWindow>(&config, &comm, &data, &effects);
        tab = window->findChild<ButtonMappingTab *>();
        window->findChild<QTabWidget *>(QStringLiteral("tabWidget"))
            ->setCurrentWidget(window->findChild<QWidget *>(QStringLiteral("tab_mapping")));
        window->show();
        QApplication::setActiveWindow(window.get());
    }

    bool connect()
    {
        QString slave;
        if (!sim.open(&slave))
            return false;
        comm.setPortOverride(slave);
        comm.start();
        return QTest::qWaitFor([this] { return comm.isConnected(); }, 5000)
            && QTest::qWaitFor([this] { return configsReceived > 0; }, 5000);
    }

    BtnMapWidget *tile(int n) const { return tab->tile(n); }
    QLineEdit *field(int n) const
    {
        return tile(n)->findChild<QLineEdit *>(QStringLiteral("line_btnid"));
    }
    QPushButton *button(int n, const char *name) const
    {
        return tile(n)->findChild<QPushButton *>(QLatin1String(name));
    }
    QPushButton *find(const char *name) const
    {
        return window->findChild<QPushButton *>(QLatin1String(name));
    }
    QString message() const { return window->statusBar()->currentMessage(); }
};

void chooseFile(QFileDialog *dialog, const QString &file)
{
    if (QWidget *focus = dialog->focusWidget())
        focus->clearFocus();
    dialog->selectFile(file);
}

bool writeText(const QString &path, const QByteArray &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

ButtonMapping identity()
{
    ButtonMapping m;
    for (int i = 0; i < ButtonMapping::kSize; ++i)
        m.map[i] = uint8_t(i + 1);
    return m;
}

} // namespace

class TestButtonMappingTab : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void tilesFillTheGroupBox();
    void receivedMapShowsWithoutWritingBack();
    void tileEditsWriteTheRecord();
    void recordChangesShowInTheTiles();
    void resetMappingRestoresIdentity();
    void focusedTileBindsPressedButton();
    void tileLightsWhileLogicalPressed();
    void tileFollowsTheBasesLogicalButton();
    void exportImportRoundTrip();
    void importCases_data();
    void importCases();
    void failedExportIsReported();
    void cancelledDialogsChangeNothing();

private:
    std::unique_ptr<ModalAnswerer> answerer;
    QTemporaryDir settingsHome;
};

void TestButtonMappingTab::initTestCase()
{
    QVERIFY(settingsHome.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(settingsHome.path()));
    QCoreApplication::setOrganizationName(QStringLiteral("Tavik"));
    QCoreApplication::setApplicationName(QStringLiteral("BrontelFFB-test"));
    registerConfigMetaTypes();
    initConfiguratorResources();
}

void TestButtonMappingTab::init()
{
    QSettings().clear();
    answerer = std::make_unique<ModalAnswerer>();
}

void TestButtonMappingTab::cleanup()
{
    QVERIFY2(answerer->unexpected().isEmpty(), qPrintable(answerer->unexpected().join("; ")));
    QCOMPARE(answerer->pending(), 0);
    answerer.reset();
}

void TestButtonMappingTab::tilesFillTheGroupBox()
{
    Rig rig;
    QVERIFY(rig.tab);
    auto *box = rig.window->findChild<QGroupBox *>(QStringLiteral("gb_btn_map"));
    auto *tiles = box->findChild<QWidget *>(QStringLiteral("btn_map_tiles"));
    QVERIFY(tiles);
    QVERIFY(dynamic_cast<FlowLayout *>(tiles->layout()));
    QCOMPARE(tiles->layout()->count(), 48);
    QCOMPARE(rig.tab->buttonWidgets().size(), 48);
    for (int n = 1; n <= 48; ++n) {
        BtnMapWidget *t = rig.tile(n);
        QVERIFY(t);
        QCOMPARE(rig.tab->buttonWidgets().value(n), t);
        QCOMPARE(tiles->layout()->itemAt(n - 1)->widget(), t);
        QCOMPARE(t->logicalId(), n);
        QCOMPARE(t->physicalButton(), unsigned(n));
        QVERIFY(!t->isInvert());
        QVERIFY(!t->isToggle());
    }
    for (int n : {-1, 0, 49, 64, 1000})
        QCOMPARE(rig.tab->tile(n), nullptr);
    // Building the tiles wrote nothing.
    QCOMPARE(rig.config.button_mapping(), ButtonMapping());
    QVERIFY(!rig.config.parametersModified());
    QVERIFY(!rig.window->hasUnappliedChanges());
    for (const char *name : {"b_import_mapping", "b_export_mapping", "b_reset_mapping"})
        QVERIFY2(rig.find(name), name);
}

void TestButtonMappingTab::receivedMapShowsWithoutWritingBack()
{
    Rig rig;
    // Every byte a map entry can hold, hat codes included, and both masks past bit 31.
    QByteArray map(48, '\0');
    const uint8_t values[] = {0, 1, 64, 65, 100, 101, 128, 146, 190, 191, 200, 255};
    for (int i = 0; i < 48; ++i)
        map[i] = char(values[i % 12]);
    const uint64_t inverted = (uint64_t(1) << 47) | (uint64_t(1) << 33) | 1u;
    const uint64_t toggled = (uint64_t(1) << 40) | 0x6u;
    QByteArray image = rig.sim.model().activeImage();
    QVERIFY(ImageFields::writeBytes(image, "button_mapping", map));
    QVERIFY(ImageFields::write(image, "button_inv_mask", qint64(inverted)));
    QVERIFY(ImageFields::write(image, "button_tgl_mask", qint64(toggled)));
    QVERIFY(rig.sim.model().applyImage(image));
    const QByteArray sent = rig.sim.model().activeImage();

    QSignalSpy mapChanges(&rig.config, &DeviceConfig::button_mappingChanged);
    QSignalSpy invChanges(&rig.config, &DeviceConfig::button_inv_maskChanged);
    QVERIFY(rig.connect());
    QTest::qWait(100);
    for (int n = 1; n <= 48; ++n) {
        QCOMPARE(rig.tile(n)->physicalButton(), unsigned(values[(n - 1) % 12]));
        QCOMPARE(rig.field(n)->text(), QString::number(values[(n - 1) % 12]));
        QCOMPARE(rig.tile(n)->isInvert(), bool((inverted >> (n - 1)) & 1u));
        QCOMPARE(rig.tile(n)->isToggle(), bool((toggled >> (n - 1)) & 1u));
    }
    // One change each, from the image; nothing written back.
    QCOMPARE(mapChanges.count(), 1);
    QCOMPARE(invChanges.count(), 1);
    QVERIFY(!rig.config.parametersModified());
    QVERIFY(!rig.window->hasUnappliedChanges());
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(rig.config.button_mapping().map), 48), map);
    QCOMPARE(buildConfigImage(rig.config), sent);
}

void TestButtonMappingTab::tileEditsWriteTheRecord()
{
    Rig rig;
    rig.config.set_button_mapping(identity());
    rig.config.set_button_inv_mask(uint64_t(1) << 20);
    rig.config.set_button_tgl_mask(uint64_t(1) << 47);
    rig.config.resetParametersModified();

    // Typing a hat code into tile 5.
    rig.field(5)->setFocus();
    QTRY_VERIFY(rig.field(5)->hasFocus());
    rig.field(5)->selectAll();
    QTest::keyClicks(rig.field(5), QStringLiteral("191"));
    QCOMPARE(rig.config.button_mapping().map[4], uint8_t(191));
    QVERIFY(rig.config.parametersModified());
    // Typing goes on undisturbed: the field keeps what was typed.
    QCOMPARE(rig.field(5)->text(), QStringLiteral("191"));
    // Emptied: no physical button.
    rig.field(5)->clear();
    QCOMPARE(rig.config.button_mapping().map[4], uint8_t(0));
    QCOMPARE(rig.field(5)->text(), QString());
    ButtonMapping expected = identity();
    expected.map[4] = 0;
    QCOMPARE(rig.config.button_mapping(), expected);

    // The flags set and clear their own bit only.
    QTest::mouseClick(rig.button(48, "cb_invert"), Qt::LeftButton);
    QCOMPARE(rig.config.button_inv_mask(), (uint64_t(1) << 20) | (uint64_t(1) << 47));
    QTest::mouseClick(rig.button(21, "cb_invert"), Qt::LeftButton);
    QVERIFY(rig.button(21, "cb_invert")->isChecked() == false);
    QCOMPARE(rig.config.button_inv_mask(), uint64_t(1) << 47);
    QTest::mouseClick(rig.button(1, "cb_toggle"), Qt::LeftButton);
    QCOMPARE(rig.config.button_tgl_mask(), (uint64_t(1) << 47) | 1u);
}

void TestButtonMappingTab::recordChangesShowInTheTiles()
{
    Rig rig;
    rig.tile(7)->setPhysicalButton(7);
    ButtonMapping mapping = identity();
    mapping.map[6] = 200;
    mapping.map[47] = 0;
    QSignalSpy changes(&rig.config, &DeviceConfig::button_mappingChanged);
    rig.config.set_button_mapping(mapping);
    rig.config.set_button_tgl_mask(uint64_t(1) << 6);
    QCOMPARE(rig.tile(7)->physicalButton(), 200u);
    QCOMPARE(rig.field(48)->text(), QStringLiteral("0"));
    QVERIFY(rig.tile(7)->isToggle());
    QVERIFY(!rig.tile(8)->isToggle());
    // Shown, not written again.
    QCOMPARE(changes.count(), 1);
    QCOMPARE(rig.config.button_mapping(), mapping);
}

void TestButtonMappingTab::resetMappingRestoresIdentity()
{
    Rig rig;
    ButtonMapping scrambled;
    for (int i = 0; i < 48; ++i)
        scrambled.map[i] = uint8_t(48 - i);
    rig.config.set_button_mapping(scrambled);
    rig.config.set_button_inv_mask(0xF0F0u);
    rig.config.set_button_tgl_mask(0x0F0Fu);
    rig.config.resetParametersModified();
    QSignalSpy changes(&rig.config, &DeviceConfig::button_mappingChanged);

    rig.find("b_reset_mapping")->click();
    QCOMPARE(rig.config.button_mapping(), identity());
    for (int n = 1; n <= 48; ++n)
        QCOMPARE(rig.tile(n)->physicalButton(), unsigned(n));
    // One write of the whole map; the flags are left alone.
    QCOMPARE(changes.count(), 1);
    QCOMPARE(rig.config.button_inv_mask(), uint64_t(0xF0F0u));
    QCOMPARE(rig.config.button_tgl_mask(), uint64_t(0x0F0Fu));
    QVERIFY(rig.tile(5)->isInvert());
    QVERIFY(rig.tile(1)->isToggle());
    QVERIFY(rig.config.parametersModified());
}

void TestButtonMappingTab::focusedTileBindsPressedButton()
{
    Rig rig;
    TelemetryDriver base(&rig.data);
    rig.config.set_button_mapping(identity());
    QVERIFY(QTest::qWaitForWindowActive(rig.window.get()));
    rig.field(3)->setFocus();
    QTRY_VERIFY(rig.field(3)->hasFocus());
    base.press(17);
    QCOMPARE(rig.tile(3)->physicalButton(), 17u);
    QCOMPARE(rig.config.button_mapping().map[2], uint8_t(17));
    QVERIFY(rig.tile(3)->isPhysicalPressed());
    // Tile 17 shows 17 as well and lights up without changing.
    QVERIFY(rig.tile(17)->isPhysicalPressed());
    QCOMPARE(rig.config.button_mapping().map[16], uint8_t(17));
    base.release(17);
    QVERIFY(!rig.tile(3)->isPhysicalPressed());
    // Hat 0 pushed down: 0x80 + 4.
    base.setHats(0x4);
    QCOMPARE(rig.config.button_mapping().map[2], uint8_t(132));
}

void TestButtonMappingTab::tileLightsWhileLogicalPressed()
{
    Rig rig;
    TelemetryDriver base(&rig.data);
    base.pressLogical(5);
    for (int n = 1; n <= 48; ++n)
        QCOMPARE(rig.tile(n)->isLogicalPressed(), n == 5);
    // Logical numbers beyond the tiles light nothing and touch nothing.
    base.pressLogical(64);
    base.pressLogical(49);
    QCOMPARE(rig.tile(48)->isLogicalPressed(), false);
    base.releaseLogical(5);
    QVERIFY(!rig.tile(5)->isLogicalPressed());
    QVERIFY(!rig.config.parametersModified());
}

void TestButtonMappingTab::tileFollowsTheBasesLogicalButton()
{
    Rig rig;
    // The simulated base blinks physical button 17 once a second; logical 5 follows it.
    QByteArray map(48, '\0');
    map[4] = 17;
    QByteArray image = rig.sim.model().activeImage();
    QVERIFY(ImageFields::writeBytes(image, "button_mapping", map));
    QVERIFY(ImageFields::write(image, "button_inv_mask", 0));
    QVERIFY(rig.sim.model().applyImage(image));
    QVERIFY(rig.connect());
    QCOMPARE(rig.tile(5)->physicalButton(), 17u);

    int lit = 0, dark = 0;
    QObject::connect(&rig.data, &DataPacket::logicalButtonPressed, [&](int n) {
        if (n == 5 && rig.tile(5)->isLogicalPressed())
            ++lit;
    });
    QObject::connect(&rig.data, &DataPacket::logicalButtonReleased, [&](int n) {
        if (n == 5 && !rig.tile(5)->isLogicalPressed())
            ++dark;
    });
    QTRY_VERIFY_WITH_TIMEOUT(lit >= 1 && dark >= 1, 10000);
    // The tile agrees with the record at every step.
    QCOMPARE(rig.tile(5)->isLogicalPressed(), bool(rig.data.buttons_logical64() & (1u << 4)));
    QVERIFY(!rig.tile(6)->isLogicalPressed());
}

void TestButtonMappingTab::exportImportRoundTrip()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    Rig rig;
    ButtonMapping mapping;
    for (int i = 0; i < 48; ++i)
        mapping.map[i] = uint8_t((i * 53) % 256);
    rig.config.set_button_mapping(mapping);
    rig.config.set_button_inv_mask(0x0000A5A5A5A5A5A5u);
    rig.config.set_button_tgl_mask(0x00005A5A5A5A5A5Au);
    const QVector<ButtonMapEntry> before = rig.tab->entries();
    const QString file = dir.filePath(QStringLiteral("grip.tavmap"));

    QString caption, suggestion;
    QStringList filters;
    answerer->expect([&](QDialog *dialog) {
        auto *fileDialog = qobject_cast<QFileDialog *>(dialog);
        QVERIFY(fileDialog);
        caption = fileDialog->windowTitle();
        filters = fileDialog->nameFilters();
        suggestion = fileDialog->selectedFiles().value(0);
        // Typed without the extension.
        chooseFile(fileDialog, dir.filePath(QStringLiteral("grip")));
        dialog->accept();
    });
    rig.find("b_export_mapping")->click();
    QCOMPARE(caption, QStringLiteral("Export button mapping"));
    QCOMPARE(filters, QStringList(QStringLiteral("Button map (*.tavmap)")));
    QCOMPARE(QFileInfo(suggestion).fileName(), QStringLiteral("button_map.tavmap"));
    QCOMPARE(rig.message(), QString());
    QVERIFY(QFileInfo::exists(file));
    QCOMPARE(rig.window->exportPath(), QFileInfo(file).absolutePath());
    QVector<ButtonMapEntry> written;
    QVERIFY(readButtonMapFile(file, &written));
    QCOMPARE(written, before);

    // Change everything, then import the file back.
    rig.find("b_reset_mapping")->click();
    rig.config.set_button_inv_mask(0);
    rig.config.set_button_tgl_mask(~uint64_t(0) >> 16);
    QString startDir;
    answerer->expect([&](QDialog *dialog) {
        auto *fileDialog = qobject_cast<QFileDialog *>(dialog);
        QVERIFY(fileDialog);
        caption = fileDialog->windowTitle();
        filters = fileDialog->nameFilters();
        startDir = fileDialog->directory().absolutePath();
        chooseFile(fileDialog, file);
        dialog->accept();
    });
    rig.find("b_import_mapping")->click();
    QCOMPARE(caption, QStringLiteral("Import button mapping"));
    QCOMPARE(filters, QStringList(QStringLiteral("Button map (*.tavmap)")));
    QCOMPARE(startDir, QFileInfo(file).absolutePath());
    QCOMPARE(rig.message(), QString());
    QCOMPARE(rig.tab->entries(), before);
    QCOMPARE(rig.config.button_mapping(), mapping);
    QCOMPARE(rig.config.button_inv_mask(), uint64_t(0x0000A5A5A5A5A5A5u));
    QCOMPARE(rig.config.button_tgl_mask(), uint64_t(0x00005A5A5A5A5A5Au));
}

void TestButtonMappingTab::importCases_data()
{
    QTest::addColumn<QByteArray>("document");
    // Tile 5 afterwards (it starts as physical 5, not inverted, toggle on), tile 1's physical.
    QTest::addColumn<int>("physical");
    QTest::addColumn<bool>("inverted");
    QTest::addColumn<bool>("toggle");
    QTest::addColumn<int>("first");
    QTest::addColumn<QString>("message"); // start of the status bar text; empty: none

    const QString failed = QStringLiteral("Failed to import mapping: ");
    QTest::newRow("entry with flags")
        << QByteArray("[[5, 12, true, false]]") << 12 << true << false << 1 << "";
    QTest::newRow("flags left out") << QByteArray("[[5, 12]]") << 12 << false << true << 1 << "";
    QTest::newRow("object of entries") << QByteArray(R"({"x": [5, 200, true, true], "y": [1, 9]})")
                                       << 200 << true << true << 9 << "";
    QTest::newRow("null") << QByteArray("null") << 5 << false << true << 1 << "";
    QTest::newRow("hat code") << QByteArray("[[5, 191]]") << 191 << false << true << 1 << "";
    QTest::newRow("numbers as flags") << QByteArray("[[1, 3], [5, 12, 1, 0]]") << 5 << false << true
                                      << 1 << failed + "entry 2: inverted is 1, not true or false";
    QTest::newRow("logical out of range") << QByteArray("[[1, 3], [49, 12]]") << 5 << false << true
                                          << 1 << failed + "entry 2: the logical button 49";
    QTest::newRow("physical out of range") << QByteArray("[[1, 3], [5, 256]]") << 5 << false << true
                                           << 1 << failed + "entry 2: the physical button 256";
    QTest::newRow("configuration file") << QByteArray(R"({"config": {"master_gain": 10}})") << 5
                                        << false << true << 1 << failed + "not a button map";
    QTest::newRow("not JSON") << QByteArray("[[5, 12],") << 5 << false << true << 1
                              << failed + "not a button map (not valid JSON";
}

void TestButtonMappingTab::importCases()
{
    QFETCH(QByteArray, document);
    QFETCH(int, physical);
    QFETCH(bool, inverted);
    QFETCH(bool, toggle);
    QFETCH(int, first);
    QFETCH(QString, message);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("case.tavmap"));
    QVERIFY(writeText(file, document));
    Rig rig;
    rig.config.set_button_mapping(identity());
    QTest::mouseClick(rig.button(5, "cb_toggle"), Qt::LeftButton);
    const QVector<ButtonMapEntry> before = rig.tab->entries();

    const ConfigFileResult result = rig.tab->importMappingFrom(file);
    QCOMPARE(bool(result), message.isEmpty());
    if (message.isEmpty())
        QCOMPARE(rig.message(), QString());
    else
        QVERIFY2(rig.message().startsWith(message), qPrintable(rig.message()));
    QCOMPARE(rig.tile(5)->physicalButton(), unsigned(physical));
    QCOMPARE(rig.tile(5)->isInvert(), inverted);
    QCOMPARE(rig.tile(5)->isToggle(), toggle);
    QCOMPARE(rig.tile(1)->physicalButton(), unsigned(first));
    // The record follows the tiles.
    QCOMPARE(rig.config.button_mapping().map[4], uint8_t(physical));
    QCOMPARE(bool(rig.config.button_inv_mask() & (1u << 4)), inverted);
    QCOMPARE(bool(rig.config.button_tgl_mask() & (1u << 4)), toggle);
    QCOMPARE(rig.config.button_mapping().map[0], uint8_t(first));
    // Tiles the file does not name are untouched.
    for (int n = 2; n <= 48; ++n) {
        if (n != 5)
            QCOMPARE(rig.tab->entries().at(n - 1), before.at(n - 1));
    }
}

void TestButtonMappingTab::failedExportIsReported()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    Rig rig;
    const ConfigFileResult result
        = rig.tab->exportMappingTo(dir.filePath(QStringLiteral("missing/map.tavmap")));
    QVERIFY(!result);
    QVERIFY2(rig.message().startsWith(QStringLiteral("Failed to export mapping: cannot write")),
        qPrintable(rig.message()));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("missing"))));
}

void TestButtonMappingTab::cancelledDialogsChangeNothing()
{
    Rig rig;
    rig.window->setExportPath(QStringLiteral("/nonexistent-start"));
    const QVector<ButtonMapEntry> before = rig.tab->entries();
    for (const char *button : {"b_import_mapping", "b_export_mapping"}) {
        answerer->expect([](QDialog *dialog) { dialog->reject(); });
        rig.find(button)->click();
        QCOMPARE(rig.message(), QString());
        QCOMPARE(rig.window->exportPath(), QStringLiteral("/nonexistent-start"));
    }
    QCOMPARE(rig.tab->entries(), before);
    QVERIFY(!rig.config.parametersModified());
}

QTEST_MAIN(TestButtonMappingTab)
#include "tst_buttonmappingtab.moc"
