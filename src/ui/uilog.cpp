#include "uilog.h"

Q_LOGGING_CATEGORY(lcUI, "namorix.ui", QtInfoMsg)
