#include "engine/renamebatch.h"

#include "common/filechecks.h"
#include "common/stringtable.h"
#include "engine/destinationnames.h"
#include "engine/enginelog.h"
#include "engine/filemoves.h"
#include "engine/undo.h"
#include "store/objectstore.h"

#include <QFileInfo>
#include <QHash>

namespace {

QString historyNotWritable(const StoreError &error)
{
    return StringTable::text("apply.historyNotWritable").arg(error.message());
}

} // namespace

/** What the jobs of one apply share. */
QString RenameBatch::Shared::destination(const QString &folder, const QString &name)
{
    const QString chosen = DestinationNames::free(folder + u'/' + name, [this](const QString &path) {
        return reserved.contains(path) || FileMoves::nameTaken(path);
    });
    reserved.insert(chosen);
    return chosen;
}

bool RenameBatch::Shared::isWritable(const QString &folder)
{
    auto known = writableFolders.constFind(folder);
    if (known == writableFolders.cend())
        known = writableFolders.insert(folder, QFileInfo(folder).isWritable());
    return *known;
}

RenameBatch::RenameBatch(ObjectStore &store, const QString &provider)
    : m_store(store)
{
    m_shared.provider = provider;
}

std::expected<RenameBatch::Move, QString> RenameBatch::plan(const RenameJob &job)
{
    const QString source = job.originalPath();
    if (const std::optional<QString> refused = FileChecks::refusal(source))
        return std::unexpected(*refused);
    // Reading the time first tells a missing file without another lstat per job.
    const std::optional<FileMoves::ModificationTime> modified = FileMoves::modificationTime(source);
    if (!modified && !FileMoves::nameTaken(source))
        return std::unexpected(StringTable::text("apply.notFound").arg(job.originalName()));
    const std::optional<FileChecks::Identity> identity = FileChecks::identity(source);
    if (job.analysed && identity != job.analysed)
        return std::unexpected(StringTable::text("apply.changed").arg(job.originalName()));
    const QString folder = QFileInfo(source).path();
    if (!m_shared.isWritable(folder))
        return std::unexpected(StringTable::text("apply.folderNotWritable").arg(QFileInfo(folder).fileName()));
    if (!modified)
        return std::unexpected(StringTable::text("apply.attributes").arg(job.originalName()));

    Move move{0, job.suggestedName, {}, *modified};
    RenameRecord &record = move.record;
    record.originalPath = source;
    record.originalName = job.originalName();
    // Who named it, not who is selected now: an e-invoice named on the device says "Lokal".
    record.providerUsed =
        job.explanation && !job.explanation->namedBy.isEmpty() ? job.explanation->namedBy : m_shared.provider;
    record.confidence = job.confidence;
    record.timestamp = QDateTime::currentDateTimeUtc();
    // A move keeps device, inode, size and time, so the pending record already names the file
    // that will be at the new name; the start-up pass relies on it.
    record.identity = identity;
    m_shared.reserved.insert(source);
    record.newPath = m_shared.destination(folder, job.suggestedName);
    record.newName = QFileInfo(record.newPath).fileName();
    return move;
}

std::expected<void, QString> RenameBatch::perform(Move &move)
{
    RenameRecord &record = move.record;
    const QString folder = QFileInfo(record.originalPath).path();
    constexpr int MaxAttempts = 100;
    for (int attempt = 1;; ++attempt) {
        const std::expected<void, QString> moved = FileMoves::moveNoReplace(record.originalPath, record.newPath);
        if (moved) {
            FileMoves::restoreModificationTime(record.newPath, move.modified);
            record.state = RenameRecord::State::done;
            // A file written to during the batch is kept as it is after the move; its ctime is
            // known only now (the move and the restored time set it).
            if (const auto after = FileChecks::identity(record.newPath))
                record.identity = after;
            record.changedAt = Undo::changeTime(record.newPath);
            return {};
        }
        // A name taken since it was chosen makes the move fail, never overwrite: try the next free one.
        if (!FileMoves::nameTaken(record.newPath) || !FileMoves::nameTaken(record.originalPath))
            return std::unexpected(moved.error());
        if (attempt == MaxAttempts)
            return std::unexpected(StringTable::text("apply.noFreeName").arg(move.suggestedName));
        record.newPath = m_shared.destination(folder, move.suggestedName);
        record.newName = QFileInfo(record.newPath).fileName();
        record.timestamp = QDateTime::currentDateTimeUtc();
        // The new destination is on disk before the move, like the batch's.
        const std::expected<qint64, StoreError> replaced = m_store.replacePending(record.id, record);
        if (!replaced)
            return std::unexpected(historyNotWritable(replaced.error()));
        record.id = *replaced;
    }
}

RenameBatch::Outcome RenameBatch::refuse(const QList<RenameJob> &jobs, const QList<qsizetype> &selected,
                                         const QString &reason)
{
    Outcome outcome;
    for (const qsizetype i : selected) {
        const RenameJob &job = jobs.at(i);
        if (job.isRenamable())
            outcome.failures.insert(i, reason);
    }
    return outcome;
}

RenameBatch::Outcome RenameBatch::run(ObjectStore *store, const QList<RenameJob> &jobs,
                                      const QList<qsizetype> &selected, const QString &provider,
                                      const BatchProgress &progress)
{
    if (!store)
        return refuse(jobs, selected, StringTable::text("apply.noHistory"));
    Outcome outcome;
    const int total = int(refuse(jobs, selected, {}).failures.size());
    const auto goOn = [&](int done) { return !progress || progress(done, total); };
    RenameBatch batch(*store, provider);
    QMap<qsizetype, QString> &failures = outcome.failures;
    QList<Move> moves;
    for (const qsizetype i : selected) {
        const RenameJob &job = jobs.at(i);
        if (!job.isRenamable())
            continue;
        // Checking the files is slow on a sleeping disk too; a stop here moves nothing.
        if (!goOn(0))
            return Outcome{{}, {}, {}, total};
        if (!DestinationNames::isValid(job.suggestedName)) {
            failures.insert(i, StringTable::text("apply.invalidName").arg(job.suggestedName));
        } else if (std::expected<Move, QString> planned = batch.plan(job); !planned) {
            failures.insert(i, planned.error());
        } else {
            planned->job = i;
            moves.append(*planned);
        }
    }

    // Every pending record in one synced transaction before the first move: one disk flush.
    QList<RenameRecord> pending;
    for (const Move &move : std::as_const(moves))
        pending.append(move.record);
    const auto ids = moves.isEmpty() ? std::expected<QList<qint64>, StoreError>() : store->insertPending(pending);
    if (!ids) {
        for (const Move &move : std::as_const(moves))
            failures.insert(move.job, historyNotWritable(ids.error()));
        moves.clear();
    }

    const int refused = int(failures.size());
    QList<qint64> abandoned;
    for (qsizetype i = 0; i < moves.size(); ++i) {
        Move &move = moves[i];
        move.record.id = ids->at(i);
        move.record.batch = ids->first();
        if (!goOn(refused + int(i))) {
            // Their pending records go with the finish below; their files were never touched.
            for (qsizetype rest = i; rest < moves.size(); ++rest)
                abandoned.append(ids->at(rest));
            outcome.stopped = int(moves.size() - i);
            break;
        }
        if (const std::expected<void, QString> done = batch.perform(move); done) {
            outcome.records.append(move.record);
            outcome.renamed.insert(move.job);
        } else {
            abandoned.append(move.record.id);
            failures.insert(move.job, done.error());
        }
    }
    // A finish that fails is redone by the start-up pass, which looks at the files.
    if (!moves.isEmpty()) {
        if (const auto finished = store->finishPending({}, abandoned, outcome.records); !finished)
            qCWarning(lcEngine, "%s", qUtf8Printable(finished.error().message()));
    }
    if (!outcome.stopped)
        goOn(total);
    return outcome;
}
