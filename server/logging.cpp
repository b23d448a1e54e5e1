#include "logging.h"

Q_LOGGING_CATEGORY(lcServer, "caleprodu.server", QtInfoMsg)
