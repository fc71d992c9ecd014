#include "extractlog.h"

Q_LOGGING_CATEGORY(lcExtract, "namorix.extract", QtInfoMsg)
