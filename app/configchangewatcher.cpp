#include "configchangewatcher.h"

#include <QMetaMethod>
#include <QMetaProperty>

ConfigChangeWatcher::ConfigChangeWatcher(QObject *target, QObject *parent)
    : QObject(parent)
{
    const QMetaObject *meta = target->metaObject();
    const QMetaMethod slot = metaObject()->method(metaObject()->indexOfSlot("onNotify()"));
    // Only the properties the object's own class declares: inherited ones (such as a status
    // flag of a base class) are not parameters.
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        if (!property.hasNotifySignal())
            continue;
        // A slot without arguments accepts any signal.
        if (connect(target, property.notifySignal(), this, slot))
            ++m_watched;
    }
}

void ConfigChangeWatcher::onNotify()
{
    Q_EMIT changed();
}
