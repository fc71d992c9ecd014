#include "applog.h"

Q_LOGGING_CATEGORY(lcApp, "namorix.app", QtInfoMsg)
