#include "configuratorresources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace.
static void initResourcesOnce()
{
    Q_INIT_RESOURCE(configurator);
}

void initConfiguratorResources()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    initResourcesOnce();
}
