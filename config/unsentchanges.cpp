#include "unsentchanges.h"

#include "deviceconfig.h"

UnsentChanges::UnsentChanges(DeviceConfig *config, QObject *parent)
    : QObject(parent)
    , m_config(config)
{
    encodeConfigImage(*m_config, m_reference);
    connect(m_config, &BaseConfig::parameterChanged, this, &UnsentChanges::onParameterChanged);
    connect(m_config, &BaseConfig::changesFinished, this,
        [this](BaseConfig::ChangeOrigin origin, int) { onChangesFinished(origin); });
}

void UnsentChanges::markInSync()
{
    encodeConfigImage(*m_config, m_reference);
    setUnsent(false);
}

void UnsentChanges::onParameterChanged()
{
    // Values of a batch are judged together when it ends.
    if (m_config->isInBatch())
        return;
    evaluate();
}

void UnsentChanges::onChangesFinished(BaseConfig::ChangeOrigin origin)
{
    if (origin == BaseConfig::ChangeOrigin::ActiveConfig)
        markInSync();
    else
        evaluate();
}

void UnsentChanges::evaluate()
{
    ConfigImage current;
    encodeConfigImage(*m_config, current);
    setUnsent(current != m_reference);
}

void UnsentChanges::setUnsent(bool unsent)
{
    if (m_unsent == unsent)
        return;
    m_unsent = unsent;
    Q_EMIT unsentChangesChanged(m_unsent);
}
