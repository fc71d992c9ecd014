#include "engine/undo.h"

#include "common/filechecks.h"
#include "engine/filemoves.h"

#include <QFileInfo>

namespace Undo {

std::expected<void, NamorixError> revert(ObjectStore *store, RenameRecord &record)
{
    using Reason = FileMoves::MoveRefusal::Reason;
    const auto moved = FileMoves::moveIfSameFile(record.newPath, record.originalPath, record.identity);
    if (!moved) {
        switch (moved.error().reason) {
        case Reason::missing:
            return std::unexpected(NamorixError::fileNotFound(QFileInfo(record.newPath).fileName()));
        case Reason::otherFile:
            return std::unexpected(NamorixError::otherFileAtName(record.newPath));
        case Reason::failed:
            break;
        }
        return std::unexpected(NamorixError::moveFailed(moved.error().description));
    }
    record.reverted = true;
    record.revertedAt = QDateTime::currentDateTimeUtc();
    if (store) {
        if (const auto saved = store->save(record); !saved)
            return std::unexpected(NamorixError::historyNotWritable(saved.error().message()));
    }
    return {};
}

std::expected<std::optional<RenameRecord>, NamorixError> revertLast(ObjectStore *store)
{
    if (!store)
        return std::nullopt;
    const auto records = store->fetchRecords();
    if (!records)
        return std::unexpected(NamorixError::historyNotWritable(records.error().message()));
    std::optional<RenameRecord> newest;
    for (const RenameRecord &record : *records) {
        if (!record.reverted && (!newest || record.timestamp > newest->timestamp))
            newest = record;
    }
    if (!newest)
        return std::nullopt;
    if (const auto reverted = revert(store, *newest); !reverted)
        return std::unexpected(reverted.error());
    return newest;
}

std::expected<ObjectStore::Settlement, StoreError> settleInterruptedRenames(ObjectStore &store)
{
    // The file at the new name must be the one planned (same device and inode), and the record
    // keeps the identity it was stored with: a file found changed now may be a later one that
    // took the name and the inode number, which revert must not move.
    return store.settlePendingRecords([](const RenameRecord &record) {
        const std::optional<FileChecks::Identity> found = FileChecks::identity(record.newPath);
        if (!found || FileMoves::nameTaken(record.originalPath))
            return false;
        return !record.identity || (found->device == record.identity->device && found->inode == record.identity->inode);
    });
}

} // namespace Undo
