#include "headlesslog.h"

Q_LOGGING_CATEGORY(lcHeadless, "tavik.headless")
