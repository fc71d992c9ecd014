#pragma once

/**
 * Makes sure the process runs with OMP_THREAD_LIMIT=1. Text recognition (Tesseract) spreads
 * over OpenMP threads that make it about four times slower on a 2-core machine, and the OpenMP
 * runtime reads the variable only when it loads, so setting it from main() is too late: when
 * it is missing, this sets it and re-executes the program once with the same arguments.
 * Returns normally when the variable is already set or re-executing fails.
 */
void ensureSingleThreadedOpenMP(char *argv[]);

/**
 * Fixed malloc thresholds, so that large buffers (a decoded picture, a rendered page) come from
 * and go straight back to the system: after the first large buffer is freed glibc would raise
 * both and keep every later one in the heap. It changes the whole process's allocator, so only
 * a program's main() calls it, before any thread starts.
 */
void releaseLargeBuffersPromptly();
