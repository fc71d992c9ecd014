#pragma once

#include "store/recordquery.h"
#include "store/renamerecord.h"
#include "store/storeerror.h"

#include <QList>
#include <QSet>
#include <QStringList>

#include <expected>
#include <functional>
#include <memory>
#include <optional>

class StoreConnection;
template <typename T> class Repository;

/**
 * The rename history. A rename's record is written as pending before its file moves and made done
 * after the move; pending records stay out of the history's fetches, and a start-up pass settles
 * those a crash left behind. Each write that changes the done records calls `changed`.
 */
class HistoryRepository final
{
public:
    /** What the start-up pass did: renames confirmed or removed, undos found done or not. */
    struct Settlement {
        int confirmed = 0;
        int removed = 0;
        int reverted = 0;
        int notReverted = 0;
    };

    /** An apply's records still to undo. */
    struct Batch {
        qint64 id = 0;
        int files = 0; ///< done and not reverted
    };

    /** How many done records a query selects, and how many of those are not reverted. */
    struct Count {
        qsizetype records = 0;
        qsizetype notReverted = 0;
    };

    HistoryRepository(StoreConnection &connection, std::function<void()> changed);
    ~HistoryRepository();
    Q_DISABLE_COPY_MOVE(HistoryRepository)

    /**
     * Stores finished renames (state done) in one transaction; their ids in order. The records of
     * one insert or insertPending form a batch, named by the first one's id.
     */
    [[nodiscard]] std::expected<QList<qint64>, StoreError> insert(const QList<RenameRecord> &records);
    /** Durably stores renames about to happen, in one synced transaction (one disk flush); the ids in order. */
    [[nodiscard]] std::expected<QList<qint64>, StoreError> insertPending(const QList<RenameRecord> &records);
    /** Swaps a pending record for another (a new destination, the same `batch`) in one synced transaction; the new id.
     */
    [[nodiscard]] std::expected<qint64, StoreError> replacePending(qint64 id, const RenameRecord &record);
    /**
     * After a batch of moves, in one transaction: the pending records in `moved` become done, and
     * so do those in `found`, taking the identity and change time of their file as found after its
     * move; those in `abandoned` (moves that did not happen) are removed. Returns how many became
     * done.
     */
    [[nodiscard]] std::expected<int, StoreError>
    finishPending(const QList<qint64> &moved, const QList<qint64> &abandoned, const QList<RenameRecord> &found = {});
    /** Marks a pending record done after its file has moved; a done record stays as it is. */
    [[nodiscard]] std::expected<void, StoreError> confirm(qint64 id);
    /**
     * Start-up pass over records left pending by a crash: a record whose file is at its new path
     * is confirmed, any other is removed (the move did not happen, so there is no history).
     */
    [[nodiscard]] std::expected<Settlement, StoreError>
    settlePending(const std::function<bool(const RenameRecord &)> &fileIsAtNewPath);

    /** Writes every field but the id and the state over the stored record with that id. */
    [[nodiscard]] std::expected<void, StoreError> save(const RenameRecord &record);
    /**
     * Before files move back: marks the records of `ids` that are done and not reverted as being
     * reverted, in one synced transaction (one disk flush); the ids marked. The others were undone
     * since, or are no longer in the history.
     */
    [[nodiscard]] std::expected<QSet<qint64>, StoreError> beginRevert(const QList<qint64> &ids);
    /**
     * After: the records of `reverted` (their files went back) are reverted at `at`, and those of
     * `released` (moves refused, failed or stopped) stay as they were; both lose their mark. One
     * transaction that does not wait for the disk: the start-up pass redoes a lost one.
     */
    [[nodiscard]] std::expected<void, StoreError> finishRevert(const QList<qint64> &reverted,
                                                               const QList<qint64> &released, const QDateTime &at);
    /**
     * Start-up pass over records an undo marked and a crash left so: those whose file `fileIsBack`
     * (at its old name) are reverted now, the others stay renamed. `confirmed` and `removed` stay 0.
     */
    [[nodiscard]] std::expected<Settlement, StoreError>
    settleReverts(const std::function<bool(const RenameRecord &)> &fileIsBack);
    [[nodiscard]] std::expected<void, StoreError> remove(qint64 id);
    /** Clears the history; pending records of a rename in progress stay. */
    [[nodiscard]] std::expected<void, StoreError> removeAll();

    /** Finds a record in either state. */
    [[nodiscard]] std::expected<RenameRecord, StoreError> fetch(qint64 id) const;
    /** The done records `query` selects in its order (default newest `timestamp` first), filtered and cut in SQL. */
    [[nodiscard]] std::expected<QList<RenameRecord>, StoreError> fetch(const RecordQuery &query) const;
    /** What `query` selects, ignoring its offset and limit, counted in one query. */
    [[nodiscard]] std::expected<Count, StoreError> count(const RecordQuery &query) const;
    /** The batch of the newest record not reverted (one query), with how many of its records are not reverted. */
    [[nodiscard]] std::expected<std::optional<Batch>, StoreError> lastBatch() const;
    /** Of `paths`, those that a record not reverted holds as its old or new path (indexed lookups). */
    [[nodiscard]] std::expected<QSet<QString>, StoreError> pathsInHistory(const QStringList &paths) const;

private:
    [[nodiscard]] std::expected<QList<qint64>, StoreError> insertRecords(const QList<RenameRecord> &records,
                                                                         RenameRecord::State state);

    StoreConnection &m_connection;
    const std::function<void()> m_changed;
    const std::unique_ptr<Repository<RenameRecord>> m_rows;
};
