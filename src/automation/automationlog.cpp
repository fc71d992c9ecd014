#include "automationlog.h"

Q_LOGGING_CATEGORY(lcQueue, "namorix.queue", QtInfoMsg)
Q_LOGGING_CATEGORY(lcWatch, "namorix.watch", QtInfoMsg)
