#pragma once

#include "engine/namorixerror.h"
#include "store/objectstore.h"

#include <expected>
#include <optional>

/** Taking renames back, and settling the ones a crash left half done. */
namespace Undo {

/**
 * Moves a renamed file back to its former name (never over another file) and marks the record
 * (in `store`, when given). Refuses (`otherFileAtName`) when the file at the new name is not the
 * one renamed: another file, or that one rewritten or touched since. Records without an
 * identity go by name.
 */
std::expected<void, NamorixError> revert(ObjectStore *store, RenameRecord &record);

/** Reverts the newest record not yet reverted and returns it; nullopt when there is none. */
std::expected<std::optional<RenameRecord>, NamorixError> revertLast(ObjectStore *store);

/**
 * Start-up pass over renames a crash interrupted: a pending record whose new name holds the
 * planned file (same device and inode) and whose old name is free is kept (its file moved), any
 * other is dropped.
 */
std::expected<ObjectStore::Settlement, StoreError> settleInterruptedRenames(ObjectStore &store);

} // namespace Undo
