#pragma once

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
