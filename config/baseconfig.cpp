#include "baseconfig.h"

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
