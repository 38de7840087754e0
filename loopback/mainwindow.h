#pragma once

#include "hiddevice.h"
#include "idlistmodel.h"
#include "loopbackreport.h"

#include <SDL.h>

#include <QList>
#include <QMainWindow>
#include <QTimer>

#include <array>
#include <cstdint>
#include <memory>

Q_DECLARE_METATYPE(SDL_Event)

namespace Ui {
class MainWindow;
}
class QLabel;
class QPushButton;
class SdlEventThread;

// The chosen joystick. The instance id identifies it across hot-plugging; device indices shift.
struct JoystickRecord
{
    int deviceIndex = -1;
    SDL_JoystickGUID guid {};
    SDL_Joystick *handle = nullptr;
    SDL_JoystickID instanceId = -1;
};

// Chooses the joystick and the base, shows the raw button state and forwards every change
// as a report. All joystick and HID calls happen here on the GUI thread; the event thread
// only waits for events.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    static constexpr int kReconnectIntervalMs = 1000;

    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Braced UUID text of a joystick GUID, as stored in "savedInput".
    static QString guidText(const SDL_JoystickGUID &guid);

    // Without a system tray a hidden window could never be shown again: closing then ends the
    // program, and the window says so.
    void setRunInBackground(bool runInBackground);
    bool runsInBackground() const { return m_runInBackground; }

    const LoopbackReport &report() const { return m_report; }
    uint64_t buttonState() const { return m_buttons; }
    const QList<QPushButton *> &buttonIndicators() const { return m_indicators; }
    bool isJoystickOpen() const { return m_joystick.handle != nullptr; }
    SDL_JoystickID openJoystickInstance() const { return m_joystick.instanceId; }
    bool isOutputOpen() const { return m_output.isOpen(); }
    QString outputSerial() const { return m_output.info().serialNumber; }

Q_SIGNALS:
    void buttonsChanged(uint64_t buttons);
    void sdlEvent(SDL_Event event);
    void onClosed();

public Q_SLOTS:
    void refreshInputList();
    void refreshOutputList();

private Q_SLOTS:
    void on_cb_source_currentIndexChanged(int index);
    void on_cb_source_activated(int index);
    void on_cb_dest_currentIndexChanged(int index);
    void on_pushButton_clicked();
    void on_cb_dest_activated(int index);

    void handleButtons(uint64_t buttons);
    void handleSdlEvent(const SDL_Event &event);
    void reconnectOutput();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void selectJoystickRow(int row);
    void closeJoystick();
    void releaseButtons();
    void rebuildIndicators(int buttonCount);
    void refreshOutputs(const QString &preferredSerial);
    void selectOutputRow(int row);
    void writeReport();

    IdListModel m_inputModel;
    IdListModel m_outputModel;
    HidDevice m_output;
    JoystickRecord m_joystick;
    LoopbackReport m_report;
    QVector<HidDeviceInfo> m_outputDevices;
    uint64_t m_buttons = 0;
    QList<QPushButton *> m_indicators;
    std::unique_ptr<Ui::MainWindow> ui;

    // Which joystick last moved each hat, so a removed joystick leaves no hat pushed.
    std::array<SDL_JoystickID, LoopbackReport::kHatCount> m_hatOwner;
    // Serial number of a base whose writes failed; it is reopened when it shows up again.
    QString m_lostSerial;
    QTimer m_reconnectTimer;
    bool m_refreshingInput = false;
    bool m_refreshingOutput = false;
    bool m_joysticksAvailable = false;
    bool m_runInBackground = true;
    QLabel *m_noTrayLabel = nullptr;
    std::unique_ptr<SdlEventThread> m_eventThread;
};
