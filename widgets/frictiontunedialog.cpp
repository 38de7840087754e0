#include "frictiontunedialog.h"

#include "deviceconfig.h"
#include "ui_tunedialog.h"

#include <QScopedValueRollback>

#include <algorithm>
#include <cmath>

FrictionTuneDialog::FrictionTuneDialog(DeviceConfig *config, QWidget *parent)
    : TuneDialog(parent)
    , m_config(config)
{
    bindTerm(ui->spin_P, &DeviceConfig::frictionP, &DeviceConfig::set_frictionP,
        &DeviceConfig::frictionPChanged);
    bindTerm(ui->spin_I, &DeviceConfig::frictionI, &DeviceConfig::set_frictionI,
        &DeviceConfig::frictionIChanged);
    bindTerm(ui->spin_D, &DeviceConfig::frictionD, &DeviceConfig::set_frictionD,
        &DeviceConfig::frictionDChanged);
}

uint16_t FrictionTuneDialog::hundredthsFromValue(double value)
{
    const double hundredths = std::round(value * 100.0);
    if (!std::isfinite(hundredths))
        return 0;
    return static_cast<uint16_t>(std::clamp(hundredths, 0.0, 65535.0));
}

double FrictionTuneDialog::valueFromHundredths(uint16_t hundredths)
{
    return static_cast<float>(hundredths) / 100.0f;
}

void FrictionTuneDialog::bindTerm(QDoubleSpinBox *spin, Getter get, Setter set, Notify changed)
{
    if (!m_config)
        return;
    connect(spin, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
        [this, get, set](double value) {
            // A value being shown is not an edit: it must not be rounded back into the record.
            if (m_showing)
                return;
            const uint16_t stored = hundredthsFromValue(value);
            if (stored == (m_config->*get)())
                return;
            (m_config->*set)(stored);
        });
    auto show = [this, spin](uint16_t value) {
        const QScopedValueRollback<bool> guard(m_showing, true);
        spin->setValue(valueFromHundredths(value));
    };
    connect(m_config, changed, this, show);
    show((m_config->*get)());
}
