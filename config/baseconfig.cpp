#include "baseconfig.h"

BaseConfig::OriginScope::OriginScope(BaseConfig &config, ChangeOrigin origin)
    : m_config(config)
{
    if (m_config.m_scopeDepth++ == 0) {
        m_config.m_origin = origin;
        m_config.m_batchChanges = 0;
    }
}

BaseConfig::OriginScope::~OriginScope()
{
    if (--m_config.m_scopeDepth > 0)
        return;
    const ChangeOrigin origin = m_config.m_origin;
    const int changed = m_config.m_batchChanges;
    m_config.m_origin = ChangeOrigin::User;
    m_config.m_batchChanges = 0;
    Q_EMIT m_config.changesFinished(origin, changed);
}

BaseConfig::BaseConfig(QObject *parent)
    : QObject(parent)
{
}

void BaseConfig::setFirmware(const QString &version)
{
    m_firmware = version;
    Q_EMIT firmwareChanged(m_firmware);
}

void BaseConfig::setParametersModified(bool changed)
{
    if (m_parametersModified == changed)
        return;
    m_parametersModified = changed;
    Q_EMIT parametersModifiedChanged(m_parametersModified);
}

void BaseConfig::resetParametersModified()
{
    m_parametersModified = false;
    Q_EMIT parametersModifiedChanged(false);
}

void BaseConfig::noteParameterChanged(int index)
{
    if (m_scopeDepth > 0)
        ++m_batchChanges;
    Q_EMIT parameterChanged(index, m_origin);
}
