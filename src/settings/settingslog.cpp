#include "settingslog.h"

Q_LOGGING_CATEGORY(lcSettings, "namorix.settings", QtInfoMsg)
