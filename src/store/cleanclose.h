#pragma once

#include <QString>

/**
 * A note beside the store file, left when the last connection to a verified store closed and
 * SQLite had folded its journal back in: the file's identity, size and times at that moment.
 * While they still hold, the file is as Namorix left it, and opening it need not read every page
 * to check it again (the one cost of a long history at start).
 */
namespace CleanClose {

/** Notes the file's state now; does nothing while a write-ahead journal is left beside it. */
void record(const QString &storePath);

/**
 * Whether the file is unchanged since record(): same identity, size and times, no journal
 * beside it, and its last change strictly older than the note, so that a change within the same
 * clock tick as the note still counts as a change.
 */
[[nodiscard]] bool holds(const QString &storePath);

} // namespace CleanClose
