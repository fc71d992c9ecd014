#include "processenvironment.h"

#include <cstdlib>
#include <malloc.h>
#include <unistd.h>

void ensureSingleThreadedOpenMP(char *argv[])
{
    if (std::getenv("OMP_THREAD_LIMIT"))
        return;
    ::setenv("OMP_THREAD_LIMIT", "1", 1);
    ::execv("/proc/self/exe", argv); // returns only on failure: run on, just slower
}

void releaseLargeBuffersPromptly()
{
    constexpr int LargeBuffer = 4 << 20;
    mallopt(M_MMAP_THRESHOLD, LargeBuffer);
    mallopt(M_TRIM_THRESHOLD, 2 * LargeBuffer);
}
