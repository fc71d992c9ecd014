#include "processenvironment.h"

#include <cstdlib>
#include <unistd.h>

void ensureSingleThreadedOpenMP(char *argv[])
{
    if (std::getenv("OMP_THREAD_LIMIT"))
        return;
    ::setenv("OMP_THREAD_LIMIT", "1", 1);
    ::execv("/proc/self/exe", argv); // returns only on failure: run on, just slower
}
