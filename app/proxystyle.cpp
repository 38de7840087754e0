#include "proxystyle.h"

int ProxyStyle::styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
    QStyleHintReturn *returnData) const
{
    if (hint == QStyle::SH_ToolTip_WakeUpDelay)
        return 100;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}
