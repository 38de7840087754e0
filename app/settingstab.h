#pragma once
// The Settings tab: gains, pots, grip, hats, expert settings and axis setup, built into the
// form's frames and bound to the configuration through binding rows, plus the tab's own rules
// (pot calibration visibility, grip-dependent calibration, damping compensation layout, axis
// centre and range, axis disabling, grip selection sending the configuration).

#include <QList>
#include <QObject>
#include <QPair>

#include <memory>

class ConfigBinder;
class DataPacket;
class DeviceConfig;
class GameControllerPanel;
class QComboBox;
class QGridLayout;
class QLabel;
class QSpinBox;
class QVBoxLayout;
class QWidget;
class TavikComm;

class SettingsTab : public QObject
{
    Q_OBJECT

public:
    // tab is the form's tab_settings with its frames and layouts.
    SettingsTab(QWidget *tab, ConfigBinder *binder, TavikComm *comm, DataPacket *data,
        QObject *parent = nullptr);
    ~SettingsTab() override;

    // The calibration widgets shown for a grip type (tests).
    QList<QWidget *> gripWidgets(int gripType) const;

private:
    void buildGains(QGridLayout *grid);
    void buildPotsGripHats(QVBoxLayout *column);
    void buildExpert(QGridLayout *grid);
    void buildAxes(QGridLayout *grid);
    void buildCalibration();
    void bindRows();
    void connectRules();

    void updatePotCalibration(QComboBox *combo, QWidget *calibration);
    void updateGripWidgets(int gripType);
    void updateDampingCompLayout();
    void updateAxisLabels();
    void setAxisDisabled(bool yAxis, bool disabled);

    template<typename T> T *child(const char *name) const;

    QWidget *m_tab;
    ConfigBinder *m_binder;
    DeviceConfig *m_config;
    TavikComm *m_comm;
    DataPacket *m_data;
    QVBoxLayout *m_extraWidgets = nullptr;
    QGridLayout *m_potGrid = nullptr;
    int m_potCalibrationRow[2] = {0, 0};
    QList<QPair<int, QWidget *>> m_gripWidgets;
    std::unique_ptr<GameControllerPanel> m_controllerPanel;
};
