// Backups, History and Compare in the main window, against the simulated base served over a
// pty in this process: what a backup holds, when one is written, what a failed one does, and
// that Restore and "Take ticked values" change only the window until Apply.

#include "backupstore.h"
#include "comparedialog.h"
#include "configfile.h"
#include "configimage.h"
#include "configsafety.h"
#include "configsnapshot.h"
#include "configuratorresources.h"
#include "datapacket.h"
#include "deviceconfig.h"
#include "differencetable.h"
#include "effectlistmodel.h"
#include "historydialog.h"
#include "imagefields.h"
#include "mainwindow.h"
#include "modalanswerer.h"
#include "modifiedmarkers.h"
#include "simulatedbase.h"
#include "tavikcomm.h"
#include "undohistory.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QUndoStack>
#include <QtTest>

#include <memory>

namespace {

struct Rig
{
    DataPacket data;
    DeviceConfig config;
    EffectListModel effects;
    TavikComm comm {&config, &data, &effects};
    SimulatedBase sim;
    std::unique_ptr<MainWindow> window;
    int configsReceived = 0;
    int configsConsumed = 0;

    Rig()
    {
        QObject::connect(&comm, &TavikComm::configReceived, [this] { ++configsReceived; });
        sim.setSeed(11);
        sim.setTelemetryRate(20);
        window = std::make_unique<MainWindow>(&config, &comm, &data, &effects);
        window->show();
    }
    ~Rig() { window.reset(); }

    bool connect()
    {
        QString slave;
        if (!sim.open(&slave))
            return false;
        comm.setPortOverride(slave);
        comm.start();
        return QTest::qWaitFor([this] { return comm.isConnected(); }, 5000);
    }
    bool waitForConfig()
    {
        if (!QTest::qWaitFor([this] { return configsReceived > configsConsumed; }, 5000))
            return false;
        configsConsumed = configsReceived;
        return true;
    }
    template<typename T> T *find(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }
    ConfigSafety *safety() const { return window->findChild<ConfigSafety *>(); }
    BackupStore &store() const { return safety()->store(); }
    QString serial() const { return comm.serialNumber(); }
    QVector<BackupStore::Entry> backups() const { return store().list(serial()); }
    QString message() const { return window->statusBar()->currentMessage(); }
    int received(uint8_t type) const { return sim.model().receivedCount(type); }
    // Changes master_gain on the base itself and lets the window read it back.
    bool changeOnTheBase(int gain)
    {
        QByteArray image = sim.model().activeImage();
        if (!ImageFields::write(image, "master_gain", gain) || !sim.model().applyImage(image))
            return false;
        find<QPushButton>("button_revert")->click();
        return waitForConfig() && config.master_gain() == gain;
    }
};

// The image a backup file gives when imported over a record holding other values.
QByteArray imageOf(const ConfigSnapshot &snapshot)
{
    DeviceConfig config;
    snapshot.applyAllTo(config);
    return buildConfigImage(config);
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size() && f.flush();
}

QStringList names(const QVector<int> &indices)
{
    QStringList list;
    for (int i : indices)
        list << QString::fromLatin1(configParameter(i).name);
    return list;
}

} // namespace

class TestConfigSafety : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void firstConfigurationIsBackedUpOnce();
    void storeBacksUpTheBaseFirst();
    void resetAndImportBackUpFirst();
    void hundredAndFirstBackupRemovesTheOldest();
    void failedBackupAsksBeforeStore_data();
    void failedBackupAsksBeforeStore();
    void historyListsAndRestores();
    void compareTakesTickedValues();
    void compareRefusesABadFile();
    void menuOpensTheDialogs();
    void undoRedoOfEdits_data();
    void undoRedoOfEdits();
    void undoAfterApplyAndReceivedValues();
    void modifiedMarkersAndRevert();

private:
    std::unique_ptr<ModalAnswerer> answerer;
    QTemporaryDir home;
};

void TestConfigSafety::initTestCase()
{
    QVERIFY(home.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral("data"))));
    QCoreApplication::setOrganizationName(QStringLiteral("Tavik"));
    QCoreApplication::setApplicationName(QStringLiteral("BrontelFFB-test"));
    QVERIFY(BackupStore::defaultRoot().startsWith(home.path()));
    registerConfigMetaTypes();
    initConfiguratorResources();
}

void TestConfigSafety::init()
{
    QSettings().clear();
    QDir(BackupStore::defaultRoot()).removeRecursively();
    answerer = std::make_unique<ModalAnswerer>();
}

void TestConfigSafety::cleanup()
{
    QVERIFY2(answerer->unexpected().isEmpty(), qPrintable(answerer->unexpected().join("; ")));
    QCOMPARE(answerer->pending(), 0);
    answerer.reset();
}

void TestConfigSafety::firstConfigurationIsBackedUpOnce()
{
    Rig rig;
    QVERIFY(rig.backups().isEmpty());
    QVERIFY(rig.connect());
    QVERIFY(rig.waitForConfig());
    QVector<BackupStore::Entry> backups = rig.backups();
    QCOMPARE(backups.size(), 1);
    QCOMPARE(imageOf(backups.first().snapshot), rig.sim.model().activeImage());
    QCOMPARE(backups.first().snapshot.serialNumber, rig.serial());

    // Later configurations of the session are no new backup by themselves.
    QVERIFY(rig.changeOnTheBase(rig.config.master_gain() == 20 ? 21 : 20));
    QCOMPARE(rig.backups().size(), 1);
}

void TestConfigSafety::storeBacksUpTheBaseFirst()
{
    Rig rig;
    QVERIFY(rig.connect());
    QVERIFY(rig.waitForConfig());
    // The base now holds an applied change the first backup does not have.
    rig.config.set_master_gain(rig.config.master_gain() == 60 ? 61 : 60);
    rig.find<QPushButton>("button_write_config")->click();
    QTRY_COMPARE(rig.sim.model().activeImage(), buildConfigImage(rig.config));
    const QByteArray before = rig.sim.model().activeImage();

    rig.config.set_spring_lpf_hz(rig.config.spring_lpf_hz() == 77 ? 78 : 77);
    rig.find<QPushButton>("button_store_config")->click();
    QCOMPARE(rig.message(), QStringLiteral("Configuration Stored"));
    QVector<BackupStore::Entry> backups = rig.backups();
    QCOMPARE(backups.size(), 2);
    QCOMPARE(imageOf(backups.first().snapshot), before);
    QTRY_COMPARE(rig.sim.model().storedImage(), buildConfigImage(rig.config));

    // Stored again unchanged: the newest backup already holds it.
    rig.find<QPushButton>("button_store_config")->click();
    QTRY_COMPARE(rig.received(9), 2);
    QCOMPARE(rig.backups().size(), 3);
    rig.find<QPushButton>("button_store_config")->click();
    QTRY_COMPARE(rig.received(9), 3);
    QCOMPARE(rig.backups().size(), 3);
    QVERIFY(!rig.find<QLabel>("label_backup_failed")->isVisible());
}

void TestConfigSafety::resetAndImportBackUpFirst()
{
    QTemporaryDir dir;
    Rig rig;
    QVERIFY(rig.connect());
    QVERIFY(rig.waitForConfig());
    QVERIFY(rig.changeOnTheBase(rig.config.master_gain() == 44 ? 45 : 44));
    const QByteArray before = rig.sim.model().activeImage();

    answerer->expectMessageBox(QMessageBox::Yes);
    rig.find<QPushButton>("b_reset_config")->click();
    QTRY_COMPARE(rig.received(14), 1);
    QCOMPARE(rig.backups().size(), 2);
    QCOMPARE(imageOf(rig.backups().first().snapshot), before);
    QVERIFY(rig.waitForConfig());

    // An import that is applied to the window backs up the base's (now default) values.
    const QString file = dir.filePath(QStringLiteral("in.tavconf"));
    QVERIFY(writeFile(file, R"({"config": {"master_gain": 3}})"));
    answerer->expect([&](QDialog *dialog) {
        auto *fd = qobject_cast<QFileDialog *>(dialog);
        QVERIFY(fd);
        if (QWidget *focus = fd->focusWidget())
            focus->clearFocus();
        fd->selectFile(file);
        static_cast<QDialog *>(fd)->accept();
    });
    rig.find<QPushButton>("b_import")->click();
    QCOMPARE(rig.message(), QStringLiteral("Configuration Imported Successfully"));
    QCOMPARE(int(rig.config.master_gain()), 3);
    QCOMPARE(rig.backups().size(), 3);
    QCOMPARE(imageOf(rig.backups().first().snapshot), FirmwareModel::defaultImage());
}

void TestConfigSafety::hundredAndFirstBackupRemovesTheOldest()
{
    Rig rig;
    // 99 older backups, each different; the first configuration makes the hundredth.
    BackupStore filler(rig.store().root());
    const QDateTime old = QDateTime::currentDateTime().addDays(-30);
    for (int i = 0; i < BackupStore::kKeepPerBase - 1; ++i) {
        DeviceConfig c;
        c.set_master_gain(uint8_t(i));
        QVERIFY(filler.write(ConfigSnapshot::fromConfig(c), QString(), old.addSecs(i)));
    }
    QVERIFY(rig.connect());
    QVERIFY(rig.waitForConfig());
    QCOMPARE(rig.serial(), QString());
    QVector<BackupStore::Entry> backups = rig.backups();
    QCOMPARE(backups.size(), BackupStore::kKeepPerBase);
    const QString first = backups.first().path;
    const QString oldest = backups.last().path;
    const QString secondOldest = backups.at(backups.size() - 2).path;

    rig.config.set_master_gain(rig.config.master_gain() == 90 ? 91 : 90);
    rig.find<QPushButton>("button_write_config")->click();
    rig.find<QPushButton>("button_store_config")->click();
    backups = rig.backups();
    QCOMPARE(backups.size(), BackupStore::kKeepPerBase);
    QVERIFY(!QFile::exists(oldest));
    QVERIFY(QFile::exists(secondOldest));
    QVERIFY(QFile::exists(first));
    QCOMPARE(imageOf(backups.first().snapshot), buildConfigImage(rig.config));
}

void TestConfigSafety::failedBackupAsksBeforeStore_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("stores");
    QTest::newRow("no") << int(QMessageBox::No) << 0;
    QTest::newRow("yes") << int(QMessageBox::Yes) << 1;
}

void TestConfigSafety::failedBackupAsksBeforeStore()
{
    QFETCH(int, answer);
    QFETCH(int, stores);
    Rig rig;
    // A file where the base's backup folder belongs.
    QVERIFY(QDir().mkpath(rig.store().root()));
    const QString blocker = rig.store().folder(QString());
    QVERIFY(writeFile(blocker, "not a folder"));
    QVERIFY(rig.connect());
    QVERIFY(rig.waitForConfig());
    QCOMPARE(rig.serial(), QString());
    auto *failed = rig.find<QLabel>("label_backup_failed");
    QVERIFY(failed->isVisible());
    QVERIFY(failed->toolTip().contains(QStringLiteral("cannot create the folder")));

    QString text;
    answerer->expect([&](QDialog *dialog) {
        auto *box = qobject_cast<QMessageBox *>(dialog);
        QVERIFY(box);
        QCOMPARE(box->objectName(), QLatin1String(ConfigSafety::kStoreQuestionName));
        text = box->text();
        box->button(QMessageBox::StandardButton(answer))->click();
    });
    rig.find<QPushButton>("button_store_config")->click();
    QVERIFY2(text.contains(QStringLiteral("could not be backed up before the Store"))
            && text.contains(QStringLiteral("cannot create the folder")),
        qPrintable(text));
    QTest::qWait(200);
    QCOMPARE(rig.received(9), stores);
    QCOMPARE(rig.message(),
        stores ? QStringLiteral("Configuration Stored")
               : QStringLiteral("Backup failed: ") + rig.safety()->lastError());
    QFile f(blocker);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("not a folder"));
}

void TestConfigSafety::historyListsAndRestores()
{
    Rig rig;
    QVERIFY(rig.connect());
    QVERIFY(rig.waitForConfig());
    const QByteArray backedUp = rig.sim.model().activeImage();
    const int gain = rig.config.master_gain();
    const int lpf = rig.config.spring_lpf_hz();
    QVERIFY(rig.changeOnTheBase(gain == 12 ? 13 : 12));
    rig.config.set_spring_lpf_hz(uint8_t(lpf == 50 ? 51 : 50));

    HistoryDialog dialog(&rig.store(), rig.serial(), &rig.config, rig.window.get());
    dialog.show();
    auto *list = dialog.findChild<QTreeWidget *>(QStringLiteral("history_list"));
    QCOMPARE(list->topLevelItemCount(), 1);
    QCOMPARE(list->topLevelItem(0)->text(2), QStringLiteral("2"));
    dialog.selectBackup(0);
    auto *diff = dialog.findChild<DifferenceTable *>(QStringLiteral("history_differences"));
    QCOMPARE(names(diff->parameters()),
        (QStringList {QStringLiteral("master_gain"), QStringLiteral("spring_lpf_hz")}));

    const int applied = rig.received(2);
    dialog.findChild<QPushButton *>(QStringLiteral("b_restore"))->click();
    QCOMPARE(int(rig.config.master_gain()), gain);
    QCOMPARE(int(rig.config.spring_lpf_hz()), lpf);
    QCOMPARE(list->topLevelItem(0)->text(2), QStringLiteral("same"));
    QCOMPARE(diff->rowCount(), 0);
    QTest::qWait(200);
    QCOMPARE(rig.received(2), applied); // nothing sent by itself
    QVERIFY(rig.config.parametersModified());

    rig.find<QPushButton>("button_write_config")->click();
    QTRY_COMPARE(rig.sim.model().activeImage(), backedUp);
}

void TestConfigSafety::compareTakesTickedValues()
{
    QTemporaryDir dir;
    Rig rig;
    QVERIFY(rig.connect());
    QVERIFY(rig.waitForConfig());
    // A file of the window's values with three of them changed.
    DeviceConfig other;
    ConfigSnapshot::fromConfig(rig.config).applyAllTo(other);
    other.set_master_gain(uint8_t(rig.config.master_gain() ^ 1));
    other.set_swap_xy(uint8_t(!rig.config.swap_xy()));
    other.set_config_name(DeviceName::fromString(QStringLiteral("Other")));
    const QString file = dir.filePath(QStringLiteral("other.tavconf"));
    QVERIFY(exportConfig(other, file));

    CompareDialog dialog(&rig.store(), rig.serial(), &rig.config, rig.window.get());
    dialog.show();
    QVERIFY(dialog.compareWithFile(file));
    DifferenceTable *table = dialog.table();
    QCOMPARE(names(table->parameters()),
        (QStringList {QStringLiteral("swap_xy"), QStringLiteral("master_gain"),
            QStringLiteral("config_name")}));
    QCOMPARE(
        table->item(0, 2)->text(), other.swap_xy() ? QStringLiteral("on") : QStringLiteral("off"));
    QCOMPARE(table->item(1, 2)->text(), QStringLiteral("%1 %").arg(other.master_gain()));
    QCOMPARE(table->item(2, 2)->text(), QStringLiteral("\"Other\""));

    auto *take = dialog.findChild<QPushButton *>(QStringLiteral("b_take_ticked"));
    QVERIFY(!take->isEnabled()); // nothing ticked at first
    table->item(0, 0)->setCheckState(Qt::Checked);
    table->item(2, 0)->setCheckState(Qt::Checked);
    QVERIFY(take->isEnabled());
    const ConfigSnapshot before = ConfigSnapshot::fromConfig(rig.config);
    const int applied = rig.received(2);
    take->click();
    QCOMPARE(names(configDifferences(before, ConfigSnapshot::fromConfig(rig.config))),
        (QStringList {QStringLiteral("swap_xy"), QStringLiteral("config_name")}));
    QCOMPARE(rig.config.swap_xy(), other.swap_xy());
    QCOMPARE(rig.config.config_name().toString(), QStringLiteral("Other"));
    QCOMPARE(names(table->parameters()), QStringList(QStringLiteral("master_gain")));
    QTest::qWait(200);
    QCOMPARE(rig.received(2), applied);

    // The first backup is the base's image: the window now differs from it in those two.
    QCOMPARE(dialog.backupCount(), 1);
    QVERIFY(dialog.compareWithBackup(0));
    QCOMPARE(names(table->parameters()),
        (QStringList {QStringLiteral("swap_xy"), QStringLiteral("config_name")}));
}

void TestConfigSafety::compareRefusesABadFile()
{
    QTemporaryDir dir;
    Rig rig;
    CompareDialog dialog(&rig.store(), rig.serial(), &rig.config, rig.window.get());
    const QString file = dir.filePath(QStringLiteral("bad.tavconf"));
    QVERIFY(writeFile(file, R"({"config": {"master_gain": "loud"}})"));
    const ConfigSnapshot before = ConfigSnapshot::fromConfig(rig.config);
    QVERIFY(!dialog.compareWithFile(file));
    QVERIFY(dialog.error().contains(QStringLiteral("\"master_gain\"")));
    QVERIFY(dialog.findChild<QLabel *>(QStringLiteral("label_compare_source"))
                ->text()
                .startsWith(QStringLiteral("Cannot compare")));
    QCOMPARE(dialog.table()->rowCount(), 0);
    QVERIFY(!dialog.compareWithFile(dir.filePath(QStringLiteral("missing.tavconf"))));
    QVERIFY(ConfigSnapshot::fromConfig(rig.config) == before);
}

void TestConfigSafety::menuOpensTheDialogs()
{
    Rig rig;
    QStringList titles;
    for (int i = 0; i < 2; ++i)
        answerer->expect([&](QDialog *dialog) {
            titles << dialog->windowTitle();
            dialog->reject();
        });
    auto *history = rig.window->findChild<QAction *>(QStringLiteral("action_history"));
    auto *compare = rig.window->findChild<QAction *>(QStringLiteral("action_compare"));
    QVERIFY(history && compare);
    QCOMPARE(history->text(), QStringLiteral("History…"));
    QCOMPARE(compare->text(), QStringLiteral("Compare…"));
    history->trigger();
    compare->trigger();
    QCOMPARE(titles,
        (QStringList {
            QStringLiteral("Configuration History"), QStringLiteral("Compare Configuration")}));
}

namespace {

// A press that is no edit: ends the motion of the previous edit, as a user's next click does.
void pressElsewhere(Rig &rig)
{
    QTest::mouseClick(rig.find<QWidget>("label_fw_version"), Qt::LeftButton);
}

} // namespace

void TestConfigSafety::undoRedoOfEdits_data()
{
    QTest::addColumn<QString>("parameter");
    QTest::addColumn<int>("kind");
    QTest::newRow("slider, dragged in one motion") << "master_gain" << 0;
    QTest::newRow("check box") << "hats_as_buttons_1" << 1;
    QTest::newRow("combo") << "pot_1_func" << 2;
    QTest::newRow("curve") << "damper_mapping" << 3;
    QTest::newRow("button map") << "button_mapping" << 4;
}

void TestConfigSafety::undoRedoOfEdits()
{
    QFETCH(QString, parameter);
    QFETCH(int, kind);
    Rig rig;
    QVERIFY(rig.connect());
    QVERIFY(rig.waitForConfig());
    QUndoStack *stack = rig.safety()->undoHistory()->stack();
    const int index = findConfigParameter(parameter)->index;
    const QByteArray before = ConfigSnapshot::fromConfig(rig.config).json(index);
    QCOMPARE(stack->count(), 0); // the base's values are no step

    pressElsewhere(rig);
    switch (kind) {
    case 0: {
        auto *slider = rig.find<QSlider>("slider_master_gain");
        const int start = slider->value();
        slider->setSliderDown(true);
        for (int step = 1; step <= 5; ++step)
            slider->setValue((start + step * 7) % 100);
        slider->setSliderDown(false);
        break;
    }
    case 1:
        QTest::mouseClick(rig.find<QCheckBox>("cb_hats_btn_1"), Qt::LeftButton);
        break;
    case 2: {
        auto *combo = rig.find<QComboBox>("cb_pot1");
        combo->setCurrentIndex((combo->currentIndex() + 3) % combo->count());
        break;
    }
    case 3: {
        DeviceMappingData curve = rig.config.damper_mapping();
        curve.y[1] = int8_t(curve.y[1] == -20 ? -21 : -20);
        rig.config.set_damper_mapping(curve);
        break;
    }
    case 4: {
        ButtonMapping map = rig.config.button_mapping();
        map.map[5] = uint8_t(map.map[5] == 9 ? 10 : 9);
        rig.config.set_button_mapping(map);
        break;
    }
    }
    const QByteArray after = ConfigSnapshot::fromConfig(rig.config).json(index);
    QVERIFY(after != before);
    QCOMPARE(stack->count(), 1);
    const ConfigSnapshot edited = ConfigSnapshot::fromConfig(rig.config);

    stack->undo();
    QCOMPARE(ConfigSnapshot::fromConfig(rig.config).json(index), before);
    QCOMPARE(configDifferences(edited, ConfigSnapshot::fromConfig(rig.config)).size(), 1);
    if (kind == 0)
        QCOMPARE(QByteArray::number(rig.find<QSlider>("slider_master_gain")->value()), before);
    stack->redo();
    QCOMPARE(ConfigSnapshot::fromConfig(rig.config).json(index), after);
    QVERIFY(ConfigSnapshot::fromConfig(rig.config) == edited);
    QCOMPARE(stack->count(), 1);

    // The shortcuts of the Edit menu.
    auto *undo = rig.window->findChild<QAction *>(QStringLiteral("action_undo"));
    auto *redo = rig.window->findChild<QAction *>(QStringLiteral("action_redo"));
    QCOMPARE(undo->shortcut(), QKeySequence(QStringLiteral("Ctrl+Z")));
    QCOMPARE(redo->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+Z")));
    undo->trigger();
    QCOMPARE(ConfigSnapshot::fromConfig(rig.config).json(index), before);
    redo->trigger();
    QCOMPARE(ConfigSnapshot::fromConfig(rig.config).json(index), after);
}

void TestConfigSafety::undoAfterApplyAndReceivedValues()
{
    Rig rig;
    QVERIFY(rig.connect());
    QVERIFY(rig.waitForConfig());
    QUndoStack *stack = rig.safety()->undoHistory()->stack();
    const int gain = rig.config.master_gain();
    const int lpf = rig.config.spring_lpf_hz();

    pressElsewhere(rig);
    rig.config.set_master_gain(uint8_t(gain == 30 ? 31 : 30));
    pressElsewhere(rig);
    rig.config.set_spring_lpf_hz(uint8_t(lpf == 40 ? 41 : 40));
    QCOMPARE(stack->count(), 2);
    rig.find<QPushButton>("button_write_config")->click();
    QTRY_COMPARE(rig.sim.model().activeImage(), buildConfigImage(rig.config));
    const int sent = rig.received(2);

    // Values from the base and from a restored file are no step, and clear nothing.
    QByteArray image = rig.sim.model().activeImage();
    QVERIFY(ImageFields::write(image, "periodic_lpf_hz", 77));
    QVERIFY(rig.sim.model().applyImage(image));
    rig.find<QPushButton>("button_revert")->click();
    QVERIFY(rig.waitForConfig());
    QCOMPARE(int(rig.config.periodic_lpf_hz()), 77);
    QCOMPARE(stack->count(), 2);
    QVERIFY(stack->canUndo());

    stack->undo();
    QCOMPARE(int(rig.config.spring_lpf_hz()), lpf);
    QCOMPARE(int(rig.config.periodic_lpf_hz()), 77);
    stack->undo();
    QCOMPARE(int(rig.config.master_gain()), gain);
    QVERIFY(!stack->canUndo());
    QTest::qWait(200);
    QCOMPARE(rig.received(2), sent); // undo sends nothing
    rig.safety()->markers()->refresh();
    QCOMPARE(names(rig.safety()->markers()->modifiedParameters()),
        (QStringList {QStringLiteral("master_gain"), QStringLiteral("spring_lpf_hz")}));

    // A restore is one step.
    QVERIFY(rig.changeOnTheBase(gain == 5 ? 6 : 5));
    HistoryDialog dialog(&rig.store(), rig.serial(), &rig.config, rig.window.get());
    dialog.selectBackup(0);
    const ConfigSnapshot beforeRestore = ConfigSnapshot::fromConfig(rig.config);
    QVERIFY(dialog.restoreSelected());
    QVERIFY(ConfigSnapshot::fromConfig(rig.config) != beforeRestore);
    QCOMPARE(stack->count(), 1);
    stack->undo();
    QVERIFY(ConfigSnapshot::fromConfig(rig.config) == beforeRestore);
}

void TestConfigSafety::modifiedMarkersAndRevert()
{
    Rig rig;
    QVERIFY(rig.connect());
    QVERIFY(rig.waitForConfig());
    ModifiedMarkers *markers = rig.safety()->markers();
    auto *tabs = rig.find<QTabWidget>("tabWidget");
    auto *slider = rig.find<QSlider>("slider_master_gain");
    markers->refresh();
    QVERIFY(markers->modifiedParameters().isEmpty());
    QVERIFY(!markers->isMarked(slider));
    QCOMPARE(tabs->tabText(1), QStringLiteral("Settings"));

    const int gain = rig.config.master_gain();
    slider->setValue(gain == 50 ? 51 : 50);
    rig.find<QCheckBox>("cb_hats_btn_1")->click();
    markers->refresh();
    QVERIFY(markers->isMarked(slider));
    QCOMPARE(tabs->tabText(1), QStringLiteral("Settings (2)"));
    QCOMPARE(tabs->tabText(0), QStringLiteral("Effects"));

    // The context menu of the marked control offers the base's value.
    QString offered;
    QTimer::singleShot(0, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu)
            return;
        offered = menu->actions().value(0)->text();
        menu->actions().value(0)->trigger();
        menu->close();
    });
    QContextMenuEvent event(
        QContextMenuEvent::Mouse, QPoint(2, 2), slider->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(slider, &event);
    QCOMPARE(offered, QStringLiteral("Revert to the base's value"));
    QCOMPARE(int(rig.config.master_gain()), gain);
    QCOMPARE(slider->value(), gain);
    markers->refresh();
    QVERIFY(!markers->isMarked(slider));
    QCOMPARE(tabs->tabText(1), QStringLiteral("Settings (1)"));

    // Applied: the base holds the window's values, nothing is marked.
    rig.find<QPushButton>("button_write_config")->click();
    markers->refresh();
    QVERIFY(markers->modifiedParameters().isEmpty());
    QCOMPARE(tabs->tabText(1), QStringLiteral("Settings"));
}

QTEST_MAIN(TestConfigSafety)
#include "tst_configsafety.moc"
