#pragma once

#include "common/processenvironment.h"

#include <QByteArray>

// Recognition as the app runs it (one OpenMP thread), and pictures drawn without a display.
inline void prepareBenchProcess(char *argv[])
{
    ensureSingleThreadedOpenMP(argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}
