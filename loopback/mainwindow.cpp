#include "mainwindow.h"
#include "loopbacklog.h"
#include "sdleventthread.h"
#include "ui_mainwindow.h"

#include <QCloseEvent>
#include <QDebug>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSettings>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QUuid>

static const char kSavedInput[] = "savedInput";
static const char kSavedOutput[] = "savedOutput";

static constexpr int kIndicatorsPerRow = 16;
static constexpr int kIndicatorColumnOffset = 2;

static void initLoopbackResources()
{
    static bool done = false;
    if (!done) {
        Q_INIT_RESOURCE(loopback);
        done = true;
    }
}

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
{
    initLoopbackResources();
    m_hatOwner.fill(-1);
    ui->setupUi(this);
    ui->cb_source->setModel(&m_inputModel);
    ui->cb_source->setModelColumn(IdListModel::NameColumn);
    ui->cb_dest->setModel(&m_outputModel);
    ui->cb_dest->setModelColumn(IdListModel::NameColumn);
    ui->cb_dest->setItemDelegate(new QStyledItemDelegate(ui->cb_dest));

    connect(
        this, &MainWindow::buttonsChanged, this, &MainWindow::handleButtons, Qt::DirectConnection);
    connect(this, &MainWindow::sdlEvent, this, &MainWindow::handleSdlEvent, Qt::QueuedConnection);

    m_reconnectTimer.setInterval(kReconnectIntervalMs);
    connect(&m_reconnectTimer, &QTimer::timeout, this, &MainWindow::reconnectOutput);

    m_joysticksAvailable = SDL_WasInit(SDL_INIT_JOYSTICK) != 0;
    if (!m_joysticksAvailable)
        qCWarning(lcLoopback) << "joystick library not initialised: no input devices";

    refreshInputList();
    refreshOutputList();

    if (m_joysticksAvailable) {
        // Emitting from the event thread queues the event for the GUI thread.
        m_eventThread = std::make_unique<SdlEventThread>(
            [this](const SDL_Event &event) { Q_EMIT sdlEvent(event); });
        m_eventThread->start();
    }
}

MainWindow::~MainWindow()
{
    // First end the event thread: after this no event can be queued for this window, and the
    // ones already queued are discarded with it.
    if (m_eventThread)
        m_eventThread->stop();
    m_reconnectTimer.stop();
    closeJoystick();
    // Leave nothing pressed on the base when the program ends.
    if (m_output.isOpen() && m_report.bytes() != LoopbackReport().bytes()) {
        m_report = LoopbackReport();
        writeReport();
    }
    m_output.close();
    qDebug() << "deleted";
    qDebug() << "deleted";
}

QString MainWindow::guidText(const SDL_JoystickGUID &guid)
{
    const QByteArray bytes(reinterpret_cast<const char *>(guid.data), sizeof guid.data);
    return QUuid::fromRfc4122(bytes).toString(QUuid::WithBraces);
}

void MainWindow::setRunInBackground(bool runInBackground)
{
    m_runInBackground = runInBackground;
    if (!runInBackground && !m_noTrayLabel) {
        m_noTrayLabel = new QLabel(tr("No system tray: closing this window ends the program."));
        m_noTrayLabel->setObjectName(QStringLiteral("label_no_tray"));
        statusBar()->addWidget(m_noTrayLabel);
    }
    if (m_noTrayLabel)
        statusBar()->setVisible(!runInBackground);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    Q_EMIT onClosed();
    if (m_runInBackground) {
        hide();
        event->ignore();
    } else {
        event->accept();
    }
}

// ---- input side -------------------------------------------------------------------------------

void MainWindow::refreshInputList()
{
    QSettings settings;
    const QUuid saved(settings.value(kSavedInput).toString());
    IdListModel::List list;
    int savedRow = -1;
    int openRow = -1;
    const int count = m_joysticksAvailable ? SDL_NumJoysticks() : 0;
    for (int index = 0; index < count; ++index) {
        const char *name = SDL_JoystickNameForIndex(index);
        const SDL_JoystickGUID guid = SDL_JoystickGetDeviceGUID(index);
        if (!name)
            continue;
        if (!saved.isNull() && QUuid(guidText(guid)) == saved)
            savedRow = list.size();
        if (m_joystick.handle && SDL_JoystickGetDeviceInstanceID(index) == m_joystick.instanceId)
            openRow = list.size();
        list.append({QString::fromUtf8(name), index});
    }
    {
        // The reset empties the combo box's selection; that is not a user's choice.
        QScopedValueRollback<bool> guard(m_refreshingInput, true);
        m_inputModel.setList(list);
    }
    // The saved joystick wins (the last one with its GUID); otherwise keep the open one.
    const int row = savedRow >= 0 ? savedRow : openRow;
    if (ui->cb_source->currentIndex() == row)
        selectJoystickRow(row);
    else
        ui->cb_source->setCurrentIndex(row);
}

void MainWindow::on_cb_source_currentIndexChanged(int index)
{
    if (!m_refreshingInput)
        selectJoystickRow(index);
}

void MainWindow::on_cb_source_activated(int)
{
    if (m_joystick.handle)
        QSettings().setValue(kSavedInput, guidText(m_joystick.guid));
}

void MainWindow::selectJoystickRow(int row)
{
    if (row < 0 || row >= m_inputModel.rowCount()) {
        if (m_joystick.handle) {
            closeJoystick();
            releaseButtons();
        }
        return;
    }
    const int index = m_inputModel.idAt(row);
    if (m_joystick.handle && SDL_JoystickGetDeviceInstanceID(index) == m_joystick.instanceId) {
        m_joystick.deviceIndex = index;
        return;
    }
    closeJoystick();
    SDL_Joystick *joystick = SDL_JoystickOpen(index);
    if (!joystick) {
        qCWarning(lcLoopback) << "cannot open joystick" << index << SDL_GetError();
        releaseButtons();
        return;
    }
    m_joystick.deviceIndex = index;
    m_joystick.guid = SDL_JoystickGetGUID(joystick);
    m_joystick.handle = joystick;
    m_joystick.instanceId = SDL_JoystickInstanceID(joystick);

    const int buttonCount = SDL_JoystickNumButtons(joystick);
    if (buttonCount > LoopbackReport::kButtonCount)
        qCInfo(lcLoopback) << "joystick has" << buttonCount << "buttons; forwarding the first"
                           << LoopbackReport::kButtonCount;
    uint64_t state = 0;
    for (int b = 0; b < buttonCount && b < LoopbackReport::kButtonCount; ++b) {
        if (SDL_JoystickGetButton(joystick, b))
            state |= uint64_t(1) << b;
    }
    m_buttons = state;
    rebuildIndicators(buttonCount);
    handleButtons(state);
}

void MainWindow::closeJoystick()
{
    if (!m_joystick.handle)
        return;
    qDebug("JSclose %d", m_joystick.deviceIndex);
    SDL_JoystickClose(m_joystick.handle);
    m_joystick = JoystickRecord();
}

void MainWindow::releaseButtons()
{
    m_buttons = 0;
    rebuildIndicators(0);
    handleButtons(0);
}

void MainWindow::rebuildIndicators(int buttonCount)
{
    qDeleteAll(m_indicators);
    m_indicators.clear();
    // Only the first 64 buttons fit into the report; more indicators would never light.
    const int shown = qBound(0, buttonCount, LoopbackReport::kButtonCount);
    for (int n = 1; n <= shown; ++n) {
        auto *indicator = new QPushButton(QString::number(n), ui->centralwidget);
        indicator->setObjectName(QStringLiteral("button_raw_%1").arg(n));
        indicator->setCheckable(true);
        indicator->setEnabled(false);
        indicator->setFocusPolicy(Qt::NoFocus);
        indicator->setToolTip(tr("Raw button data"));
        indicator->setStyleSheet(
            QStringLiteral("QPushButton { max-width:1.2em;max-height:1.2em; font-size: 1em; } "
                           "QPushButton::checked { border-radius:3px; color: #fff; border: none; "
                           "background-color: red; }"));
        ui->button_status->addWidget(indicator, (n - 1) / kIndicatorsPerRow,
            (n - 1) % kIndicatorsPerRow + kIndicatorColumnOffset);
        m_indicators.append(indicator);
    }
}

void MainWindow::handleButtons(uint64_t buttons)
{
    for (int i = 0; i < m_indicators.size(); ++i) {
        const bool pressed = (buttons >> i) & 1;
        m_indicators.at(i)->setChecked(pressed);
        m_indicators.at(i)->setEnabled(pressed);
    }
    m_report.setButtons(buttons);
    writeReport();
}

void MainWindow::handleSdlEvent(const SDL_Event &event)
{
    switch (event.type) {
    case SDL_JOYHATMOTION: {
        // Hats are forwarded from every attached joystick, not only the chosen one.
        const int hat = event.jhat.hat;
        if (m_report.setHat(hat, event.jhat.value))
            m_hatOwner[size_t(hat)] = event.jhat.which;
        writeReport();
        qDebug("hat %d %d\n", hat, int(event.jhat.value));
        break;
    }
    case SDL_JOYBUTTONDOWN:
    case SDL_JOYBUTTONUP: {
        if (!m_joystick.handle || event.jbutton.which != m_joystick.instanceId)
            break;
        const int button = event.jbutton.button;
        if (button >= LoopbackReport::kButtonCount)
            break;
        const uint64_t bit = uint64_t(1) << button;
        if (event.type == SDL_JOYBUTTONDOWN)
            m_buttons |= bit;
        else
            m_buttons &= ~bit;
        Q_EMIT buttonsChanged(m_buttons);
        break;
    }
    case SDL_JOYDEVICEADDED:
        qDebug("JS added %d", event.jdevice.which);
        refreshInputList();
        break;
    case SDL_JOYDEVICEREMOVED: {
        const SDL_JoystickID removed = event.jdevice.which;
        qDebug("JS removed %d", removed);
        // Nothing a removed joystick held down may stay pressed on the base.
        bool hatsChanged = false;
        for (int hat = 0; hat < LoopbackReport::kHatCount; ++hat) {
            if (m_hatOwner[size_t(hat)] != removed)
                continue;
            m_hatOwner[size_t(hat)] = -1;
            if (m_report.hatCode(hat) != LoopbackReport::kHatCentred) {
                m_report.setHat(hat, SDL_HAT_CENTERED);
                hatsChanged = true;
            }
        }
        if (m_joystick.handle && removed == m_joystick.instanceId) {
            closeJoystick();
            releaseButtons(); // writes the report
        } else if (hatsChanged) {
            writeReport();
        }
        refreshInputList();
        break;
    }
    default:
        break;
    }
}

// ---- output side ------------------------------------------------------------------------------

void MainWindow::refreshOutputList()
{
    QSettings settings;
    refreshOutputs(
        settings.contains(kSavedOutput) ? settings.value(kSavedOutput).toString() : QString());
}

void MainWindow::refreshOutputs(const QString &preferredSerial)
{
    const QVector<HidDeviceInfo> devices = enumerateBases();
    IdListModel::List list;
    int preferredRow = -1;
    int openRow = -1;
    for (int i = 0; i < devices.size(); ++i) {
        const HidDeviceInfo &d = devices.at(i);
        qDebug().noquote() << describeHidDevice(d, false);
        if (!preferredSerial.isNull() && d.serialNumber == preferredSerial)
            preferredRow = i;
        if (m_output.isOpen() && d.serialNumber == m_output.info().serialNumber
            && d.path == m_output.info().path)
            openRow = i;
        list.append({baseLabel(d.vendorId, d.productId, d.product, d.serialNumber), i});
    }
    m_outputDevices = devices;
    {
        QScopedValueRollback<bool> guard(m_refreshingOutput, true);
        m_outputModel.setList(list);
    }
    const int row = preferredRow >= 0 ? preferredRow : openRow;
    if (ui->cb_dest->currentIndex() == row)
        selectOutputRow(row);
    else
        ui->cb_dest->setCurrentIndex(row);
}

void MainWindow::on_cb_dest_currentIndexChanged(int index)
{
    if (!m_refreshingOutput)
        selectOutputRow(index);
}

void MainWindow::on_pushButton_clicked()
{
    refreshOutputList();
}

void MainWindow::on_cb_dest_activated(int)
{
    if (!m_output.info().path.isEmpty())
        QSettings().setValue(kSavedOutput, m_output.info().serialNumber);
}

void MainWindow::selectOutputRow(int row)
{
    qDebug("selected %d", row);
    if (row < 0 || row >= m_outputDevices.size()) {
        // Only a refresh empties the selection: the open base has gone. Watch for its return.
        if (m_output.isOpen()) {
            m_lostSerial = m_output.info().serialNumber;
            m_output.close();
            m_reconnectTimer.start();
        }
        return;
    }
    const HidDeviceInfo &device = m_outputDevices.at(row);
    const bool same = m_output.isOpen() && m_output.info().serialNumber == device.serialNumber
        && m_output.info().path == device.path;
    if (!same) {
        m_output.close();
        qDebug() << "hid_open" << device.path;
        ui->cb_dest->setToolTip(m_outputModel.nameAt(row));
        if (m_output.open(device)) {
            m_reconnectTimer.stop();
            // A newly opened base learns the current state at once.
            writeReport();
        } else {
            qCWarning(lcLoopback) << "cannot open" << device.path;
            // A base that came back but cannot be opened yet is tried again.
            if (!m_reconnectTimer.isActive() || device.serialNumber != m_lostSerial)
                m_reconnectTimer.stop();
        }
    }
    qDebug().noquote() << m_output.description();
}

void MainWindow::writeReport()
{
    if (!m_output.isOpen())
        return;
    if (m_output.write(m_report.data(), LoopbackReport::kSize))
        return;
    qDebug() << "write failed";
    // Most likely the base was unplugged; watch for it to come back under the same serial.
    m_lostSerial = m_output.info().serialNumber;
    m_output.close();
    qCInfo(lcLoopback) << "output lost, waiting for serial" << m_lostSerial;
    m_reconnectTimer.start();
}

void MainWindow::reconnectOutput()
{
    for (const HidDeviceInfo &device : enumerateBases()) {
        if (device.serialNumber == m_lostSerial) {
            qCInfo(lcLoopback) << "output" << m_lostSerial << "is back at" << device.path;
            refreshOutputs(m_lostSerial);
            return;
        }
    }
}
