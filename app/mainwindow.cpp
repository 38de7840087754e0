#include "mainwindow.h"
#include "portproblemnotice.h"
#include "ui_mainwindow.h"

#include "applog.h"
#include "buttonmappingtab.h"
#include "autocalibration.h"
#include "configbinder.h"
#include "configfile.h"
#include "configsafety.h"
#include "datapacket.h"
#include "debugconsole.h"
#include "deviceconfig.h"
#include "effectlistdelegate.h"
#include "effectlistmodel.h"
#include "effectstab.h"
#include "livepanel.h"
#include "platformregistry.h"
#include "scopewindow.h"
#include "settingstab.h"
#include "tavikcomm.h"
#include "telemetryrecorder.h"
#include "unsentchanges.h"
#include "wheelguard.h"
#include "wireformat.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTimer>

namespace {

const char *const kGeometryKey = "geometry";
const char *const kWindowStateKey = "windowState";
const char *const kExportPathKey = "exportPath";

// Time the event loop gets to write a configuration sent from the close question before the
// window really closes (the serial port writes from the event loop).
constexpr int kFlushBeforeCloseMs = 300;

const char *const kMotorFaultNames[16] = {
    "OK",
    "FAULT_ENCODER_I2C",
    "FAULT_ENCODER_MAGNET",
    "FAULT_PLL_UNSTABLE_GAIN",
    "FAULT_MOTOR_OVERCURRENT",
    "FAULT_UNDERVOLTAGE",
    "FAULT_OVERMODULATION",
    "FAULT_CURR_SENSE_BAD_OFFSET",
    "FAULT_SYSTEM",
    "FAULT_ENCODER_ID",
    "FAULT_ENCODER_CONF",
    "FAULT_ISENSE_SATURATION",
    "FAULT_UNEXPECTED_D_CURRENT",
    "FAULT_UNEXPECTED_Q_CURRENT",
    "14",
    "OFFLINE",
};

} // namespace

MainWindow::MainWindow(DeviceConfig *config, TavikComm *comm, DataPacket *data,
    EffectListModel *effects, QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
    , m_config(config)
    , m_comm(comm)
    , m_data(data)
    , m_effects(effects)
{
    {
        const QVariant stored = QSettings().value(kExportPathKey, QString());
        m_exportPath = stored.canConvert<QString>() ? stored.toString() : QString();
    }

    ui->setupUi(this);

    setStyleSheet(QStringLiteral("font-size: 10pt;"));
    setWindowTitle(QString::fromLatin1(kTitle));

    // Bindings of the window's own fields.
    connect(m_config, &BaseConfig::firmwareChanged, ui->label_fw_version, &QLabel::setText);
    // The tabs' controls, bound to the record through their binding rows (the name fields
    // among them; the title follows the configuration name).
    m_binder = new ConfigBinder(m_config, this);
    m_settingsTab = new SettingsTab(ui->tab_settings, m_binder, m_comm, m_data, this);
    m_effectsTab = new EffectsTab(ui->scrollAreaWidgetContents, m_binder, m_comm, m_data, this);
    auto *wheelGuard = new WheelGuard(this);
    wheelGuard->guard(ui->tab_settings);
    wheelGuard->guard(ui->tab_effects);
    // The desktop session ending must never wait for the close question.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this] { prepareForSessionEnd(); });
    connect(m_config, &DeviceConfig::config_nameChanged, this, &MainWindow::updateStatus);
    buildDebugTools();

    ui->left_frame->setEnabled(m_comm->isConnected());

    m_statusLabel = new QLabel(QStringLiteral("Motor X: - Y: - | Disconnected"));
    m_statusLabel->setTextFormat(Qt::RichText);
    connect(m_data, &DataPacket::mot_faultChanged, this, &MainWindow::updateStatus);
    updateStatus();
    statusBar()->addPermanentWidget(m_statusLabel, 0);

    connect(m_comm, &SerialPortManager::connectedChanged, this, &MainWindow::onConnectedChanged);
    new PortProblemNotice(m_comm, statusBar(), this);

    connect(ui->button_write_config, &QPushButton::clicked, this, &MainWindow::applyConfiguration);
    connect(ui->button_store_config, &QPushButton::clicked, this, &MainWindow::storeConfiguration);
    connect(ui->button_reload_config, &QPushButton::clicked, this,
        &MainWindow::loadStoredConfiguration);
    connect(ui->button_revert, &QPushButton::clicked, this, &MainWindow::revertConfiguration);
    connect(ui->b_reset_config, &QPushButton::clicked, this, &MainWindow::resetConfiguration);
    connect(m_comm, &TavikComm::configReceived, this, &MainWindow::onConfigReceived);
    connect(m_comm, &TavikComm::configRefused, this, &MainWindow::onConfigRefused);
    connect(m_comm, &TavikComm::configCompatibleChanged, this, &MainWindow::updateCommandButtons);
    connect(ui->b_export, &QPushButton::clicked, this, &MainWindow::exportConfiguration);
    connect(ui->b_import, &QPushButton::clicked, this, &MainWindow::importConfiguration);

    // The modified marker follows the record's flag; the close question asks when the record
    // differs from what the base runs (last reported active, or last sent from anywhere).
    connect(m_config, &BaseConfig::parametersModifiedChanged, this, &MainWindow::updateStatus);
    m_unsent = new UnsentChanges(m_config, this);
    connect(m_comm, &TavikComm::configSent, m_unsent, &UnsentChanges::markInSync);

    m_scopeRecorder = new TelemetryRecorder(m_comm, TelemetryRecorder::kDefaultCapacity, this);
    auto *scopeButton = new QPushButton(tr("Scope…"), ui->tab_debug);
    scopeButton->setObjectName(QStringLiteral("b_scope"));
    scopeButton->setToolTip(tr("Plot the live telemetry over time"));
    ui->horizontalLayout_debug_commands->addWidget(scopeButton);
    connect(scopeButton, &QPushButton::clicked, this, &MainWindow::showScope);
    m_safety = new ConfigSafety(m_config, m_comm, this);
    m_safety->install(menuBar(), m_binder, ui->tabWidget);

    setFocusPolicy(Qt::StrongFocus);

    clearDirectInputCalibration();

    new ButtonMappingTab(this, ui->tab_mapping, m_config, m_data);

    updateCommandButtons();
    restoreWindowSettings();
}

MainWindow::~MainWindow()
{
    delete ui;
}

bool MainWindow::hasUnappliedChanges() const
{
    return m_unsent->hasUnsentChanges();
}

QString MainWindow::motorFaultName(unsigned code)
{
    return QString::fromLatin1(kMotorFaultNames[code & 0x0F]);
}

QString MainWindow::suggestedExportName(const DeviceName &configName, const QDateTime &now)
{
    QString name = configName.toString();
    if (name.isEmpty()) {
        name = QStringLiteral("ffb_config");
    } else {
        // A name is free text from the base or a file: keep it from naming another folder.
        for (QChar &c : name) {
            if (c == QLatin1Char(' ') || c == QLatin1Char('/') || c == QLatin1Char('\\')
                || c.unicode() < 0x20)
                c = QLatin1Char('_');
        }
    }
    return QStringLiteral("%1-%2.tavconf")
        .arg(name, now.toString(QStringLiteral("yyyy-MM-dd_hhmmss")));
}

void MainWindow::updateStatus()
{
    const unsigned fault = m_data->mot_fault();
    const bool connected = m_comm->isConnected();
    const bool modified = m_config->parametersModified();

    QString text
        = QStringLiteral("Motor X: %1, Y: %2 | USB: %3")
              .arg(motorFaultName(fault >> 4), motorFaultName(fault),
                  connected ? QStringLiteral("<b>Connected</b>") : QStringLiteral("Disconnected"));
    // The marker stays short so the permanent label never widens the window; the reason is
    // in its tool tip (and the endpoint's error box showed it in full).
    if (!m_refusedReason.isEmpty())
        text += QStringLiteral(" | <span style=\"color:#c00000;\">Configuration refused</span>");
    if (modified)
        text += QStringLiteral(" | <b>*</b> Modified");

    QString title = QString::fromLatin1(kTitle) + QStringLiteral(" - ") + m_comm->serialNumber();
    const QString name = m_config->config_name().toString();
    if (!name.isEmpty())
        title += QStringLiteral(" - %1").arg(name);
    if (modified)
        title += QStringLiteral(" *");

    setWindowTitle(title);
    m_statusLabel->setText(text);
    m_statusLabel->setToolTip(m_refusedReason.isEmpty()
            ? QString()
            : QStringLiteral("Configuration refused: %1").arg(m_refusedReason));
}

void MainWindow::onConnectedChanged(bool connected)
{
    ui->left_frame->setEnabled(connected);
    if (!connected)
        m_refusedReason.clear();
    updateCommandButtons();
    updateStatus();
}

void MainWindow::updateCommandButtons()
{
    const bool connected = m_comm->isConnected();
    // After an image of another version nothing we build would be understood by the base.
    const bool compatible = connected && m_comm->isConfigCompatible();
    ui->button_reload_config->setEnabled(connected);
    ui->button_store_config->setEnabled(compatible);
    ui->button_write_config->setEnabled(compatible);
    ui->button_revert->setEnabled(connected);
}

void MainWindow::onConfigReceived()
{
    statusBar()->showMessage(QStringLiteral("Configuration received"), 2000);
    if (!m_refusedReason.isEmpty()) {
        m_refusedReason.clear();
        updateCommandButtons();
        updateStatus();
    }

    const QString key = SerialPortManager::registrySubkey(
        m_comm->vendorIdentifier(), m_comm->productIdentifier());
    const QString displayName
        = QStringList {QString::fromLatin1(kDisplayNamePrefix), m_config->device_name().toString()}
              .join(QLatin1Char(' '));
    const long status
        = m_comm->writeRegistryString(key, SerialPortManager::registryNameValue(), displayName);
    if (status != 0)
        qCDebug(lcApp) << "Display name not written, status" << status;
}

void MainWindow::onConfigRefused(const QString &reason)
{
    m_refusedReason = reason.isEmpty() ? QStringLiteral("incompatible version") : reason;
    statusBar()->showMessage(QStringLiteral("Configuration refused"), 5000);
    updateCommandButtons();
    updateStatus();
}

bool MainWindow::requireConnection()
{
    if (m_comm->isConnected())
        return true;
    statusBar()->showMessage(QStringLiteral("Not connected"), 2000);
    return false;
}

void MainWindow::applyConfiguration()
{
    if (!requireConnection())
        return;
    if (!m_comm->sendConfig()) {
        statusBar()->showMessage(QStringLiteral("Configuration not sent: the base's "
                                                "configuration format is not supported"),
            3000);
        return;
    }
    statusBar()->showMessage(QStringLiteral("Configuration Sent"), 1000);
}

void MainWindow::storeConfiguration()
{
    if (!requireConnection() || !m_safety->backupBeforeStore())
        return;
    if (!m_comm->storeConfig()) {
        statusBar()->showMessage(QStringLiteral("Configuration not stored: the base's "
                                                "configuration format is not supported"),
            3000);
        return;
    }
    statusBar()->showMessage(QStringLiteral("Configuration Stored"), 1000);
}

void MainWindow::loadStoredConfiguration()
{
    if (!requireConnection())
        return;
    m_comm->getStoredConfig();
    statusBar()->showMessage(QStringLiteral("Loading the stored configuration"), 1000);
}

void MainWindow::revertConfiguration()
{
    if (!requireConnection())
        return;
    m_comm->getConfig();
    statusBar()->showMessage(QStringLiteral("Reading the active configuration"), 1000);
}

void MainWindow::resetConfiguration()
{
    if (!requireConnection())
        return;
    const auto answer = QMessageBox::question(this, QStringLiteral("Test"),
        QStringLiteral("Are you sure you want to reset configuration to firmware default?"),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::NoButton);
    if (answer != QMessageBox::Yes)
        return;
    // The connection may have gone while the question was open.
    if (!requireConnection())
        return;
    m_safety->backupBefore(QStringLiteral("Reset"));
    m_comm->resetConfig();
    statusBar()->showMessage(QStringLiteral("Configuration reset to firmware defaults"), 2000);
}

void MainWindow::importConfiguration()
{
    const QString start
        = m_exportPath.isEmpty() ? QStringLiteral("ffb_config.tavconf") : m_exportPath;
    const QString file = QFileDialog::getOpenFileName(this,
        QStringLiteral("Import FFB Device Configuration"), start,
        QStringLiteral("Device Config (*.tavconf)"), nullptr, QFileDialog::DontUseNativeDialog);
    if (file.isEmpty())
        return;
    m_exportPath = QFileInfo(file).absolutePath();

    const ConfigFileResult result = importConfig(*m_config, file);
    if (result) {
        m_safety->backupBefore(QStringLiteral("Import"));
        statusBar()->showMessage(QStringLiteral("Configuration Imported Successfully"), 2000);
    } else {
        // The status bar keeps the message users and their guides know; the log says why.
        qCWarning(lcApp).noquote() << "Import of" << file << "failed:" << result.error;
        statusBar()->showMessage(QStringLiteral("Unable to parse configuration file"), 1000);
    }
}

void MainWindow::exportConfiguration()
{
    QString suggestion = suggestedExportName(m_config->config_name(), QDateTime::currentDateTime());
    if (!m_exportPath.isEmpty())
        suggestion = m_exportPath + QLatin1Char('/') + suggestion;
    QFileDialog dialog(this, QStringLiteral("Export FFB Device Configuration"), suggestion,
        QStringLiteral("FFB Device Config (*.tavconf)"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // A name typed without the extension still gives a file the import dialog lists (and the
    // overwrite question is asked for that name).
    dialog.setDefaultSuffix(QStringLiteral("tavconf"));
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString file = dialog.selectedFiles().value(0);
    if (file.isEmpty())
        return;
    m_exportPath = QFileInfo(file).absolutePath();

    const ConfigFileResult result = exportConfig(*m_config, file, m_comm->serialNumber());
    if (result) {
        statusBar()->showMessage(QStringLiteral("Configuration Exported Successfully"), 2000);
    } else {
        qCWarning(lcApp).noquote() << "Export to" << file << "failed:" << result.error;
        statusBar()->showMessage(QStringLiteral("Failed to Export Configuration"), 2000);
    }
}

void MainWindow::restoreWindowSettings()
{
    QSettings settings;
    const QVariant geometry = settings.value(kGeometryKey, QByteArray());
    const QVariant state = settings.value(kWindowStateKey, QByteArray());
    const bool geometryRestored
        = geometry.type() == QVariant::ByteArray && restoreGeometry(geometry.toByteArray());
    const bool stateRestored
        = state.type() == QVariant::ByteArray && restoreState(state.toByteArray(), 0);
    if (!geometryRestored && !stateRestored)
        adjustSize();
}

void MainWindow::clearDirectInputCalibration()
{
    if (PlatformRegistry *registry = m_comm->registry())
        registry->clearDirectInputCalibration(wire::kVendorId);
}

void MainWindow::saveWindowSettings()
{
    QSettings().setValue(kGeometryKey, saveGeometry());
    QSettings().setValue(kWindowStateKey, saveState(0));
    QSettings().setValue(kExportPathKey, m_exportPath);
}

void MainWindow::prepareForSessionEnd()
{
    m_sessionEnding = true;
    // The session may still be cancelled by another program: ask again on a later close.
    QTimer::singleShot(0, this, [this] { m_sessionEnding = false; });
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // A range calibration still running ends here, so the record (and an Apply from the
    // question below) carries the user's master gain, not the sweep's zero.
    m_autoCalibration->finish();
    if (m_comm->isCalibrating())
        m_comm->cancelAutoCalibration();
    if (!m_closeConfirmed && !m_sessionEnding && !qApp->isSavingSession()
        && hasUnappliedChanges()) {
        const bool connected = m_comm->isConnected();
        QMessageBox box(QMessageBox::Question, QStringLiteral("Unapplied changes"),
            connected ? QStringLiteral("The configuration was changed but not applied "
                                       "to the base. Apply it before closing?")
                      : QStringLiteral("The configuration was changed but not applied "
                                       "to the base, which is not connected. Close "
                                       "and discard the changes?"),
            QMessageBox::NoButton, this);
        if (connected && m_comm->isConfigCompatible())
            box.addButton(QMessageBox::Apply);
        box.addButton(QMessageBox::Discard);
        box.addButton(QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Cancel);
        box.setEscapeButton(QMessageBox::Cancel);
        box.exec();
        const auto answer = box.standardButton(box.clickedButton());
        if (answer == QMessageBox::Apply) {
            applyConfiguration();
            // The base may have gone while the question was open: then nothing was sent, the
            // status bar says why, and the window stays with the changes.
            if (hasUnappliedChanges()) {
                event->ignore();
                return;
            }
            // Close again once the event loop has written the configuration to the port.
            m_closeConfirmed = true;
            event->ignore();
            QTimer::singleShot(kFlushBeforeCloseMs, this, &QWidget::close);
            return;
        }
        if (answer != QMessageBox::Discard) {
            event->ignore();
            return;
        }
    }
    m_closeConfirmed = true;
    saveWindowSettings();
    m_effectsTab->closeDialogs();
    QMainWindow::closeEvent(event);
}

void MainWindow::buildDebugTools()
{
    LivePanel::Widgets live;
    live.frame = ui->left_frame;
    live.paramGrid = ui->liveParamGrid;
    live.axisView = ui->axisView;
    live.hatsGrid = ui->hats_grid;
    live.z = ui->prog_z;
    live.rx = ui->prog_rx;
    live.ry = ui->prog_ry;
    live.rz = ui->prog_rz;
    live.slider = ui->prog_slider;
    live.buttonStatus = ui->button_status;
    m_livePanel = new LivePanel(live, m_data, m_effects, this);

    ui->effects_list->setModel(m_effects);
    // A view does not own its delegate: the window does.
    auto *delegate = new MyDelegate(this);
    ui->effects_list->setItemDelegate(delegate);
    ui->effects_list->applyEffectListSettings();

    DebugConsole::Widgets debug;
    debug.text = ui->debug_text;
    debug.cmdline = ui->cmdline;
    debug.resetMotors = ui->b_reset_motors;
    debug.testFans = ui->b_test_fans;
    debug.logData = ui->b_logdata;
    debug.forceSweep = ui->b_force_sweep;
    debug.statusBar = statusBar();
    m_debugConsole = new DebugConsole(debug, m_comm, this);

    m_autoCalibration
        = new AutoCalibration(ui->b_autocal, m_config, m_comm, m_data, statusBar(), this);

    // The live panel is as wide as its values need, never squeezed and never widened:
    // room the user gives the window goes to the tabs.
    ui->left_frame->setFixedWidth(ui->left_frame->sizeHint().width());
}

void MainWindow::on_cmdline_returnPressed()
{
    // The line stays in the field.
    m_debugConsole->runCommand(ui->cmdline->text());
}

void MainWindow::showScope()
{
    if (!m_scopeWindow)
        m_scopeWindow = new ScopeWindow(m_scopeRecorder, this);
    m_scopeWindow->show();
    m_scopeWindow->raise();
    m_scopeWindow->activateWindow();
}

ScopeWindow *MainWindow::scopeWindow() const
{
    return m_scopeWindow.data();
}
