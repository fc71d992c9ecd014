#pragma once

#include "extraction/sandbox/sandboxstate.h"

#include <QStringList>

/**
 * How an extraction helper locks itself in before it reads anything untrusted. The limits hold
 * everywhere; Landlock and seccomp where the kernel offers them (the returned state says which).
 */
namespace Confinement {

/**
 * Address space (`addressSpace` bytes; not in AddressSanitizer builds, whose shadow memory needs
 * terabytes of it), no core files, a few descriptors, no file growth.
 */
void limitResources(qint64 addressSpace);

/** CPU seconds from now on before the kernel ends the process (SIGXCPU); set again for each file. */
void limitCpuFromNow(int seconds);

/** What the libraries read after the lock: /usr, the font configuration and caches, the language data. */
[[nodiscard]] QStringList readableTrees();

/**
 * No new privileges; Landlock: read-only access to `readable`, nothing else, no TCP, no signals
 * outside the process; seccomp: an allow-list of what extraction needs (memory, reading, the
 * socket to the app, time, its own threads, signals to itself, exit), every other call fails
 * with EPERM. Debug builds and NAMORIX_SECCOMP_TRACE=1 trap instead and name the call on stderr.
 */
[[nodiscard]] SandboxState lockIn(const QStringList &readable);

} // namespace Confinement
