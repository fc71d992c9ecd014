#pragma once

#include "engine/namorixerror.h"
#include "engine/renamebatch.h"
#include "engine/undo.h"

#include <QCoroTask>
#include <QObject>
#include <QThreadPool>

#include <atomic>
#include <expected>
#include <memory>

class ObjectStore;

/**
 * Renames and reverts files off the GUI thread, so a slow disk or share never freezes a face:
 * one batch at a time on one worker, in call order, each through a connection of its own to the
 * store's file (the same durable steps as on the GUI thread). When a batch is done the GUI-side
 * store tells its views, as for its own writes. While batches run, the progress of the current
 * one is published; `stop` ends them between two files.
 */
class FileWork final : public QObject
{
    Q_OBJECT

public:
    enum class Kind { renaming, reverting };

    static FileWork &shared();

    /** `RenameBatch::run` on the worker. */
    QCoro::Task<RenameBatch::Outcome> apply(ObjectStore *store, QList<RenameJob> jobs, QList<qsizetype> selected,
                                            QString provider);
    /** `Undo::revert` on the worker (a record the store knows as reverted since, after a second click, say, is
     * left as it is); the record as it is afterwards. */
    QCoro::Task<std::expected<RenameRecord, NamorixError>> revert(ObjectStore *store, RenameRecord record);
    /** `Undo::revertBatch` on the worker. */
    QCoro::Task<std::expected<Undo::Outcome, NamorixError>> revertBatch(ObjectStore *store, qint64 batch);
    /** `Undo::revertLast` on the worker. */
    QCoro::Task<std::expected<Undo::Outcome, NamorixError>> revertLast(ObjectStore *store);

    /** Stops the running batch and those waiting, each before its next file. */
    void stop();

    [[nodiscard]] bool isBusy() const { return m_inLine > 0; }
    [[nodiscard]] Kind kind() const { return m_kind; }
    [[nodiscard]] int done() const { return m_done; }
    [[nodiscard]] int total() const { return m_total; }
    /** "120 von 1.000 Dateien umbenannt", for the current batch. */
    [[nodiscard]] QString progressText() const;

Q_SIGNALS:
    void progressChanged(); ///< isBusy, kind, done or total

private:
    FileWork();

    /** The store the worker opens for one batch: none when the caller has none, or why it failed. */
    using WorkerStore = std::expected<ObjectStore *, StoreError>;
    template <typename Work>
    auto onWorker(ObjectStore *store, Kind kind, Work work)
        -> QCoro::Task<std::invoke_result_t<Work &, const WorkerStore &, const BatchProgress &>>;
    void report(quint64 ticket, Kind kind, int done, int total);

    QThreadPool m_pool;
    /** Batches with a lower ticket are to stop; read on the worker. */
    const std::shared_ptr<std::atomic<quint64>> m_stopBelow = std::make_shared<std::atomic<quint64>>(0);
    quint64 m_nextTicket = 1;
    int m_inLine = 0;
    Kind m_kind = Kind::renaming;
    int m_done = 0;
    int m_total = 0;
};
