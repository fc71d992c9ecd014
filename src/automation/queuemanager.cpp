#include "automation/queuemanager.h"

#include "ai/aisettings.h"
#include "ai/providercatalogue.h"
#include "ai/usageledger.h"
#include "automation/automationlog.h"
#include "automation/desktopnotifier.h"
#include "common/stringtable.h"
#include "engine/filework.h"
#include "engine/renameengine.h"
#include "engine/undo.h"
#include "settings/defaultsstore.h"
#include "settings/generalflags.h"

namespace {

QueueManager::Notify desktopNotification()
{
    return [](const QString &title, const QString &body, const QList<DesktopNotifier::Action> &actions) {
        static DesktopNotifier notifier;
        notifier.post(title, body, actions);
    };
}

} // namespace

QueueManager::QueueManager(const DefaultsStore &defaults, Notify notify, QObject *parent)
    : QObject(parent)
    , m_notify(notify ? std::move(notify) : desktopNotification())
    , m_defaults(defaults)
{
    m_budgetCheck.setInterval(std::chrono::hours(1));
    connect(&m_budgetCheck, &QTimer::timeout, this, &QueueManager::checkBudget);
    // What waited for the terms goes ahead once they are accepted.
    connect(&FlagChanges::shared(), &FlagChanges::written, this, [this](const DefaultsStore *, const QString &key) {
        if (key == GeneralFlags::hasAcceptedLegal.keyString() && !m_isRunning)
            processNext();
    });
}

QueueManager::~QueueManager() = default;

QList<QUrl> QueueManager::pendingURLs() const
{
    QList<QUrl> urls;
    urls.reserve(m_pending.size());
    for (const Entry &entry : m_pending)
        urls.append(entry.url);
    return urls;
}

QSet<QUrl> QueueManager::queuedURLs() const
{
    QSet<QUrl> urls(m_running.begin(), m_running.end());
    for (const Entry &entry : m_pending)
        urls.insert(entry.url);
    return urls;
}

void QueueManager::setEngine(RenameEngine *engine)
{
    if (m_engine) {
        disconnect(&m_engine->settings(), nullptr, this, nullptr);
        disconnect(&m_engine->ledger(), nullptr, this, nullptr);
    }
    m_engine = engine;
    if (!engine)
        return;
    // The ledger's price follows the selected provider and model.
    for (const auto change : {&UsageLedger::monthlyBudgetChanged, &UsageLedger::priceChanged})
        connect(&engine->ledger(), change, this, &QueueManager::checkBudget);
}

void QueueManager::setPaused(bool paused)
{
    m_pausedForBudget = false; // the user decides now
    m_budgetCheck.stop();
    changePaused(paused);
}

void QueueManager::changePaused(bool paused)
{
    if (m_isPaused == paused)
        return;
    m_isPaused = paused;
    Q_EMIT isPausedChanged();
}

void QueueManager::enqueue(const QList<QUrl> &urls, const std::optional<QString> &nameTemplate)
{
    if (urls.isEmpty())
        return;
    for (const QUrl &url : urls)
        m_pending.append(Entry{url, nameTemplate});
    Q_EMIT pendingURLsChanged();
    if (!m_isPaused && !m_isRunning)
        processNext();
}

void QueueManager::resume()
{
    setPaused(false);
    if (!m_isRunning)
        processNext();
}

void QueueManager::clear()
{
    if (m_pending.isEmpty())
        return;
    m_pending.clear();
    Q_EMIT pendingURLsChanged();
}

QString QueueManager::notificationBody(const QList<RenameRecord> &records)
{
    if (records.size() == 1)
        return records.front().originalName + QStringLiteral(" → ") + records.front().newName;
    return StringTable::text("queue.renamed", int(records.size()));
}

QString QueueManager::reviewNotificationBody(qsizetype count)
{
    return StringTable::text("queue.review", int(count));
}

QList<RenameJob> QueueManager::holdBackUnverified(RenameEngine &engine) const
{
    const bool verifiedOnly = GeneralFlags::autoRenameVerifiedOnly.read(m_defaults);
    QList<RenameJob> jobs = engine.jobs();
    QList<RenameJob> held;
    for (RenameJob &job : jobs) {
        if (job.hasFailed()) {
            qCDebug(lcQueue, "not renamed %s: %s", qUtf8Printable(job.originalURL.toLocalFile()),
                    qUtf8Printable(job.failureReason.value_or(QString())));
            continue;
        }
        // The window leaves an unbacked sender for the user to tick; automation names with it.
        if (!job.needsReview()) {
            job.approved = true;
            continue;
        }
        // Held back unticked; a fallback name arrives unticked and is ticked again when the user
        // lets unverified names through.
        job.approved = !verifiedOnly;
        if (verifiedOnly)
            held.append(job);
        qCDebug(lcQueue, "%s %s: unverified %s", verifiedOnly ? "held back for review" : "renamed anyway",
                qUtf8Printable(job.originalURL.toLocalFile()), qUtf8Printable(job.unverifiedFields().join(u", ")));
    }
    engine.setJobs(jobs);
    return held;
}

bool QueueManager::budgetSpent() const
{
    return m_engine && ProviderCatalogue::facts(m_engine->settings().provider()).paidCloud &&
           m_engine->ledger().isOverBudget();
}

void QueueManager::pauseForBudget()
{
    qCInfo(lcQueue, "paused: the monthly budget is spent");
    m_pausedForBudget = true;
    m_budgetCheck.start();
    changePaused(true);
    m_notify(QStringLiteral("Namorix"), StringTable::text("budget.queuePaused").arg(m_engine->ledger().budgetReached()),
             {});
}

void QueueManager::checkBudget()
{
    if (m_pausedForBudget && !budgetSpent())
        resume();
}

void QueueManager::processNext()
{
    // While the engine refuses (terms not accepted) the files wait: nothing is sent or renamed.
    if (m_isPaused || m_pending.isEmpty() || !m_engine)
        return;
    if (m_engine->refusal()) {
        qCDebug(lcQueue, "%lld files wait: the legal terms are not accepted", qint64(m_pending.size()));
        return;
    }
    if (budgetSpent()) {
        pauseForBudget();
        return;
    }
    setRunning(true);

    const std::optional<QString> nameTemplate = m_pending.front().nameTemplate;
    QList<QUrl> batch;
    while (batch.size() < BatchSize && !m_pending.isEmpty() && m_pending.front().nameTemplate == nameTemplate)
        batch.append(m_pending.takeFirst().url);
    Q_EMIT pendingURLsChanged();

    m_running = batch;
    qCDebug(lcQueue, "analysing %lld files, %lld waiting", qint64(batch.size()), qint64(m_pending.size()));
    runBatch(std::move(batch), nameTemplate);
}

QCoro::Task<> QueueManager::runBatch(QList<QUrl> batch, std::optional<QString> nameTemplate)
{
    const QPointer<QueueManager> self = this;
    const QPointer<RenameEngine> engine = m_engine;
    QCoro::Task<QList<RenameJob>> analysis = engine->analyze(std::move(batch), std::move(nameTemplate));
    co_await std::move(analysis);
    if (!self)
        co_return;

    QList<RenameRecord> records;
    QList<RenameJob> held;
    if (engine) {
        held = holdBackUnverified(*engine);
        QCoro::Task<QList<RenameRecord>> applying = engine->applyApproved();
        records = co_await std::move(applying);
        if (!self)
            co_return;
        // Stopped (the app quits): the files not reached keep their names, and the bubble says so.
        if (engine && engine->lastApplyStopped() > 0)
            m_notify(QStringLiteral("Namorix"), StringTable::text("apply.stopped", engine->lastApplyStopped()), {});
        if (engine)
            engine->clearJobs(); // the queue's own engine: what it left is handed on or reported
    }
    if (!records.isEmpty())
        notifyRenamed(records);
    if (!held.isEmpty()) {
        m_notify(QStringLiteral("Namorix"), reviewNotificationBody(held.size()), {});
        Q_EMIT reviewNeeded(held);
    }
    m_running.clear();
    setRunning(false);
    Q_EMIT batchFinished(records);

    if (self && !m_pending.isEmpty() && !m_isPaused)
        processNext();
}

void QueueManager::setRunning(bool running)
{
    if (m_isRunning == running)
        return;
    m_isRunning = running;
    Q_EMIT isRunningChanged();
}

void QueueManager::notifyRenamed(const QList<RenameRecord> &records)
{
    // A batch that went wrong is taken back from the bubble, without opening the window; one to
    // look at is shown in the history by whoever owns the window.
    const QPointer<QueueManager> self(this);
    const qint64 batch = records.front().batch;
    const auto undo = [self, batch] {
        if (self && self->m_engine && self->m_engine->store())
            self->undoFromNotification(batch);
    };
    const auto show = [self, batch] {
        if (self)
            Q_EMIT self->showBatchRequested(batch);
    };
    m_notify(QStringLiteral("Namorix"), notificationBody(records),
             {{StringTable::text("result.undo"), undo}, {StringTable::text("queue.show"), show}});
}

QCoro::Task<> QueueManager::undoFromNotification(qint64 batch)
{
    // A second press while the files move would only report "0 taken back".
    if (m_undoing.contains(batch))
        co_return;
    m_undoing.insert(batch);
    const QPointer<QueueManager> self(this);
    QCoro::Task<std::expected<Undo::Outcome, NamorixError>> reverting =
        m_engine->fileWork().revertBatch(m_engine->store(), batch);
    const auto outcome = co_await std::move(reverting);
    if (!self)
        co_return;
    m_undoing.remove(batch);
    m_notify(QStringLiteral("Namorix"), outcome ? Undo::describe(*outcome) : outcome.error().message(), {});
}
