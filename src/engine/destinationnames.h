#pragma once

#include <QString>

#include <functional>
#include <optional>

/** Which names a rename may give a file, and the free name when the wanted one is taken. */
namespace DestinationNames {

/** Whether a suggested name stays in its folder: no "/" or NUL, not empty, ".", "..". */
[[nodiscard]] bool isValid(const QString &name);
/** Why `name` is no file name, in German, for the one who typed it; nothing when it is one. */
[[nodiscard]] std::optional<QString> refusal(const QString &name);

/**
 * `path` when `taken` says it is free, else the first free "base-N.ext" for N = 2…99, else
 * "base-XXXXXX.ext" with six hexadecimal digits of a random UUID; each cut back by whole
 * characters to the file system's 255 bytes.
 */
[[nodiscard]] QString free(const QString &path, const std::function<bool(const QString &)> &taken);

/** free() against what is on disk. */
[[nodiscard]] QString unique(const QString &path);

} // namespace DestinationNames
