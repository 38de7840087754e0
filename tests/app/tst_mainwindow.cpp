// The main window against the simulated base served over a pty in this process: connection,
// the configuration row, import and export through the real dialogs, the title and status
// label, and the window settings.

#include "configfile.h"
#include "configimage.h"
#include "configuratorresources.h"
#include "datapacket.h"
#include "deviceconfig.h"
#include "effectlistmodel.h"
#include "imagefields.h"
#include "mainwindow.h"
#include "modalanswerer.h"
#include "scopepanel.h"
#include "scopewindow.h"
#include "simulatedbase.h"
#include "tavikcomm.h"
#include "telemetryring.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const QString kTitle = QString::fromLatin1(MainWindow::kTitle);

// The process-wide objects of the program, made per test, and the simulated base.
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
        sim.setSeed(7);
        sim.setTelemetryRate(50);
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
    // Waits for the next configuration image from the base to reach the record.
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
    QString message() const { return window->statusBar()->currentMessage(); }
    QString label() const { return window->statusLabelWidget()->text(); }
    int received(uint8_t type) const { return sim.model().receivedCount(type); }
};

// Chooses a file in a (non-native) file dialog as if typed. QFileDialog::selectFile leaves the
// name field alone while that field has the focus, which depends on window activation; take
// the focus away first so the choice always lands.
void chooseFile(QFileDialog *dialog, const QString &file)
{
    if (QWidget *focus = dialog->focusWidget())
        focus->clearFocus();
    dialog->selectFile(file);
    QCOMPARE(dialog->selectedFiles(), QStringList(file));
}

const char *const kRowButtons[]
    = {"button_revert", "button_write_config", "button_reload_config", "button_store_config"};

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void formHasTheNamedWidgets();
    void startsDisconnected();
    void commandsWhileDisconnectedSendNothing();
    void connectsAndShowsTheConfiguration();
    void applySendsTheEditedConfiguration();
    void receivedValuesGoBackUnchanged();
    void storeWritesTheStoredImage();
    void resetOnlyAfterYes();
    void revertRestoresTheBaseValues();
    void loadReadsTheStoredConfiguration();
    void unplugDisablesTheControls();
    void refusedImageKeepsApplyDisabled();
    void longStatusKeepsTheWindowSize();
    void exportImportRoundTrip();
    void exportAddsTheExtension();
    void failingImportChangesNothing();
    void cancelledDialogsChangeNothing();
    void suggestedExportName_data();
    void suggestedExportName();
    void titleAndStatusLabel_data();
    void titleAndStatusLabel();
    void nameFieldsShowWithoutWritingBack();
    void firmwareTextShownAsPlainText();
    void modifiedMarkerAndCloseQuestion();
    void closingWithoutChangesAsksNothing();
    void closeQuestionWhileDisconnectedOffersNoApply();
    void applyFromCloseQuestionAfterUnplugKeepsWindow();
    void eachImageRewritesTheDisplayName();
    void windowSettingsPersist();
    void naturalSizeWithoutSettings();
    void scopeButtonOpensTheRecordedScope();

private:
    std::unique_ptr<ModalAnswerer> m_answerer;
    // This run's own settings store: another run of this test at the same time must not share
    // the window settings or the display names.
    QTemporaryDir m_settingsHome;
};

void TestMainWindow::initTestCase()
{
    QVERIFY(m_settingsHome.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_settingsHome.path()));
    // The window backs up every base's first configuration; keep those out of the user's data.
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_settingsHome.filePath(QStringLiteral("data"))));
    QCoreApplication::setOrganizationName(QStringLiteral("Tavik"));
    QCoreApplication::setApplicationName(QStringLiteral("BrontelFFB-test"));
    QVERIFY(QSettings().fileName().startsWith(m_settingsHome.path()));
    registerConfigMetaTypes();
    initConfiguratorResources();
}

void TestMainWindow::init()
{
    QSettings().clear();
    m_answerer = std::make_unique<ModalAnswerer>();
}

void TestMainWindow::cleanup()
{
    QVERIFY2(m_answerer->unexpected().isEmpty(), qPrintable(m_answerer->unexpected().join("; ")));
    QCOMPARE(m_answerer->pending(), 0);
    m_answerer.reset();
}

void TestMainWindow::formHasTheNamedWidgets()
{
    Rig rig;
    MainWindow *w = rig.window.get();
    QCOMPARE(w->objectName(), QStringLiteral("MainWindow"));
    for (const char *name : {"centralwidget", "left_frame", "label", "axisView", "label_27",
             "tabWidget", "tab_effects", "tab_settings", "tab_debug", "tab_mapping", "b_import",
             "b_export", "label_25", "label_fw_version", "b_reset_config", "ln_device_name",
             "ln_config_name", "cmdline", "menubar", "statusbar", "prog_z", "prog_rx", "prog_ry",
             "prog_rz", "prog_slider", "scrollArea", "frame_2", "frame_3", "frame_4", "b_autocal"})
        QVERIFY2(w->findChild<QWidget *>(QLatin1String(name)), name);
    for (const char *name :
        {"horizontalLayout_5", "liveParamGrid", "hats_grid", "button_status", "gridLayout_8"})
        QVERIFY2(w->findChild<QLayout *>(QLatin1String(name)), name);

    auto *tabs = rig.find<QTabWidget>("tabWidget");
    QCOMPARE(tabs->count(), 4);
    QCOMPARE(tabs->tabText(0), QStringLiteral("Effects"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("Settings"));
    QCOMPARE(tabs->tabText(2), QStringLiteral("Debug"));
    QCOMPARE(tabs->tabText(3), QStringLiteral("Button Mapping"));
    QCOMPARE(tabs->currentIndex(), 1);

    QCOMPARE(rig.find<QPushButton>("button_revert")->text(), QStringLiteral("⟳"));
    QCOMPARE(rig.find<QPushButton>("button_revert")->maximumWidth(), 24);
    QCOMPARE(
        rig.find<QPushButton>("button_write_config")->text(), QStringLiteral("Apply Settings"));
    QCOMPARE(
        rig.find<QPushButton>("button_reload_config")->text(), QStringLiteral("Load Settings"));
    QCOMPARE(
        rig.find<QPushButton>("button_store_config")->text(), QStringLiteral("Store Settings"));
    QCOMPARE(rig.find<QPushButton>("button_store_config")->toolTip(),
        QStringLiteral("Apply & Store configuration to device's non-volatile memory."));
    QCOMPARE(rig.find<QPushButton>("b_import")->toolTip(),
        QStringLiteral("Import device configuration from file"));
    QCOMPARE(rig.find<QPushButton>("b_export")->toolTip(),
        QStringLiteral("Export device configuration to file"));
    QCOMPARE(rig.find<QLabel>("label_fw_version")->text(), QStringLiteral("n/a"));
    // At least the form's 150, widened so the live values are never clipped.
    QVERIFY(rig.find<QFrame>("left_frame")->minimumWidth() >= 150);
    QCOMPARE(w->styleSheet(), QStringLiteral("font-size: 10pt;"));

    // The configuration row, left to right.
    auto *row = w->findChild<QHBoxLayout *>(QStringLiteral("horizontalLayout_5"));
    QStringList order;
    for (int i = 0; i < row->count(); ++i)
        if (QWidget *widget = row->itemAt(i)->widget())
            order << widget->objectName();
    QCOMPARE(order,
        QStringList({"button_revert", "button_write_config", "button_reload_config",
            "button_store_config", "b_import", "b_export", "label_25", "label_fw_version"}));
    // Tab order through the row follows the same order.
    QWidget *next = rig.find<QWidget>("button_revert");
    for (const QString &name : order.mid(1, 5)) {
        next = next->nextInFocusChain();
        QCOMPARE(next->objectName(), name);
    }
}

void TestMainWindow::startsDisconnected()
{
    Rig rig;
    QVERIFY(!rig.find<QWidget>("left_frame")->isEnabled());
    for (const char *name : kRowButtons)
        QVERIFY2(!rig.find<QPushButton>(name)->isEnabled(), name);
    QVERIFY(rig.find<QPushButton>("b_import")->isEnabled());
    QVERIFY(rig.find<QPushButton>("b_export")->isEnabled());
    QVERIFY(rig.find<QPushButton>("b_reset_config")->isEnabled());
    QCOMPARE(rig.window->windowTitle(), kTitle + QStringLiteral(" - "));
    QVERIFY(rig.window->windowTitle().endsWith(QStringLiteral("- ")));
    const QString motor = MainWindow::motorFaultName(rig.data.mot_fault() >> 4);
    QCOMPARE(rig.label(),
        QStringLiteral("Motor X: %1, Y: %2 | USB: Disconnected")
            .arg(motor, MainWindow::motorFaultName(rig.data.mot_fault())));
}

void TestMainWindow::commandsWhileDisconnectedSendNothing()
{
    Rig rig;
    // Reset stays enabled while disconnected; it neither asks nor claims success.
    rig.find<QPushButton>("b_reset_config")->click();
    QCOMPARE(rig.message(), QStringLiteral("Not connected"));
    QCOMPARE(rig.sim.receivedPayloads().size(), 0);
}

void TestMainWindow::connectsAndShowsTheConfiguration()
{
    Rig rig;
    QByteArray image = rig.sim.model().activeImage();
    QVERIFY(ImageFields::writeBytes(
        image, "config_name", QByteArray("Sim Setup").leftJustified(20, '\0')));
    QVERIFY(
        ImageFields::writeBytes(image, "device_name", QByteArray("Left").leftJustified(20, '\0')));
    QVERIFY(rig.sim.model().applyImage(image));

    QVERIFY(rig.connect());
    QVERIFY(rig.waitForConfig());
    QTRY_COMPARE(rig.message(), QStringLiteral("Configuration received"));
    QVERIFY(rig.find<QWidget>("left_frame")->isEnabled());
    for (const char *name : kRowButtons)
        QVERIFY2(rig.find<QPushButton>(name)->isEnabled(), name);
    QVERIFY(rig.label().contains(QStringLiteral("| USB: <b>Connected</b>")));
    QCOMPARE(rig.window->windowTitle(),
        kTitle + QStringLiteral(" - ") + rig.comm.serialNumber() + QStringLiteral(" - Sim Setup"));
    QCOMPARE(rig.find<QLineEdit>("ln_config_name")->text(), QStringLiteral("Sim Setup"));
    QCOMPARE(rig.find<QLineEdit>("ln_device_name")->text(), QStringLiteral("Left"));
    QTRY_COMPARE(rig.find<QLabel>("label_fw_version")->text(), rig.sim.model().firmwareVersion());
    QVERIFY(!rig.config.parametersModified());

    // The game-controller display name, through the platform's registry counterpart.
    const QString key = SerialPortManager::registrySubkey(
        rig.comm.vendorIdentifier(), rig.comm.productIdentifier());
    QCOMPARE(rig.comm.readRegistryString(key, QStringLiteral("OEMName")),
        QStringLiteral("Tavik Brontel FFB Left"));
}

void TestMainWindow::applySendsTheEditedConfiguration()
{
    Rig rig;
    QVERIFY(rig.connect());
    QVERIFY(rig.waitForConfig());
    const QByteArray stored = rig.sim.model().storedImage();
    const int gain = rig.config.master_gain() == 77 ? 78 : 77;
    rig.config.set_master_gain(gain);
    QVERIFY(rig.window->hasUnappliedChanges());

    rig.find<QPushButton>("button_write_config")->click();
    QCOMPARE(rig.message(), QStringLiteral("Configuration Sent"));
    QVERIFY(!rig.window->hasUnappliedChanges());
    QTRY_COMPARE(rig.sim.model().activeField("master_gain"), gain);
    QCOMPARE(rig.sim.model().activeImage(), buildConfigImage(rig.config));
    QCOMPARE(rig.sim.model().storedImage(), stored);
}

void TestMainWindow::receivedValuesGoBackUnchanged()
{
    Rig rig;
    // Values no control shows exactly or that lie outside the controls' ranges, and names
    // longer than their fields or not valid UTF-8.
    QByteArray image = rig.sim.model().activeImage();
    QVERIFY(ImageFields::write(image, "default_spring_coef_pos_x", 1000));
    QVERIFY(ImageFields::write(image, "default_spring_coef_neg_y", -4097));
    QVERIFY(ImageFields::write(image, "endstop_pos_x", 100));
    QVERIFY(ImageFields::write(image, "frictionP", 65535));
    QVERIFY(ImageFields::write(image, "hires_mode_scale", 1));
    QVERIFY(ImageFields::write(image, "spring_lpf_hz", 255));
    QVERIFY(
        ImageFields::writeBytes(image, "device_name", QByteArray("ABCDEFGHIJKLMNOPQR\xff\xe9")));
    QVERIFY(ImageFields::writeBytes(image, "config_name", QByteArray("Twenty characters!!!")));
    QVERIFY(rig.sim.model().applyImage(image));
    const QByteArray odd = rig.sim.model().activeImage();

    QVERIFY(rig.connect());
    QVERIFY(rig.waitForConfig());
    QTest::qWait(200);
    QVERIFY(!rig.config.parametersModified());
    QVERIFY(!rig.window->hasUnappliedChanges());
    QVERIFY(!rig.window->windowTitle().endsWith(QStringLiteral("*")));

    const int sent = rig.received(2);
    rig.find<QPushButton>("button_write_config")->click();
    QTRY_COMPARE(rig.received(2), sent + 1);
    QCOMPARE(rig.sim.model().activeImage(), odd);
    QCOMPARE(buildConfigImage(rig.config), odd);
}

void TestMainWindow::storeWritesTheStoredImage()
{
    Rig rig;
    QVERIFY(rig.connect());
    QVERIFY(rig.waitForConfig());
    rig.config.set_max_drive_current(rig.config.max_drive_current() == 9 ? 8 : 9);
    rig.find<QPushButton>("button_store_config")->click();
    QCOMPARE(rig.message(), QStringLiteral("Configuration Stored"));
    const QByteArray expected = buildConfigImage(rig.config);
    QTRY_COMPARE(rig.sim.model().storedImage(), expected);
    QCOMPARE(rig.sim.model().activeImage(), expected);
}

void TestMainWindow::resetOnlyAfterYes()
{
    Rig rig;
    QVERIFY(rig.connect());
    QVERIFY(rig.waitForConfig());
    QByteArray image = rig.sim.model().activeImage();
    const int changedGain = ImageFields::read(image, "master_gain") == 33 ? 34 : 33;
    QVERIFY(ImageFields::write(image, "master_gain", changedGain));
    QVERIFY(rig.sim.model().applyImage(image));
    rig.find<QPushButton>("button_revert")->click();
    QTRY_COMPARE(int(rig.config.master_gain()), changedGain);

    m_answerer->expectMessageBox(QMessageBox::No);
    rig.find<QPushButton>("b_reset_config")->click();
    QCOMPARE(m_answerer->answered(),
        QStringList("Test: Are you sure you want to reset configuration to firmware default?"));
    QTest::qWait(200);
    QCOMPARE(rig.received(14), 0);
    QCOMPARE(int(rig.config.master_gain()), changedGain);

    m_answerer->expectMessageBox(QMessageBox::Yes);
    rig.find<QPushButton>("b_reset_config")->click();
    QTRY_COMPARE(rig.received(14), 1);
    const int defaultGain = ImageFields::read(FirmwareModel::defaultImage(), "master_gain");
    QTRY_COMPARE(int(rig.config.master_gain()), defaultGain);
    QCOMPARE(buildConfigImage(rig.config), FirmwareModel::defaultImage());
}

void TestMainWindow::revertRestoresTheBaseValues()
{
    Rig rig;
    QVERIFY(rig.connect());
    QVERIFY(rig.waitForConfig());
    const QByteArray before = rig.sim.model().activeImage();
    rig.find<QLineEdit>("ln_config_name")->setText(QStringLiteral("Edited"));
    rig.config.set_swap_xy(rig.config.swap_xy() ? 0 : 1);
    QVERIFY(rig.window->windowTitle().contains(QStringLiteral(" - Edited")));
    QVERIFY(rig.config.parametersModified());

    rig.find<QPushButton>("button_revert")->click();
    QVERIFY(rig.waitForConfig());
    QCOMPARE(buildConfigImage(rig.config), before);
    QTRY_VERIFY(!rig.config.parametersModified());
    QVERIFY(!rig.window->windowTitle().contains(QStringLiteral("Edited")));
    QVERIFY(!rig.window->hasUnappliedChanges());
}

void TestMainWindow::loadReadsTheStoredConfiguration()
{
    Rig rig;
    QVERIFY(rig.connect());
    QVERIFY(rig.waitForConfig());
    // Make the active image differ from the stored one on the base itself.
    QByteArray image = rig.sim.model().activeImage();
    QVERIFY(ImageFields::write(
        image, "periodic_lpf_hz", ImageFields::read(image, "periodic_lpf_hz") ^ 1));
    QVERIFY(rig.sim.model().applyImage(image));
    rig.find<QPushButton>("button_reload_config")->click();
    QTRY_COMPARE(rig.received(19), 1);
    QTRY_COMPARE(buildConfigImage(rig.config), rig.sim.model().storedImage());
}

void TestMainWindow::unplugDisablesTheControls()
{
    Rig rig;
    QVERIFY(rig.connect());
    QVERIFY(rig.waitForConfig());
    rig.sim.close();
    QTRY_VERIFY(!rig.comm.isConnected());
    QVERIFY(!rig.find<QWidget>("left_frame")->isEnabled());
    for (const char *name : kRowButtons)
        QVERIFY2(!rig.find<QPushButton>(name)->isEnabled(), name);
    QVERIFY(rig.label().endsWith(QStringLiteral("| USB: Disconnected")));
}

void TestMainWindow::refusedImageKeepsApplyDisabled()
{
    Rig rig;
    QVERIFY(rig.connect());
    QVERIFY(rig.waitForConfig());
    const QByteArray before = buildConfigImage(rig.config);

    QByteArray refused = rig.sim.model().activeImage();
    refused[0] = char(181 + 1); // one past the image version
    QVERIFY(ImageFields::write(refused, "master_gain", 1));
    // The endpoint warns in a modal box.
    m_answerer->expect([](QDialog *dialog) { dialog->accept(); });
    rig.sim.sendPayload(QByteArray(1, char(3)) + refused);
    QTRY_VERIFY(rig.label().contains(QStringLiteral("refused")));
    QTRY_COMPARE(m_answerer->pending(), 0);
    QVERIFY(!rig.find<QPushButton>("button_write_config")->isEnabled());
    QVERIFY(!rig.find<QPushButton>("button_store_config")->isEnabled());
    QVERIFY(rig.find<QPushButton>("button_revert")->isEnabled());
    QCOMPARE(buildConfigImage(rig.config), before);

    // A compatible configuration lifts the refusal.
    rig.find<QPushButton>("button_revert")->click();
    QTRY_VERIFY(!rig.label().contains(QStringLiteral("refused")));
    QVERIFY(rig.find<QPushButton>("button_write_config")->isEnabled());
    QVERIFY(rig.find<QPushButton>("button_store_config")->isEnabled());
}

void TestMainWindow::longStatusKeepsTheWindowSize()
{
    Rig rig;
    QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
    // Measure the laid-out window: the tabs' pages fill in while it is first shown.
    QCoreApplication::processEvents();
    rig.window->layout()->activate();
    QCoreApplication::processEvents();
    const QSize natural = rig.window->size();
    const int leftWidth = rig.find<QWidget>("left_frame")->width();

    // An unsent edit and a refused image with the endpoint's (long) reason.
    rig.data.set_mot_fault(0x00);
    rig.config.set_master_gain(rig.config.master_gain() ^ 1);
    const QString reason = QStringLiteral(
        "Incompatible configuration version 182 (expected 181): update firmware and/or software");
    Q_EMIT rig.comm.configRefused(reason);
    QCoreApplication::processEvents();
    QVERIFY(rig.label().contains(QStringLiteral("Configuration refused")));
    QVERIFY(rig.window->statusLabelWidget()->toolTip().contains(reason));
    QCOMPARE(rig.message(), QStringLiteral("Configuration refused"));
    QCOMPARE(rig.window->size(), natural);
    QCOMPARE(rig.find<QWidget>("left_frame")->width(), leftWidth);

    // Room the user gives the window goes to the tabs, not to the live view.
    const int tabsWidth = rig.find<QWidget>("tabWidget")->width();
    rig.window->resize(natural + QSize(300, 0));
    QTRY_COMPARE(rig.find<QWidget>("tabWidget")->width(), tabsWidth + 300);
    QCOMPARE(rig.find<QWidget>("left_frame")->width(), leftWidth);
    rig.config.setParametersModified(false);
    m_answerer->expectMessageBox(QMessageBox::Discard);
    QVERIFY(rig.window->close());
}

void TestMainWindow::exportImportRoundTrip()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    Rig rig;
    rig.config.set_config_name(DeviceName::fromString(QStringLiteral("My Setup")));
    rig.config.set_master_gain(42);
    DeviceMappingData curve;
    curve.x[1] = -50;
    curve.y[3] = 70;
    rig.config.set_spring_mapping(curve);
    const QByteArray exported = buildConfigImage(rig.config);
    const QString file = dir.filePath(QStringLiteral("round.tavconf"));

    QString caption, suggestion;
    QStringList filters;
    m_answerer->expect([&](QDialog *dialog) {
        auto *fileDialog = qobject_cast<QFileDialog *>(dialog);
        QVERIFY(fileDialog);
        caption = fileDialog->windowTitle();
        filters = fileDialog->nameFilters();
        suggestion = fileDialog->selectedFiles().value(0);
        chooseFile(fileDialog, file);
        dialog->accept(); // QFileDialog::accept, through the public base
    });
    rig.find<QPushButton>("b_export")->click();
    QCOMPARE(caption, QStringLiteral("Export FFB Device Configuration"));
    QCOMPARE(filters, QStringList(QStringLiteral("FFB Device Config (*.tavconf)")));
    QVERIFY2(QRegularExpression(QStringLiteral("^My_Setup-\\d{4}-\\d\\d-\\d\\d_\\d{6}\\.tavconf$"))
                 .match(QFileInfo(suggestion).fileName())
                 .hasMatch(),
        qPrintable(suggestion));
    QCOMPARE(rig.message(), QStringLiteral("Configuration Exported Successfully"));
    QVERIFY(QFileInfo::exists(file));
    QCOMPARE(rig.window->exportPath(), QFileInfo(file).absolutePath());

    // Change things, then import the file back through the dialog.
    rig.config.set_master_gain(5);
    rig.config.set_config_name(DeviceName::fromString(QStringLiteral("Other")));
    rig.config.set_spring_mapping(DeviceMappingData());
    QString startDir;
    m_answerer->expect([&](QDialog *dialog) {
        auto *fileDialog = qobject_cast<QFileDialog *>(dialog);
        QVERIFY(fileDialog);
        caption = fileDialog->windowTitle();
        filters = fileDialog->nameFilters();
        startDir = fileDialog->directory().absolutePath();
        chooseFile(fileDialog, file);
        dialog->accept(); // QFileDialog::accept, through the public base
    });
    rig.find<QPushButton>("b_import")->click();
    QCOMPARE(caption, QStringLiteral("Import FFB Device Configuration"));
    QCOMPARE(filters, QStringList(QStringLiteral("Device Config (*.tavconf)")));
    QCOMPARE(startDir, QFileInfo(file).absolutePath());
    QCOMPARE(rig.message(), QStringLiteral("Configuration Imported Successfully"));
    QCOMPARE(buildConfigImage(rig.config), exported);
    QVERIFY(rig.window->windowTitle().endsWith(QStringLiteral(" - My Setup *")));
}

void TestMainWindow::exportAddsTheExtension()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    Rig rig;
    m_answerer->expect([&](QDialog *dialog) {
        auto *fileDialog = qobject_cast<QFileDialog *>(dialog);
        QVERIFY(fileDialog);
        // Typed without the extension.
        if (QWidget *focus = fileDialog->focusWidget())
            focus->clearFocus();
        fileDialog->selectFile(dir.filePath(QStringLiteral("evening")));
        dialog->accept(); // QFileDialog::accept, through the public base
    });
    rig.find<QPushButton>("b_export")->click();
    QCOMPARE(rig.message(), QStringLiteral("Configuration Exported Successfully"));
    QVERIFY(QFileInfo::exists(dir.filePath(QStringLiteral("evening.tavconf"))));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("evening"))));
}

void TestMainWindow::failingImportChangesNothing()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    Rig rig;
    rig.config.set_master_gain(12);
    const QByteArray before = buildConfigImage(rig.config);
    const QString file = dir.filePath(QStringLiteral("broken.tavconf"));
    {
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(R"({"config": {"master_gain": 99, "swap_xy": "1"}})");
    }
    m_answerer->expect([&](QDialog *dialog) {
        auto *fileDialog = qobject_cast<QFileDialog *>(dialog);
        QVERIFY(fileDialog);
        chooseFile(fileDialog, file);
        dialog->accept(); // QFileDialog::accept, through the public base
    });
    rig.find<QPushButton>("b_import")->click();
    QCOMPARE(rig.message(), QStringLiteral("Unable to parse configuration file"));
    QCOMPARE(buildConfigImage(rig.config), before);
}

void TestMainWindow::cancelledDialogsChangeNothing()
{
    Rig rig;
    rig.window->setExportPath(QStringLiteral("/nonexistent-start"));
    for (const char *button : {"b_import", "b_export"}) {
        m_answerer->expect([](QDialog *dialog) { dialog->reject(); });
        rig.find<QPushButton>(button)->click();
        QCOMPARE(rig.message(), QString());
        QCOMPARE(rig.window->exportPath(), QStringLiteral("/nonexistent-start"));
    }
}

void TestMainWindow::suggestedExportName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::newRow("spaces") << "My Setup"
                            << "My_Setup-2024-03-05_140709.tavconf";
    QTest::newRow("empty") << ""
                           << "ffb_config-2024-03-05_140709.tavconf";
    QTest::newRow("separators") << "../a\\b"
                                << ".._a_b-2024-03-05_140709.tavconf";
    QTest::newRow("twenty") << "ABCDEFGHIJKLMNOPQRST"
                            << "ABCDEFGHIJKLMNOPQRST-2024-03-05_140709.tavconf";
}

void TestMainWindow::suggestedExportName()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    const QDateTime when(QDate(2024, 3, 5), QTime(14, 7, 9));
    QCOMPARE(MainWindow::suggestedExportName(DeviceName::fromString(name), when), expected);
}

void TestMainWindow::titleAndStatusLabel_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("x");
    QTest::addColumn<QString>("y");
    QTest::newRow("encoder/offline") << 0x1F << ""
                                     << "FAULT_ENCODER_I2C"
                                     << "OFFLINE";
    QTest::newRow("ok") << 0x00 << "Setup"
                        << "OK"
                        << "OK";
    QTest::newRow("twenty-char name") << 0xE5 << "ABCDEFGHIJKLMNOPQRST"
                                      << "14"
                                      << "FAULT_UNDERVOLTAGE";
    QTest::newRow("q/d current") << 0xDC << "x"
                                 << "FAULT_UNEXPECTED_Q_CURRENT"
                                 << "FAULT_UNEXPECTED_D_CURRENT";
    QTest::newRow("sense/system") << 0x78 << ""
                                  << "FAULT_CURR_SENSE_BAD_OFFSET"
                                  << "FAULT_SYSTEM";
}

void TestMainWindow::titleAndStatusLabel()
{
    QFETCH(int, fault);
    QFETCH(QString, name);
    QFETCH(QString, x);
    QFETCH(QString, y);
    Rig rig;
    rig.data.set_mot_fault(uint8_t(fault));
    rig.config.set_config_name(DeviceName::fromString(name));
    rig.config.setParametersModified(false);
    QCOMPARE(rig.label(), QStringLiteral("Motor X: %1, Y: %2 | USB: Disconnected").arg(x, y));
    QCOMPARE(rig.window->windowTitle(),
        kTitle + QStringLiteral(" - ")
            + (name.isEmpty() ? QString() : QStringLiteral(" - ") + name));
}

void TestMainWindow::nameFieldsShowWithoutWritingBack()
{
    Rig rig;
    // A 20-character device name is longer than its field allows: shown cut, stored whole.
    const DeviceName longName = DeviceName::fromString(QStringLiteral("ABCDEFGHIJKLMNOPQRST"));
    rig.config.set_device_name(longName);
    QCOMPARE(rig.find<QLineEdit>("ln_device_name")->text(), QStringLiteral("ABCDEFGHIJKLMNO"));
    QVERIFY(rig.config.device_name() == longName);
    // Typing writes the record.
    rig.find<QLineEdit>("ln_config_name")->setText(QStringLiteral("Typed"));
    QCOMPARE(rig.config.config_name().toString(), QStringLiteral("Typed"));
}

void TestMainWindow::firmwareTextShownAsPlainText()
{
    Rig rig;
    // The firmware string comes from the base: markup in it is text, never rendered.
    const QString firmware = QStringLiteral("<b>2.0</b><img src=\"/etc/hostname\">");
    rig.config.setFirmware(firmware);
    auto *label = rig.find<QLabel>("label_fw_version");
    QCOMPARE(label->text(), firmware);
    QCOMPARE(label->textFormat(), Qt::PlainText);
}

void TestMainWindow::modifiedMarkerAndCloseQuestion()
{
    Rig rig;
    QVERIFY(rig.connect());
    QVERIFY(rig.waitForConfig());
    QVERIFY(!rig.window->windowTitle().endsWith(QStringLiteral("*")));
    rig.config.set_master_gain(rig.config.master_gain() ^ 1);
    QVERIFY(rig.window->windowTitle().endsWith(QStringLiteral(" *")));
    QVERIFY(rig.label().contains(QStringLiteral("Modified")));

    // Cancel keeps the window open.
    m_answerer->expectMessageBox(QMessageBox::Cancel);
    QVERIFY(!rig.window->close());
    QVERIFY(rig.window->isVisible());
    QCOMPARE(m_answerer->answered().size(), 1);

    // Apply sends the configuration, then the window closes.
    m_answerer->expectMessageBox(QMessageBox::Apply);
    rig.window->close();
    QCOMPARE(rig.message(), QStringLiteral("Configuration Sent"));
    QTRY_VERIFY(!rig.window->isVisible());
    QTRY_COMPARE(rig.sim.model().activeImage(), buildConfigImage(rig.config));

    // Discard closes without sending.
    rig.window = std::make_unique<MainWindow>(&rig.config, &rig.comm, &rig.data, &rig.effects);
    rig.window->show();
    rig.config.set_master_gain(rig.config.master_gain() ^ 2);
    const int sent = rig.received(2);
    m_answerer->expectMessageBox(QMessageBox::Discard);
    QVERIFY(rig.window->close());
    QTest::qWait(100);
    QCOMPARE(rig.received(2), sent);
}

void TestMainWindow::closingWithoutChangesAsksNothing()
{
    Rig rig;
    QVERIFY(rig.connect());
    QVERIFY(rig.waitForConfig());
    QVERIFY(rig.window->close());
    // cleanup() fails on any dialog that appeared.
}

void TestMainWindow::closeQuestionWhileDisconnectedOffersNoApply()
{
    Rig rig;
    rig.config.set_master_gain(rig.config.master_gain() ^ 4);
    bool hadApply = true;
    m_answerer->expect([&](QDialog *dialog) {
        auto *box = qobject_cast<QMessageBox *>(dialog);
        QVERIFY(box);
        hadApply = box->button(QMessageBox::Apply) != nullptr;
        box->button(QMessageBox::Discard)->click();
    });
    QVERIFY(rig.window->close());
    QVERIFY(!hadApply);
}

void TestMainWindow::applyFromCloseQuestionAfterUnplugKeepsWindow()
{
    Rig rig;
    QVERIFY(rig.connect());
    QVERIFY(rig.waitForConfig());
    rig.config.set_master_gain(rig.config.master_gain() ^ 8);
    // The base goes while the question is open; the user still answers Apply.
    m_answerer->expect([&](QDialog *dialog) {
        auto *box = qobject_cast<QMessageBox *>(dialog);
        QVERIFY(box);
        QVERIFY(box->button(QMessageBox::Apply));
        rig.sim.close();
        QVERIFY(QTest::qWaitFor([&] { return !rig.comm.isConnected(); }, 5000));
        box->button(QMessageBox::Apply)->click();
    });
    QVERIFY(!rig.window->close());
    QTest::qWait(500);
    QVERIFY(rig.window->isVisible());
    QVERIFY(rig.window->hasUnappliedChanges());
    QCOMPARE(rig.message(), QStringLiteral("Not connected"));

    m_answerer->expectMessageBox(QMessageBox::Discard);
    QVERIFY(rig.window->close());
}

void TestMainWindow::eachImageRewritesTheDisplayName()
{
    Rig rig;
    QVERIFY(rig.connect());
    QVERIFY(rig.waitForConfig());
    const QString key = SerialPortManager::registrySubkey(
        rig.comm.vendorIdentifier(), rig.comm.productIdentifier());
    for (const QByteArray &name : {QByteArray("First"), QByteArray(), QByteArray("Second")}) {
        QByteArray image = rig.sim.model().activeImage();
        QVERIFY(ImageFields::writeBytes(image, "device_name", name.leftJustified(20, '\0')));
        rig.window->statusBar()->clearMessage();
        rig.sim.sendPayload(QByteArray(1, char(3)) + image);
        QVERIFY(rig.waitForConfig());
        QCOMPARE(rig.message(), QStringLiteral("Configuration received"));
        // An empty name leaves the trailing blank.
        QCOMPARE(rig.comm.readRegistryString(key, QStringLiteral("OEMName")),
            QStringLiteral("Tavik Brontel FFB ") + QString::fromLatin1(name));
    }
}

void TestMainWindow::windowSettingsPersist()
{
    QSize saved;
    {
        Rig rig;
        const QSize minimum = rig.window->minimumSizeHint();
        rig.window->setGeometry(60, 70, minimum.width() + 40, minimum.height() + 30);
        saved = rig.window->size();
        rig.window->setExportPath(QStringLiteral("/tmp/tavik-exports"));
        QVERIFY(rig.window->close());
    }
    QSettings settings;
    QVERIFY(!settings.value(QStringLiteral("geometry")).toByteArray().isEmpty());
    QVERIFY(!settings.value(QStringLiteral("windowState")).toByteArray().isEmpty());
    QCOMPARE(settings.value(QStringLiteral("exportPath")).toString(),
        QStringLiteral("/tmp/tavik-exports"));

    Rig again;
    QCOMPARE(again.window->size(), saved);
    QCOMPARE(again.window->exportPath(), QStringLiteral("/tmp/tavik-exports"));
}

void TestMainWindow::naturalSizeWithoutSettings()
{
    QSettings().setValue(QStringLiteral("geometry"), QStringLiteral("not a byte array"));
    Rig rig;
    // Nothing could be restored: the window takes its natural size, not the form's.
    QVERIFY(rig.window->size() != QSize(1215, 1145));
    QVERIFY(rig.window->width() >= rig.window->minimumSizeHint().width());
    QVERIFY(rig.window->height() >= rig.window->minimumSizeHint().height());
}

void TestMainWindow::scopeButtonOpensTheRecordedScope()
{
    Rig rig;
    QVERIFY(rig.connect());
    QVERIFY(!rig.window->scopeWindow());
    // Telemetry is recorded before the Scope ever opens.
    QSignalSpy telemetry(&rig.comm, &TavikComm::dataPacketReceived);
    QTRY_VERIFY(telemetry.count() >= 5);
    auto *button = rig.find<QPushButton>("b_scope");
    QVERIFY(button);
    QCOMPARE(button->text(), QString::fromUtf8("Scope…"));
    QVERIFY(rig.find<QWidget>("tab_debug")->isAncestorOf(button));
    button->click();
    ScopeWindow *scope = rig.window->scopeWindow();
    QVERIFY(scope);
    QVERIFY(scope->isVisible());
    QVERIFY(scope->panel()->viewRing().size() >= telemetry.count());
    // A second click raises the same window.
    scope->hide();
    button->click();
    QCOMPARE(rig.window->scopeWindow(), scope);
    QVERIFY(scope->isVisible());
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
