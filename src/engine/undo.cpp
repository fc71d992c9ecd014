#include "engine/undo.h"

#include "common/filechecks.h"
#include "common/stringtable.h"
#include "engine/enginelog.h"
#include "engine/filemoves.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <sys/stat.h>

namespace Undo {

namespace {

/** Moves the record's file back and marks the record reverted at `at`; the store is not written. */
std::expected<void, NamorixError> moveBack(RenameRecord &record, const QDateTime &at)
{
    using Reason = FileMoves::MoveRefusal::Reason;
    // Checked apart from the move, as the identity is: the moment between the two stays open.
    if (record.changedAt) {
        if (const auto found = changeTime(record.newPath); found && *found != *record.changedAt)
            return std::unexpected(NamorixError::otherFileAtName(record.newPath));
    }
    const auto moved = FileMoves::moveIfSameFile(record.newPath, record.originalPath, record.identity);
    if (!moved) {
        switch (moved.error().reason) {
        case Reason::missing:
            return std::unexpected(NamorixError::fileNotFound(QFileInfo(record.newPath).fileName()));
        case Reason::otherFile:
            return std::unexpected(NamorixError::otherFileAtName(record.newPath));
        case Reason::occupied:
            return std::unexpected(NamorixError::nameTaken(moved.error().description));
        case Reason::failed:
            break;
        }
        return std::unexpected(NamorixError::moveFailed(moved.error().description));
    }
    record.reverted = true;
    record.revertedAt = at;
    return {};
}

} // namespace

std::optional<RenameRecord::FileTime> changeTime(const QString &path)
{
    struct stat info = {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return RenameRecord::FileTime{qint64(info.st_ctim.tv_sec), qint64(info.st_ctim.tv_nsec)};
}

std::expected<void, NamorixError> revert(ObjectStore *store, RenameRecord &record)
{
    if (!store || record.id == 0)
        return moveBack(record, QDateTime::currentDateTimeUtc());
    Outcome outcome = revertAll(store, {record});
    if (!outcome.failures.isEmpty()) {
        record = outcome.failures.front().first;
        return std::unexpected(outcome.failures.front().second);
    }
    if (outcome.lastReverted) {
        record = *outcome.lastReverted;
        return {};
    }
    // Undone since: nothing left to move. No longer in the history: nothing to write.
    if (const auto stored = store->fetchRecord(record.id); stored) {
        record = *stored;
        return {};
    }
    return moveBack(record, QDateTime::currentDateTimeUtc());
}

Outcome revertAll(ObjectStore *store, QList<RenameRecord> records, const BatchProgress &progress)
{
    Outcome outcome;
    const int total = int(records.size());
    // Journaled as an apply is: every record is marked in one synced write before the first file
    // moves back, and the outcome written in one write after the last. A crash in between leaves
    // marks that the start-up pass settles by looking at the files, so the history never says
    // "renamed" of a file that is back (nor the other way round). A flush per file held a batch's
    // undo to a few hundred files a second.
    QSet<qint64> marked;
    if (store) {
        QList<qint64> ids;
        for (const RenameRecord &record : std::as_const(records)) {
            if (record.id != 0)
                ids << record.id;
        }
        auto begun = store->beginRevert(ids);
        if (!begun) {
            const NamorixError error = NamorixError::historyNotWritable(begun.error().message());
            for (auto record = records.crbegin(); record != records.crend(); ++record)
                outcome.failures.append({*record, error});
            return outcome;
        }
        marked = *std::move(begun);
    }
    const QDateTime at = QDateTime::currentDateTimeUtc();
    QList<qint64> back, released;
    for (auto record = records.rbegin(); record != records.rend(); ++record) {
        const bool journaled = marked.contains(record->id);
        if (progress && !progress(int(record - records.rbegin()), total)) {
            outcome.stopped = int(records.rend() - record);
            for (; record != records.rend(); ++record) {
                if (marked.contains(record->id))
                    released << record->id;
            }
            break;
        }
        // Not marked: taken back since (from the history, say), or no longer in it.
        if (store && record->id != 0 && !journaled)
            continue;
        if (const auto reverted = moveBack(*record, at); reverted) {
            ++outcome.reverted;
            outcome.lastReverted = *record;
            if (journaled)
                back << record->id;
        } else {
            outcome.failures.append({*record, reverted.error()});
            if (journaled)
                released << record->id;
        }
    }
    if (store) {
        // A finish that fails is redone by the start-up pass; the files are back either way.
        if (const auto finished = store->finishRevert(back, released, at); !finished)
            qCWarning(lcEngine, "%s", qUtf8Printable(finished.error().message()));
    }
    if (progress && !outcome.stopped)
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
    auto settled = store.settlePendingRecords([](const RenameRecord &record) {
        const std::optional<FileChecks::Identity> found = FileChecks::identity(record.newPath);
        if (!found || FileMoves::nameTaken(record.originalPath))
            return false;
        return !record.identity || (found->device == record.identity->device && found->inode == record.identity->inode);
    });
    if (!settled)
        return settled;
    // An undo's file went back when its old name holds it (device and inode; a move back changes
    // its ctime); a record without an identity goes by the names.
    const auto reverts = store.settleReverts([](const RenameRecord &record) {
        const std::optional<FileChecks::Identity> found = FileChecks::identity(record.originalPath);
        if (!found)
            return false;
        if (!record.identity)
            return !FileMoves::nameTaken(record.newPath);
        return found->device == record.identity->device && found->inode == record.identity->inode;
    });
    if (!reverts)
        return std::unexpected(reverts.error());
    settled->reverted = reverts->reverted;
    settled->notReverted = reverts->notReverted;
    return settled;
}

} // namespace Undo
