#include "storelog.h"

Q_LOGGING_CATEGORY(lcStore, "namorix.store", QtInfoMsg)
