#include "naminglog.h"

Q_LOGGING_CATEGORY(lcNaming, "namorix.naming", QtInfoMsg)
