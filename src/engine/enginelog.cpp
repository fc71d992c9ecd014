#include "enginelog.h"

Q_LOGGING_CATEGORY(lcEngine, "namorix.engine", QtInfoMsg)
