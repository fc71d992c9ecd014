#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcQueue)
Q_DECLARE_LOGGING_CATEGORY(lcWatch)
