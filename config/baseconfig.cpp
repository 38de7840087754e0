#include "baseconfig.h"

BaseConfig::BaseConfig(QObject *parent)
    : QObject(parent)
{
}

void BaseConfig::setFirmware(const QString &version)
{
    m_firmware = version;
    emit firmwareChanged(m_firmware);
}

void BaseConfig::setParametersModified(bool changed)
{
    if (m_parametersModified == changed)
        return;
    m_parametersModified = changed;
    emit parametersModifiedChanged(m_parametersModified);
}

void BaseConfig::resetParametersModified()
{
    m_parametersModified = false;
    emit parametersModifiedChanged(false);
}
