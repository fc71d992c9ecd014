#pragma once

#include <QElapsedTimer>

/** Mean time of `call` over `iterations` runs, after a tenth as many to warm the caches. */
template <typename F> double nanosecondsPerCall(int iterations, F call)
{
    for (int i = 0; i < iterations / 10; ++i)
        call();
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < iterations; ++i)
        call();
    return double(timer.nsecsElapsed()) / iterations;
}

/** Where benchmarks put a result so the compiler cannot drop the work. */
inline volatile qsizetype g_sink = 0;
