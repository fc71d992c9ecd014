#pragma once

#include "engine/namorixerror.h"
#include "engine/renamebatch.h"
#include "store/objectstore.h"

#include <QList>
#include <QString>

#include <expected>
#include <optional>
#include <utility>

/** Taking renames back, and settling the ones a crash left half done. */
namespace Undo {

/**
 * Moves a renamed file back to its former name (never over another file) and marks the record
 * (in `store`, when given, journaled as `revertAll` does). Refuses (`otherFileAtName`) when the
 * file at the new name is not the one renamed: another file, or that one rewritten or touched
 * since (its identity and, where recorded, its ctime). Records without an identity go by name.
 * A record the store knows as reverted since is taken as it is stored.
 */
std::expected<void, NamorixError> revert(ObjectStore *store, RenameRecord &record);

/** What reverting several records came to: how many went back, and which did not, with why. */
struct Outcome {
    int reverted = 0;
    QList<std::pair<RenameRecord, NamorixError>> failures;
    std::optional<RenameRecord> lastReverted; ///< the last one that went back (the oldest)
    int stopped = 0;                          ///< records a stop left as they were
};

/**
 * Reverts records of one apply, newest first (a name one of them freed may be another's old name);
 * each is checked as `revert` checks it, a refusal is listed and the rest go on. Records the store
 * no longer holds as done and not reverted are passed over. `progress` may stop it between two
 * records. With a store, the records are marked in one synced write before the first file moves
 * and written in one after the last; `settleInterruptedRenames` settles marks a crash left.
 */
Outcome revertAll(ObjectStore *store, QList<RenameRecord> records, const BatchProgress &progress = {});

/** Reverts the records of one apply (`RenameRecord::batch`) as `revertAll` does; fails only when the history cannot be
 * read. */
std::expected<Outcome, NamorixError> revertBatch(ObjectStore *store, qint64 batch, const BatchProgress &progress = {});

/** Reverts the batch of the newest record not yet reverted; nothing reverted when there is none. */
std::expected<Outcome, NamorixError> revertLast(ObjectStore *store, const BatchProgress &progress = {});

/** The status-change time (ctime) of what is at `path`, a link not followed; undo compares it with the record's. */
std::optional<RenameRecord::FileTime> changeTime(const QString &path);

/** What an undo came to, in German: how many went back, how many not (the first refusal's reason), and a stop. */
QString describe(const Outcome &outcome);

/**
 * Start-up pass over renames and undos a crash interrupted: a pending record whose new name holds
 * the planned file (same device and inode) and whose old name is free is kept (its file moved),
 * any other is dropped; a record an undo marked is reverted when its old name holds its file
 * (without an identity: when its new name is free), and otherwise stays renamed.
 */
std::expected<ObjectStore::Settlement, StoreError> settleInterruptedRenames(ObjectStore &store);

} // namespace Undo
