#include "groundinglog.h"

Q_LOGGING_CATEGORY(lcGrounding, "namorix.grounding", QtInfoMsg)
