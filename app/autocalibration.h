#pragma once
// The window-side range calibration behind "Auto Calibrate": with the master gain at zero on
// the base, the X and Y ranges widen to every raw position the stick reaches while the
// button stays down; releasing it puts the user's master gain back in the record.

#include <QObject>
#include <QPointer>

#include <cstdint>

class DataPacket;
class DeviceConfig;
class QAbstractButton;
class QStatusBar;
class QWidget;
class TavikComm;

class AutoCalibration : public QObject
{
    Q_OBJECT

public:
    static constexpr const char *kInfoBoxName = "tavik_autocal_info";

    AutoCalibration(QAbstractButton *button, DeviceConfig *config, TavikComm *comm,
        DataPacket *data, QStatusBar *statusBar, QWidget *dialogParent);
    ~AutoCalibration() override;

    bool isSweeping() const { return m_sweeping; }
    uint8_t savedMasterGain() const { return m_savedMasterGain; }

    // Ends a sweep the way releasing the button does (window closing): the record gets the
    // user's master gain back.
    void finish();

private:
    void onToggled(bool checked);
    void start();
    void widenX();
    void widenY();

    QPointer<QAbstractButton> m_button;
    DeviceConfig *m_config;
    TavikComm *m_comm;
    DataPacket *m_data;
    QPointer<QStatusBar> m_statusBar;
    QPointer<QWidget> m_dialogParent;
    uint8_t m_savedMasterGain = 0;
    bool m_sweeping = false;
};
