#pragma once

#include "common/processenvironment.h"

#include <QByteArray>

// Recognition and memory as the app runs them (one OpenMP thread, large buffers handed back), and
// pictures drawn without a display.
inline void prepareBenchProcess(char *argv[])
{
    ensureSingleThreadedOpenMP(argv);
    releaseLargeBuffersPromptly();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}
