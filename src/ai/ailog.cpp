#include "ailog.h"

Q_LOGGING_CATEGORY(lcAI, "namorix.ai", QtInfoMsg)
