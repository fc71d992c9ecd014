#include "companionlog.h"

Q_LOGGING_CATEGORY(lcCompanion, "namorix.companion", QtInfoMsg)
