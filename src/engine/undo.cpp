#include "engine/undo.h"

#include "common/filechecks.h"
#include "common/stringtable.h"
#include "engine/filemoves.h"

#include <QFileInfo>

#include <algorithm>

namespace Undo {

namespace {

/** Moves the record's file back and marks the record reverted; the store is not written. */
std::expected<void, NamorixError> moveBack(RenameRecord &record)
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
    return {};
}

} // namespace

std::expected<void, NamorixError> revert(ObjectStore *store, RenameRecord &record)
{
    if (auto moved = moveBack(record); !moved)
        return moved;
    if (store) {
        if (const auto saved = store->save(record); !saved)
            return std::unexpected(NamorixError::historyNotWritable(saved.error().message()));
    }
    return {};
}

Outcome revertAll(ObjectStore *store, QList<RenameRecord> records, const BatchProgress &progress)
{
    Outcome outcome;
    const int total = int(records.size());
    // The files move back one by one and their records are written together, with one disk
    // flush: a crash in between leaves records that still read "renamed" for files already back,
    // as a crash between a single move and its write does, and their undo then says the file is
    // not there. A flush per file held a batch's undo to a few hundred files a second.
    QList<RenameRecord> moved;
    const auto write = [&] {
        if (!store || moved.isEmpty())
            return;
        if (const auto saved = store->saveReverted(moved); !saved) {
            for (RenameRecord &record : moved) {
                record.reverted = false;
                record.revertedAt.reset();
                outcome.failures.append({record, NamorixError::historyNotWritable(saved.error().message())});
            }
            outcome.reverted -= int(moved.size());
            outcome.lastReverted.reset();
        }
        moved.clear();
    };
    for (auto record = records.rbegin(); record != records.rend(); ++record) {
        if (progress && !progress(int(record - records.rbegin()), total)) {
            outcome.stopped = int(records.rend() - record);
            write();
            return outcome;
        }
        // Taken back since (from the history, say): nothing left to do for it.
        if (store && record->id != 0) {
            if (const auto stored = store->fetchRecord(record->id); stored)
                *record = *stored;
        }
        if (record->reverted)
            continue;
        if (const auto reverted = moveBack(*record); reverted) {
            ++outcome.reverted;
            outcome.lastReverted = *record;
            moved << *record;
        } else
            outcome.failures.append({*record, reverted.error()});
    }
    write();
    if (progress)
        progress(total, total);
    return outcome;
}

std::expected<Outcome, NamorixError> revertBatch(ObjectStore *store, qint64 batch, const BatchProgress &progress)
{
    if (!store)
        return Outcome{};
    RecordQuery query;
    query.batch = batch;
    query.reverted = false;
    auto records = store->fetchRecords(query);
    if (!records)
        return std::unexpected(NamorixError::historyNotWritable(records.error().message()));
    // Fetched newest first; revertAll takes them in the order they were applied.
    std::reverse(records->begin(), records->end());
    return revertAll(store, *std::move(records), progress);
}

std::expected<Outcome, NamorixError> revertLast(ObjectStore *store, const BatchProgress &progress)
{
    if (!store)
        return Outcome{};
    const auto last = store->lastBatch();
    if (!last)
        return std::unexpected(NamorixError::historyNotWritable(last.error().message()));
    if (!*last)
        return Outcome{};
    return revertBatch(store, (*last)->id, progress);
}

QString describe(const Outcome &outcome)
{
    if (outcome.reverted == 0 && outcome.failures.isEmpty() && outcome.stopped == 0)
        return StringTable::text("result.nothingToRevert");
    QString text = StringTable::text("result.reverted", outcome.reverted);
    if (!outcome.failures.isEmpty()) {
        text += QStringLiteral(", ") + StringTable::text("result.notReverted", int(outcome.failures.size()))
                                           .arg(outcome.failures.front().second.message());
    }
    if (outcome.stopped > 0)
        text += QStringLiteral(", ") + StringTable::text("result.revertStopped", outcome.stopped);
    return text;
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
