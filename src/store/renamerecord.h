#pragma once

#include "common/filechecks.h"

#include <QDateTime>
#include <QString>

#include <optional>

/** One applied rename: the history entry that the history view, the REST API and revert work on. */
struct RenameRecord {
    /** A record is written as pending before its file moves and becomes done after the move. */
    enum class State { pending, done };

    qint64 id = 0; // the store's row identity; 0 until stored
    QString originalPath;
    QString newPath;
    QString originalName;
    QString newName;
    QDateTime timestamp;
    QString providerUsed;
    double confidence = 0;
    bool reverted = false;
    std::optional<QDateTime> revertedAt;
    /** The renamed file as it was right after the move; revert moves no other. Absent in records of
     * earlier versions, which revert by name alone. */
    std::optional<FileChecks::Identity> identity = std::nullopt;
    /** A time to the nanosecond. */
    struct FileTime {
        qint64 seconds = 0;
        qint64 nanoseconds = 0;
        bool operator==(const FileTime &) const = default;
    };
    /** The renamed file's status-change time (ctime) right after the move, which undo insists on too:
     * a rewrite in place that puts size and modification time back still changes it. Absent in
     * records of earlier versions and in those the start-up pass confirmed. */
    std::optional<FileTime> changedAt = std::nullopt;
    /** The apply it was part of, named by that apply's first record id; set by the store on insert. */
    qint64 batch = 0;
    // Kept by the store (insert, insertPending, confirm); save() leaves it as stored.
    State state = State::done;
};
