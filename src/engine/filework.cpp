#include "engine/filework.h"

#include "common/stringtable.h"
#include "store/objectstore.h"

#include <QCoreApplication>
#include <QCoroFuture>
#include <QElapsedTimer>
#include <QLocale>
#include <QPointer>
#include <QtConcurrent/QtConcurrentRun>

namespace {

// Often enough for a moving bar, rarely enough that a fast disk does not flood the GUI thread.
constexpr qint64 ReportIntervalMs = 50;

/** The one worker of every owner's batches; never destroyed. */
QThreadPool &line()
{
    static QThreadPool *pool = [] {
        auto *made = new QThreadPool;
        made->setObjectName(QStringLiteral("filework"));
        made->setMaxThreadCount(1);
        return made;
    }();
    return *pool;
}

} // namespace

FileWork::FileWork(QObject *parent)
    : QObject(parent)
{
    if (QCoreApplication *app = QCoreApplication::instance()) {
        // Quitting waits for the files in flight rather than leaving them to the start-up pass.
        connect(app, &QCoreApplication::aboutToQuit, this, [this] {
            stop();
            line().waitForDone();
        });
    }
}

FileWork::~FileWork()
{
    *m_alive = false;
    stop();
}

template <typename Work>
auto FileWork::onWorker(ObjectStore *store, Kind kind, Work work)
    -> QCoro::Task<std::invoke_result_t<Work &, const WorkerStore &, const BatchProgress &>>
{
    using Result = std::invoke_result_t<Work &, const WorkerStore &, const BatchProgress &>;
    const quint64 ticket = m_nextTicket++;
    if (m_inLine++ == 0)
        Q_EMIT progressChanged();
    const QPointer<ObjectStore> guiStore(store);
    const QString path = store ? store->filePath() : QString();
    const std::shared_ptr<bool> alive = m_alive;
    // Reports go through the application object: this owner may be gone by the time one arrives.
    auto onThread = [self = QPointer<FileWork>(this), ticket, kind, path, stopBelow = m_stopBelow,
                     work = std::move(work)]() mutable {
        // SQLite connections stay on the thread that opened them: one for this batch alone.
        std::unique_ptr<ObjectStore> own;
        WorkerStore opened = nullptr;
        if (!path.isEmpty()) {
            if (auto store = ObjectStore::open(path))
                opened = (own = std::move(*store)).get();
            else
                opened = std::unexpected(store.error());
        }
        QElapsedTimer sinceReport;
        const BatchProgress progress = [&](int done, int total) {
            if (!sinceReport.isValid() || done == total || sinceReport.elapsed() >= ReportIntervalMs) {
                sinceReport.start();
                if (QCoreApplication *app = QCoreApplication::instance())
                    QMetaObject::invokeMethod(
                        app,
                        [=] {
                            if (self)
                                self->report(ticket, kind, done, total);
                        },
                        Qt::QueuedConnection);
            }
            return ticket >= stopBelow->load();
        };
        return work(opened, progress);
    };
    QFuture<Result> future = QtConcurrent::run(&line(), std::move(onThread));
    Result result = co_await future;
    if (guiStore)
        guiStore->noteWritesElsewhere(ObjectStore::Kind::records);
    if (!*alive)
        co_return result;
    m_done = m_total = 0;
    --m_inLine;
    Q_EMIT progressChanged();
    co_return result;
}

void FileWork::report(quint64 ticket, Kind kind, int done, int total)
{
    // A report that arrives after its batch ended is old news.
    if (ticket < m_nextTicket - quint64(m_inLine))
        return;
    m_kind = kind;
    m_done = done;
    m_total = total;
    Q_EMIT progressChanged();
}

void FileWork::stop()
{
    m_stopBelow->store(m_nextTicket);
}

QString FileWork::progressText() const
{
    const QLocale german(QLocale::German, QLocale::Germany);
    return StringTable::text(m_kind == Kind::renaming ? "progress.renaming" : "progress.reverting", m_total)
        .arg(german.toString(m_done), german.toString(m_total));
}

// GCC 12: the work and the task are named locals, never temporaries of a co_await (see docs/decisions.md).
QCoro::Task<RenameBatch::Outcome> FileWork::apply(ObjectStore *store, QList<RenameJob> jobs, QList<qsizetype> selected,
                                                  QString provider)
{
    if (!store)
        co_return RenameBatch::run(nullptr, jobs, selected, provider);
    auto work = [jobs, selected, provider](const WorkerStore &opened, const BatchProgress &progress) {
        if (!opened)
            return RenameBatch::refuse(jobs, selected,
                                       StringTable::text("apply.historyNotWritable").arg(opened.error().message()));
        return RenameBatch::run(*opened, jobs, selected, provider, progress);
    };
    QCoro::Task<RenameBatch::Outcome> moving = onWorker(store, Kind::renaming, std::move(work));
    RenameBatch::Outcome outcome = co_await std::move(moving);
    co_return outcome;
}

QCoro::Task<std::expected<RenameRecord, NamorixError>> FileWork::revert(ObjectStore *store, RenameRecord record)
{
    auto work = [record](const WorkerStore &opened,
                         const BatchProgress &progress) mutable -> std::expected<RenameRecord, NamorixError> {
        if (!opened)
            return std::unexpected(NamorixError::historyNotWritable(opened.error().message()));
        progress(0, 1);
        if (const auto reverted = Undo::revert(*opened, record); !reverted)
            return std::unexpected(reverted.error());
        progress(1, 1);
        return record;
    };
    QCoro::Task<std::expected<RenameRecord, NamorixError>> moving = onWorker(store, Kind::reverting, std::move(work));
    std::expected<RenameRecord, NamorixError> reverted = co_await std::move(moving);
    co_return reverted;
}

QCoro::Task<std::expected<Undo::Outcome, NamorixError>> FileWork::revertBatch(ObjectStore *store, qint64 batch)
{
    auto work = [batch](const WorkerStore &opened,
                        const BatchProgress &progress) -> std::expected<Undo::Outcome, NamorixError> {
        if (!opened)
            return std::unexpected(NamorixError::historyNotWritable(opened.error().message()));
        return Undo::revertBatch(*opened, batch, progress);
    };
    QCoro::Task<std::expected<Undo::Outcome, NamorixError>> moving = onWorker(store, Kind::reverting, std::move(work));
    std::expected<Undo::Outcome, NamorixError> outcome = co_await std::move(moving);
    co_return outcome;
}

QCoro::Task<std::expected<Undo::Outcome, NamorixError>> FileWork::revertLast(ObjectStore *store)
{
    auto work = [](const WorkerStore &opened,
                   const BatchProgress &progress) -> std::expected<Undo::Outcome, NamorixError> {
        if (!opened)
            return std::unexpected(NamorixError::historyNotWritable(opened.error().message()));
        return Undo::revertLast(*opened, progress);
    };
    QCoro::Task<std::expected<Undo::Outcome, NamorixError>> moving = onWorker(store, Kind::reverting, std::move(work));
    std::expected<Undo::Outcome, NamorixError> outcome = co_await std::move(moving);
    co_return outcome;
}

QCoro::Task<Undo::Outcome> FileWork::revertAll(ObjectStore *store, QList<RenameRecord> records)
{
    auto work = [records](const WorkerStore &opened, const BatchProgress &progress) {
        if (!opened) {
            Undo::Outcome refused;
            const NamorixError error = NamorixError::historyNotWritable(opened.error().message());
            for (auto record = records.crbegin(); record != records.crend(); ++record)
                refused.failures.append({*record, error});
            return refused;
        }
        return Undo::revertAll(*opened, records, progress);
    };
    QCoro::Task<Undo::Outcome> moving = onWorker(store, Kind::reverting, std::move(work));
    Undo::Outcome outcome = co_await std::move(moving);
    co_return outcome;
}
