#pragma once

#include "common/filechecks.h"

#include <QString>

#include <expected>
#include <optional>

/** File-system steps of a rename, each refusing to overwrite anything. */
namespace FileMoves {

/**
 * Renames `from` to `to` atomically, failing when `to` exists (renameat2 with
 * RENAME_NOREPLACE), so no file is ever overwritten, not even one created a moment ago.
 * The error is a German description.
 */
[[nodiscard]] std::expected<void, QString> moveNoReplace(const QString &from, const QString &to);

/** Why `moveIfSameFile` moved nothing. */
struct MoveRefusal {
    enum class Reason { missing, otherFile, occupied, failed };
    Reason reason;
    QString description; ///< German, for `occupied` and `failed`
};

/**
 * `moveNoReplace`, but only while the file at `from` is `expected` (device, inode, size and
 * modification time, a link not followed): a file deleted and followed by another under that
 * name, even one given the same inode number, stays. Without `expected` only presence counts.
 */
[[nodiscard]] std::expected<void, MoveRefusal> moveIfSameFile(const QString &from, const QString &to,
                                                              const std::optional<FileChecks::Identity> &expected);

/** Whether anything (a file, folder or dangling link) has this name. */
[[nodiscard]] bool nameTaken(const QString &path);

/** A file's modification time to the nanosecond, read before a move and put back after it. */
struct ModificationTime {
    qint64 seconds = 0;
    qint64 nanoseconds = 0;
};

[[nodiscard]] std::optional<ModificationTime> modificationTime(const QString &path);
/** Failures are ignored: the rename stands without its old time. */
void restoreModificationTime(const QString &path, const ModificationTime &time);

} // namespace FileMoves
