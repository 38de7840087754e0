#pragma once

#include "tunedialog.h"

#include <cstdint>

class DeviceConfig;
class QDoubleSpinBox;

// Edits the friction controller terms frictionP, frictionI and frictionD, stored as hundredths.
class FrictionTuneDialog : public TuneDialog
{
    Q_OBJECT

public:
    explicit FrictionTuneDialog(DeviceConfig *config, QWidget *parent = nullptr);

    // Stored hundredths for a shown value, and the value shown for stored hundredths.
    static uint16_t hundredthsFromValue(double value);
    static double valueFromHundredths(uint16_t hundredths);

private:
    using Getter = uint16_t (DeviceConfig::*)() const;
    using Setter = void (DeviceConfig::*)(uint16_t);
    using Notify = void (DeviceConfig::*)(uint16_t);
    void bindTerm(QDoubleSpinBox *spin, Getter get, Setter set, Notify changed);

    DeviceConfig *m_config;
    bool m_showing = false;
};
