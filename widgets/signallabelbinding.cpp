#include "signallabelbinding.h"

#include "framepacer.h"

#include <QLabel>

SignalLabelBinding::SignalLabelBinding(const QString &propertyName, QLabel *label)
    : m_propertyName(propertyName)
    , m_label(label)
{
}

void SignalLabelBinding::setPacer(FramePacer *pacer)
{
    if (m_pacer)
        disconnect(m_pacer, nullptr, this, nullptr);
    m_pacer = pacer;
    if (!m_pacer)
        return;
    connect(m_pacer, &FramePacer::frame, this, [this] {
        if (!m_hasPending)
            return;
        m_hasPending = false;
        showValue(m_pendingValue);
    });
    connect(m_pacer, &QObject::destroyed, this, [this] { m_pacer = nullptr; });
}

void SignalLabelBinding::present(int value)
{
    if (!m_pacer) {
        showValue(value);
        return;
    }
    m_pendingValue = value;
    m_hasPending = true;
    m_pacer->request();
}

void SignalLabelBinding::valueChanged(int value)
{
    present(value);
}

void SignalLabelBinding::valueChanged(int16_t value)
{
    present(static_cast<int>(value));
}

void SignalLabelBinding::valueChanged(uint16_t value)
{
    present(static_cast<int>(value));
}

void SignalLabelBinding::showValue(int value)
{
    if (m_label)
        m_label->setText(QString::asprintf("%04d", value));
}
