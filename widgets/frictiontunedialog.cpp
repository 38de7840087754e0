#include "frictiontunedialog.h"

#include "deviceconfig.h"
#include "ui_tunedialog.h"

#include <QMetaProperty>
#include <QScopedValueRollback>

#include <algorithm>
#include <cmath>

FrictionTuneDialog::FrictionTuneDialog(DeviceConfig *config, QWidget *parent)
    : TuneDialog(parent)
    , m_config(config)
{
    bindTerm(ui->spin_P, "frictionP");
    bindTerm(ui->spin_I, "frictionI");
    bindTerm(ui->spin_D, "frictionD");
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

void FrictionTuneDialog::bindTerm(QDoubleSpinBox *spin, const char *term)
{
    if (!m_config)
        return;
    const QMetaObject *mo = m_config->metaObject();
    const QMetaProperty property = mo->property(mo->indexOfProperty(term));
    if (!property.isValid() || !property.hasNotifySignal())
        return;
    connect(spin, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
        [this, property](double value) {
            // A value being shown is not an edit: it must not be rounded back into the record.
            if (m_showing)
                return;
            const uint16_t stored = hundredthsFromValue(value);
            if (stored == property.read(m_config).value<uint16_t>())
                return;
            property.write(m_config, QVariant::fromValue(stored));
        });
    connect(m_config, property.notifySignal(), this,
        metaObject()->method(metaObject()->indexOfSlot("showTerms()")));
    m_terms.append({spin, property});
    showTerms();
}

void FrictionTuneDialog::showTerms()
{
    const QScopedValueRollback<bool> guard(m_showing, true);
    for (const Term &term : qAsConst(m_terms))
        term.spin->setValue(valueFromHundredths(term.property.read(m_config).value<uint16_t>()));
}
