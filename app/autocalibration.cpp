#include "autocalibration.h"

#include "datapacket.h"
#include "deviceconfig.h"
#include "tavikcomm.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QSignalBlocker>
#include <QStatusBar>

AutoCalibration::AutoCalibration(QAbstractButton *button, DeviceConfig *config, TavikComm *comm,
    DataPacket *data, QStatusBar *statusBar, QWidget *dialogParent)
    : QObject(button)
    , m_button(button)
    , m_config(config)
    , m_comm(comm)
    , m_data(data)
    , m_statusBar(statusBar)
    , m_dialogParent(dialogParent)
{
    connect(button, &QAbstractButton::toggled, this, &AutoCalibration::onToggled);
    // Every raw position counts, however fast telemetry comes: this is data, not drawing.
    connect(m_data, &DataPacket::raw_xChanged, this, &AutoCalibration::widenX);
    connect(m_data, &DataPacket::raw_yChanged, this, &AutoCalibration::widenY);
}

AutoCalibration::~AutoCalibration()
{
    if (m_sweeping)
        finish();
}

void AutoCalibration::onToggled(bool checked)
{
    if (checked == m_sweeping)
        return;
    if (checked) {
        start();
        return;
    }
    m_sweeping = false;
    if (m_statusBar)
        m_statusBar->showMessage(
            QStringLiteral(
                "Autocalibrate finished. Send/Store configuration to apply new calibration!"),
            5000);
    m_config->set_master_gain(m_savedMasterGain);
}

void AutoCalibration::start()
{
    QMessageBox box(QMessageBox::Information, QStringLiteral("Starting autocalibration"),
        QStringLiteral("Before starting calibration, Master Gain will be set to 0.\n\nOnce "
                       "calibration starts move x and y axes to full min and max "
                       "deflection.\n\nTo undo, uncheck Auto Calibrate and click \"Read "
                       "Configuration\"\n\nTo confirm new calibration uncheck \"Auto "
                       "Calibrate\" button and click \"Store configuration\""),
        QMessageBox::Ok, m_dialogParent);
    box.setObjectName(QLatin1String(kInfoBoxName));
    box.exec();

    m_savedMasterGain = m_config->master_gain();
    if (m_savedMasterGain != 0)
        m_config->set_master_gain(0);
    m_comm->sendConfig();

    const int16_t rawX = m_data->raw_x();
    const int16_t rawY = m_data->raw_y();
    m_config->set_x_angle_max(rawX);
    m_config->set_x_angle_min(rawX);
    m_config->set_y_angle_max(rawY);
    m_config->set_y_angle_min(rawY);
    m_sweeping = true;
    if (m_statusBar)
        m_statusBar->showMessage(QStringLiteral(
            "Autocalibrate in progress! Move all axes to their max and min positions."));
}

void AutoCalibration::widenX()
{
    if (!m_sweeping)
        return;
    const int16_t raw = m_data->raw_x();
    if (raw < m_config->x_angle_min())
        m_config->set_x_angle_min(raw);
    if (m_config->x_angle_max() < raw)
        m_config->set_x_angle_max(raw);
}

void AutoCalibration::widenY()
{
    if (!m_sweeping)
        return;
    const int16_t raw = m_data->raw_y();
    if (raw < m_config->y_angle_min())
        m_config->set_y_angle_min(raw);
    if (m_config->y_angle_max() < raw)
        m_config->set_y_angle_max(raw);
}

void AutoCalibration::finish()
{
    if (!m_sweeping)
        return;
    if (m_button && m_button->isChecked()) {
        // Releasing the button runs the normal end (message and master gain).
        m_button->setChecked(false);
        if (!m_sweeping)
            return;
    }
    m_sweeping = false;
    m_config->set_master_gain(m_savedMasterGain);
}
