#pragma once

#include "engine/namorixerror.h"
#include "engine/renamebatch.h"
#include "engine/undo.h"

#include <QCoroTask>
#include <QObject>

#include <atomic>
#include <expected>
#include <memory>

class ObjectStore;

/**
 * Renames and reverts files off the GUI thread, so a slow disk or share never freezes a face.
 * Each owner (the window, the queue, the REST API, the command line) has a FileWork of its own,
 * with its own progress and its own `stop`, which ends that owner's batches between two files
 * and leaves the others' alone. All of them share one worker, so batches never interleave, one
 * never seeing another's names half moved: one batch at a time, in call order, each through a
 * connection of its own to the store's file (the same durable steps as on the GUI thread). When a
 * batch is done the GUI-side store tells its views, as for its own writes.
 */
class FileWork final : public QObject
{
    Q_OBJECT

public:
    enum class Kind { renaming, reverting };

    explicit FileWork(QObject *parent = nullptr);
    /** Stops this owner's batches; a batch under way ends at its next file. */
    ~FileWork() override;
    Q_DISABLE_COPY_MOVE(FileWork)

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
    /** `Undo::revertAll` on the worker: several records chosen by hand, given oldest first. */
    QCoro::Task<Undo::Outcome> revertAll(ObjectStore *store, QList<RenameRecord> records);

    /** Stops this owner's running batch and those it has waiting, each before its next file. */
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
    /** The store the worker opens for one batch: none when the caller has none, or why it failed. */
    using WorkerStore = std::expected<ObjectStore *, StoreError>;
    template <typename Work>
    auto onWorker(ObjectStore *store, Kind kind, Work work)
        -> QCoro::Task<std::invoke_result_t<Work &, const WorkerStore &, const BatchProgress &>>;
    void report(quint64 ticket, Kind kind, int done, int total);

    /** False from the destructor on: a batch that ends later touches nothing of this owner's. */
    const std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    /** This owner's batches with a lower ticket are to stop; read on the worker. */
    const std::shared_ptr<std::atomic<quint64>> m_stopBelow = std::make_shared<std::atomic<quint64>>(0);
    quint64 m_nextTicket = 1;
    int m_inLine = 0;
    Kind m_kind = Kind::renaming;
    int m_done = 0;
    int m_total = 0;
};
