#pragma once

#include <QStringList>

#include <atomic>

/**
 * The files an input list stands for. Missing paths are dropped; anything else that is not a
 * folder is taken as named (a hidden file, a symbolic link or a FIFO too: the analysis refuses
 * what is not a regular file, with its reason). A folder is walked depth-first in name order,
 * taking its regular files only and skipping hidden entries, the contents of packages (folders
 * such as "Foo.app" or "Brief.rtfd" that the desktop shows as one document), symbolic links
 * (a linked folder is not entered) and system areas (pseudo file systems such as /proc, and
 * /dev and /run); a named folder in a system area yields nothing. A path named twice (or a
 * folder and a file inside it) is taken once, at its first position. Reads the disk but opens
 * no file: call it off the GUI thread. Once `*stop` is true it returns what it found so far.
 */
[[nodiscard]] QStringList expandInputs(const QStringList &paths, const std::atomic_bool *stop = nullptr);
