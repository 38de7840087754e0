#pragma once

#include "tunedialog.h"

#include <QList>
#include <QMetaProperty>

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
    struct Term
    {
        QDoubleSpinBox *spin;
        QMetaProperty property;
    };
    void bindTerm(QDoubleSpinBox *spin, const char *term);
    Q_SLOT void showTerms();
    QList<Term> m_terms;

    DeviceConfig *m_config;
    bool m_showing = false;
};
