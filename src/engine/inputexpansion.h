#pragma once

#include <QStringList>

#include <atomic>

/**
 * The files an input list stands for. Missing paths are dropped; a file is taken as named
 * (a hidden one too); a folder is walked depth-first in name order, taking its regular files
 * and skipping hidden entries and the contents of packages (folders such as "Foo.app" or
 * "Brief.rtfd" that the desktop shows as one document). A path named twice (or a folder and a
 * file inside it) is taken once, at its first position. Reads the disk: call it off the GUI thread.
 */
[[nodiscard]] QStringList expandInputs(const QStringList &paths, const std::atomic_bool *stop = nullptr);
