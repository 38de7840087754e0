#include "linklog.h"

Q_LOGGING_CATEGORY(lcLink, "tavik.link")
