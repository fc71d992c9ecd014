#include "apilog.h"

Q_LOGGING_CATEGORY(lcAPI, "namorix.api", QtInfoMsg)
