#include "loopbacklog.h"

Q_LOGGING_CATEGORY(lcLoopback, "tavik.loopback")
