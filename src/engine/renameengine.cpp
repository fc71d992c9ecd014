#include "renameengine.h"

#include "ai/aisettings.h"
#include "ai/promptcontract.h"
#include "ai/providerfactory.h"
#include "ai/replycache.h"
#include "common/filechecks.h"
#include "common/filenames.h"
#include "common/networkerrors.h"
#include "common/stringtable.h"
#include "common/unicodetext.h"
#include "companion/kvxclient.h"
#include "engine/enginelog.h"
#include "engine/filemoves.h"
#include "engine/filepipeline.h"
#include "engine/filework.h"
#include "engine/inputexpansion.h"
#include "engine/renamebatch.h"
#include "engine/senderlesson.h"
#include "extraction/contentextraction.h"
#include "extraction/sourcefile.h"
#include "grounding/groundingcheck.h"
#include "grounding/namemarks.h"
#include "naming/namebuilder.h"
#include "naming/namingtemplates.h"
#include "naming/renamerules.h"
#include "settings/defaultsstore.h"
#include "settings/generalflags.h"
#include "store/objectstore.h"

#include <QCoroFuture>
#include <QCoroNetworkReply>
#include <QFileInfo>
#include <QHash>
#include <QMap>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QtConcurrent>

#include <atomic>

#include <algorithm>
#include <climits>
#include <vector>

RenameEngine::Services RenameEngine::Services::shared()
{
    const ProviderEnvironment environment = ProviderEnvironment::shared();
    return Services{environment.settings,
                    environment.ledger,
                    environment.rules,
                    KVXClient::shared(),
                    environment.network,
                    DefaultsStore::standard(),
                    [] { return ::makeProvider(std::nullopt); }};
}

/** One analysis run: what its lanes share. Lanes and the walk hold it, so it outlives the engine. */
struct RenameEngine::Run {
    quint64 ticket = 0;
    /** Read by the walk on its worker, hence atomic and shared. */
    std::shared_ptr<std::atomic_bool> cancelled = std::make_shared<std::atomic_bool>(false);
    std::optional<QString> nameTemplate;
    QStringList files;
    qsizetype next = 0;
    QList<RenameJob> results;
    /** The results in input order, as added to the review. */
    QList<RenameJob> published;
    std::unique_ptr<AIProvider> provider;
    /** What each file of the run is named with; set once the provider is known to be usable. */
    std::shared_ptr<FilePipeline::Run> perFile = std::make_shared<FilePipeline::Run>();
    QPointer<QNetworkReply> probe;
    int lanesRunning = 0;
    /** Open when every lane has stopped, or at once on cancel. */
    Latch lanesDone;
    /** Its client has gone: it is cancelled, and what it found is dropped. */
    bool abandoned = false;
    /** Its caller's view of it; may be null. */
    std::shared_ptr<AnalysisRun> follow;
    /** Open once it is over: what it found is in the review, or dropped. */
    Latch ended;

    [[nodiscard]] bool isCancelled() const { return cancelled->load(); }
};

ExtractionSandbox &RenameEngine::sandbox() const
{
    return m_services.sandbox ? *m_services.sandbox : ExtractionSandbox::shared();
}

RenameEngine::RenameEngine(Services services, QObject *parent)
    : QObject(parent)
    , m_services(std::move(services))
{
}

RenameEngine::~RenameEngine()
{
    *m_alive = false;
    cancel();
}

void RenameEngine::setJobs(const QList<RenameJob> &jobs)
{
    m_jobs = jobs;
    Q_EMIT jobsChanged();
}

bool RenameEngine::editJob(const QUuid &id, const std::optional<QString> &name, const std::optional<bool> &approved,
                           Editor editor)
{
    const auto job = std::ranges::find(m_jobs, id, &RenameJob::id);
    if (job == m_jobs.end())
        return false;
    if (!name && !approved)
        return true;
    if (name && *name != job->suggestedName) {
        job->suggestedName = *name;
        job->newerSuggestion.reset();
        // What the user typed is checked as the model's values were: a corrected date can be backed.
        if (job->explanation) {
            auto edited = std::make_shared<Grounding::Explanation>(
                Grounding::edited(*job->explanation, *name, m_services.rules.dateFormat()));
            job->unverified = edited->report.unverified();
            job->explanation = std::move(edited);
        }
    }
    if (approved)
        job->approved = *approved;
    job->editedByUser = job->editedByUser || editor == Editor::user;
    Q_EMIT jobsChanged();
    return true;
}

void RenameEngine::setAllApproved(bool approved, const std::optional<QSet<QUuid>> &only)
{
    for (RenameJob &job : m_jobs) {
        if (job.approved != approved && (!only || only->contains(job.id)))
            job.approved = approved, job.editedByUser = true;
    }
    Q_EMIT jobsChanged();
}

void RenameEngine::removeJobs(const QSet<QUuid> &ids)
{
    if (m_jobs.removeIf([&](const RenameJob &job) { return ids.contains(job.id); }) > 0)
        Q_EMIT jobsChanged();
}

void RenameEngine::clearJobs()
{
    setError(std::nullopt);
    setJobs({});
}

QCoro::Task<qsizetype> RenameEngine::cancelAndClear()
{
    const std::shared_ptr<Run> running = m_currentRun.lock();
    cancel();
    if (running && !running->ended.isOpen()) {
        const std::shared_ptr<bool> alive = m_alive;
        QCoro::Task<> stopping = running->ended.wait();
        co_await std::move(stopping);
        if (!*alive)
            co_return 0;
    }
    const qsizetype cleared = m_jobs.size();
    clearJobs();
    co_return cleared;
}

void RenameEngine::setError(const std::optional<QString> &error, const std::optional<QString> &shown)
{
    if (error == m_error && shown == m_shownError)
        return;
    m_error = error;
    m_shownError = shown;
    Q_EMIT errorChanged();
}

void RenameEngine::setProcessing(bool processing)
{
    if (processing == m_isProcessing)
        return;
    m_isProcessing = processing;
    Q_EMIT isProcessingChanged();
}

void RenameEngine::setProgress(int processed, int total, int skipped)
{
    m_processedCount = processed;
    m_totalCount = total;
    m_skippedDuplicates = skipped;
    Q_EMIT progressChanged();
}

void RenameEngine::setWaitNote(const std::optional<QString> &note)
{
    if (note == m_waitNote)
        return;
    m_waitNote = note;
    Q_EMIT waitNoteChanged();
}

std::optional<QSet<QString>> RenameEngine::historyPaths(const QStringList &candidates) const
{
    if (!m_store)
        return std::nullopt;
    const auto found = m_store->pathsInHistory(candidates);
    return found ? std::optional<QSet<QString>>(*found) : std::nullopt;
}

RenameEngine::Turn RenameEngine::takeTurn()
{
    Turn turn{m_lastTurn, std::make_shared<Latch>()};
    if (!turn.previous)
        turn.previous = std::make_shared<Latch>(), turn.previous->open();
    m_lastTurn = turn.mine;
    return turn;
}

void RenameEngine::cancel()
{
    m_cancelledBelow = m_nextTicket;
    if (const std::shared_ptr<Run> run = m_currentRun.lock())
        stop(*run);
}

void RenameEngine::stop(Run &run)
{
    if (run.isCancelled())
        return;
    run.cancelled->store(true);
    setWaitNote(std::nullopt);
    if (run.probe)
        run.probe->abort();
    if (run.provider)
        run.provider->abort();
    // The helpers reading this run's files end; the run does not wait for them.
    sandbox().stopCancelled();
    run.lanesDone.open();
}

std::optional<NamorixError> RenameEngine::refusal() const
{
    if (!GeneralFlags::hasAcceptedLegal.read(m_services.defaults))
        return NamorixError::termsNotAccepted();
    return std::nullopt;
}

QCoro::Task<QList<RenameJob>> RenameEngine::analyze(QList<QUrl> inputs, std::optional<QString> nameTemplate, bool again,
                                                    std::shared_ptr<AnalysisRun> follow)
{
    QStringList paths;
    for (const QUrl &url : inputs)
        paths << url.toLocalFile();
    return analyzeInputs(Inputs{std::move(paths), false}, std::move(nameTemplate), again, std::move(follow));
}

QCoro::Task<QList<RenameJob>> RenameEngine::analyzeExpanded(QStringList files, std::optional<QString> nameTemplate,
                                                            bool again, std::shared_ptr<AnalysisRun> follow)
{
    return analyzeInputs(Inputs{std::move(files), true}, std::move(nameTemplate), again, std::move(follow));
}

QCoro::Task<QList<RenameJob>> RenameEngine::analyzeInputs(Inputs inputs, std::optional<QString> nameTemplate,
                                                          bool again, std::shared_ptr<AnalysisRun> follow)
{
    if (const std::optional<NamorixError> refused = refusal()) {
        setError(refused->message());
        if (follow)
            follow->finish({}, true);
        co_return {};
    }
    const std::shared_ptr<bool> alive = m_alive;
    const Turn turn = takeTurn();
    const auto run = std::make_shared<Run>();
    run->ticket = m_nextTicket++;
    run->perFile->again = again;
    // Every face starts its runs here, so the default template reaches them all.
    run->nameTemplate = nameTemplate || !m_store ? std::move(nameTemplate) : NamingTemplates::defaultPattern(*m_store);
    run->follow = follow;
    ++m_runsInLine;
    if (follow) {
        const auto leave = [this, weakRun = std::weak_ptr<Run>(run)] {
            const std::shared_ptr<Run> gone = weakRun.lock();
            if (!gone)
                return;
            gone->abandoned = true;
            if (m_currentRun.lock() == gone)
                stop(*gone);
            else
                gone->cancelled->store(true); // still waiting for its turn: it will not start
        };
        if (follow->isAbandoned())
            leave();
        else
            connect(follow.get(), &AnalysisRun::abandoned, this, leave);
    }
    // Its caller hears of its end also when the engine goes first.
    const auto ended = [turn, follow, run](bool alive) {
        run->ended.open();
        turn.mine->open();
        if (follow)
            follow->finish(run->abandoned ? QList<RenameJob>() : run->published,
                           !alive || run->isCancelled() || run->abandoned);
    };

    QCoro::Task<> waiting = turn.previous->wait();
    co_await std::move(waiting);
    if (!*alive) {
        ended(false);
        co_return {};
    }
    if (run->ticket >= m_cancelledBelow && !run->abandoned) {
        m_currentRun = run;
        if (follow)
            follow->start();
        QCoro::Task<> analysis = runAnalysis(run, std::move(inputs));
        co_await std::move(analysis);
        if (!*alive) {
            ended(false);
            co_return {};
        }
    }
    // A run waiting behind this one keeps the engine busy: observers see one stretch of work.
    if (--m_runsInLine == 0)
        setProcessing(false);
    ended(true);
    co_return run->published;
}

QCoro::Task<> RenameEngine::runAnalysis(std::shared_ptr<Run> run, Inputs inputs)
{
    const std::shared_ptr<bool> alive = m_alive;
    QStringList expanded = std::move(inputs.paths);
    if (!inputs.expanded) {
        // The walk reads the disk; observers see nothing of the run until it is done.
        const std::shared_ptr<std::atomic_bool> stop = run->cancelled;
        QFuture<QStringList> walked =
            QtConcurrent::run([paths = std::move(expanded), stop] { return expandInputs(paths, stop.get()); });
        expanded = co_await walked;
        if (!*alive)
            co_return;
    }

    QStringList files = expanded;
    if (const std::optional<QSet<QString>> blocked = historyPaths(expanded))
        files.removeIf([&](const QString &path) { return blocked->contains(path); });

    setProcessing(true);
    setError(std::nullopt);
    const int skipped = int(expanded.size() - files.size());
    setProgress(0, int(files.size()), skipped);
    if (run->follow)
        run->follow->setProgress({0, int(files.size()), skipped});
    if (run->isCancelled()) {
        publishResults(*run);
        co_return;
    }

    if (files.isEmpty()) {
        if (skipped >= 1)
            setError(StringTable::text("run.skippedAll", skipped));
        co_return;
    }

    QCoro::Task<std::optional<NamorixError>> validation = validateProvider(run);
    const std::optional<NamorixError> unusable = co_await std::move(validation);
    if (!*alive)
        co_return;
    if (run->isCancelled()) {
        publishResults(*run);
        co_return;
    }
    if (unusable) {
        setError(unusable->message());
        co_return;
    }

    // A window of four: each lane takes the next file in list order when its last one is done.
    run->files = files;
    run->provider = m_services.makeProvider();
    run->perFile->cancelled = run->cancelled;
    run->perFile->nameTemplate = run->nameTemplate;
    run->perFile->providerType = m_services.settings.provider();
    run->perFile->provider = run->provider.get();
    run->perFile->localFirst = m_services.settings.localFirst();
    if (m_store) {
        if (auto learned = m_store->learnedSenders())
            run->perFile->learned = *learned;
        else
            qCWarning(lcEngine, "learned senders not read: %s", qUtf8Printable(learned.error().message()));
    }
    // Weak: the run owns the provider. A cancelled run's waits end without a word.
    run->provider->setWaitObserver(
        [this, alive, weakRun = std::weak_ptr<Run>(run)](const std::optional<QString> &note) {
            const std::shared_ptr<Run> current = weakRun.lock();
            if (*alive && current && !current->isCancelled())
                setWaitNote(note);
        });
    // A lane that finishes without suspending (refused paths) counts down before the next starts.
    const int laneCount = int(std::min<qsizetype>(AnalysisConcurrency, files.size()));
    run->lanesRunning = laneCount;
    for (int i = 0; i < laneCount; ++i)
        lane(run);
    QCoro::Task<> lanes = run->lanesDone.wait();
    co_await std::move(lanes);
    if (!*alive)
        co_return;
    publishResults(*run);
}

QCoro::Task<> RenameEngine::lane(std::shared_ptr<Run> run)
{
    const std::shared_ptr<bool> alive = m_alive;
    while (!run->isCancelled() && run->next < run->files.size()) {
        const QString path = run->files.at(run->next++);
        QCoro::Task<RenameJob> processing =
            FilePipeline::process(path,
                                  FilePipeline::Services{m_services.settings, m_services.ledger, m_services.rules,
                                                         m_services.companion, sandbox(), m_store},
                                  run->perFile, m_alive);
        RenameJob job = co_await std::move(processing);
        if (!*alive || run->isCancelled())
            break;
        run->results.append(job);
        setProgress(int(run->results.size()), m_totalCount, m_skippedDuplicates);
        if (run->follow)
            run->follow->setProgress({m_processedCount, m_totalCount, m_skippedDuplicates});
    }
    if (--run->lanesRunning == 0)
        run->lanesDone.open();
}

void RenameEngine::mergeIntoReview(const QList<RenameJob> &results, bool replaceEdits)
{
    if (results.isEmpty())
        return;
    for (const RenameJob &result : results) {
        const auto listed = std::ranges::find(m_jobs, result.originalURL, &RenameJob::originalURL);
        if (listed == m_jobs.end())
            m_jobs.append(result);
        else if (replaceEdits || !listed->editedByUser ||
                 listed->hasFailed()) // a failed row holds nothing of the user's
            *listed = result;
        else if (!result.hasFailed())
            listed->newerSuggestion = result.suggestedName;
    }
    Q_EMIT jobsChanged();
}

void RenameEngine::publishResults(Run &run)
{
    QHash<QString, qsizetype> position;
    for (qsizetype i = 0; i < run.files.size(); ++i)
        position.insert(run.files.at(i), i);
    QList<RenameJob> results = run.results;
    std::stable_sort(results.begin(), results.end(), [&](const RenameJob &a, const RenameJob &b) {
        return position.value(a.originalPath()) < position.value(b.originalPath());
    });
    run.published = results;
    setWaitNote(std::nullopt);
    if (run.abandoned)
        return; // nobody waits for these: the user's review and message stay as they are
    mergeIntoReview(results, run.perFile->again);
    if (run.isCancelled()) {
        setError(StringTable::text("run.cancelled"));
        return;
    }

    const auto failed =
        std::count_if(results.cbegin(), results.cend(), [](const RenameJob &job) { return job.hasFailed(); });
    std::optional<QString> summary;
    if (failed > 0)
        summary = StringTable::text("run.failed").arg(failed).arg(m_totalCount);
    std::optional<QString> shown = summary;
    if (m_skippedDuplicates >= 1) {
        const QString skipped = StringTable::text("run.skippedInHistory", m_skippedDuplicates);
        const QString skippedShown = StringTable::text("run.skippedInHistory.shown", m_skippedDuplicates);
        summary = summary ? *summary + QStringLiteral(". ") + skipped : skipped;
        shown = shown ? *shown + QStringLiteral(". ") + skippedShown : skippedShown;
    }
    setError(summary, shown != summary ? shown : std::nullopt);
}

QCoro::Task<std::optional<NamorixError>> RenameEngine::validateProvider(std::shared_ptr<Run> run)
{
    const std::shared_ptr<bool> alive = m_alive;
    AISettings &settings = m_services.settings;
    const AIProviderType type = settings.provider();
    if (AISettings::needsAPIKey(type)) {
        QCoro::Task<QString> lookup = settings.apiKey();
        const QString key = co_await std::move(lookup);
        if (!*alive)
            co_return std::nullopt;
        if (key.isEmpty())
            co_return NamorixError::providerNotConfigured(rawValue(type));
    }
    if (type != AIProviderType::ollama)
        co_return std::nullopt;

    const QString endpoint = settings.effectiveEndpoint();
    const QString name = rawValue(type);
    const QUrl url(HTTPProvider::withoutTrailingSlash(endpoint) + QStringLiteral("/api/tags"));
    if (!url.isValid() || url.host().isEmpty() || (url.scheme() != u"http" && url.scheme() != u"https"))
        co_return NamorixError::providerUnreachable(name, StringTable::text("provider.invalidEndpoint"));
    QNetworkRequest request(url);
    request.setTransferTimeout(OllamaProbeTimeoutMs);
    QNetworkReply *sent = m_services.network.get(request);
    run->probe = sent;
    co_await sent;
    const QScopedPointer<QNetworkReply, QScopedPointerDeleteLater> reply(sent);
    if (!*alive || run->isCancelled())
        co_return std::nullopt;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid() && reply->error() != QNetworkReply::NoError) {
        const QString detail = reply->error() == QNetworkReply::OperationCanceledError
                                   ? StringTable::text("provider.timeout")
                                   : NetworkErrors::describe(reply->error());
        co_return NamorixError::providerUnreachable(name, detail);
    }
    if (status.isValid() && status.toInt() != 200)
        co_return NamorixError::providerUnreachable(name, StringTable::text("provider.notReachableAt").arg(endpoint));
    co_return std::nullopt;
}

void RenameEngine::learnFrom(const RenameJob &job)
{
    if (!m_store)
        return;
    if (const std::optional<LearnedSender> lesson = SenderLesson::from(job, m_services.rules)) {
        if (const auto learned = m_store->learnSender(*lesson); !learned)
            qCWarning(lcEngine, "sender not learned: %s", qUtf8Printable(learned.error().message()));
    }
}

QCoro::Task<QList<RenameRecord>> RenameEngine::applyApproved(std::optional<QList<QUuid>> only, FileWork *work)
{
    if (const std::optional<NamorixError> refused = refusal()) {
        m_applyFailures.clear();
        setError(refused->message());
        co_return {};
    }
    const std::shared_ptr<bool> alive = m_alive;
    const QPointer<FileWork> guest(work);
    const Turn turn = takeTurn();
    QCoro::Task<> waiting = turn.previous->wait();
    co_await std::move(waiting);
    if (!*alive || (work && !guest)) {
        turn.mine->open();
        co_return {};
    }
    m_applyFailures.clear();
    m_applyStopped = 0;
    QList<qsizetype> selected;
    if (only) {
        for (const QUuid &id : std::as_const(*only)) {
            const auto job = std::ranges::find(m_jobs, id, &RenameJob::id);
            if (job == m_jobs.end())
                m_applyFailures.append(
                    {QString(), StringTable::text("apply.notListed").arg(id.toString(QUuid::WithoutBraces).toUpper())});
            else if (const qsizetype index = job - m_jobs.begin(); !selected.contains(index))
                selected.append(index);
        }
        std::ranges::sort(selected);
    } else {
        for (qsizetype i = 0; i < m_jobs.size(); ++i)
            selected.append(i);
    }
    // The list as it is now: the user may edit it while the files move, so results go back by id.
    const QList<RenameJob> applied = m_jobs;
    QCoro::Task<RenameBatch::Outcome> moving =
        (work ? *work : m_work).apply(m_store, applied, selected, rawValue(m_services.settings.provider()));
    const RenameBatch::Outcome outcome = co_await std::move(moving);
    if (!*alive) {
        turn.mine->open();
        co_return outcome.records;
    }
    QSet<QUuid> renamed;
    for (const qsizetype i : outcome.renamed) {
        renamed.insert(applied.at(i).id);
        learnFrom(applied.at(i));
    }
    QHash<QUuid, QString> failures;
    for (auto failure = outcome.failures.cbegin(); failure != outcome.failures.cend(); ++failure)
        failures.insert(applied.at(failure.key()).id, failure.value());
    m_applyStopped = outcome.stopped;

    QList<RenameJob> remaining;
    for (RenameJob job : std::as_const(m_jobs)) {
        if (renamed.contains(job.id))
            continue;
        if (const auto failure = failures.constFind(job.id); failure != failures.cend()) {
            job.applyFailure = *failure;
            m_applyFailures.append({job.originalPath(), *failure});
        }
        remaining.append(std::move(job));
    }
    setJobs(remaining);
    if (m_applyStopped > 0)
        setError(StringTable::text("apply.stopped", m_applyStopped));
    else if (!m_applyFailures.isEmpty())
        setError(m_applyFailures.last().reason);
    turn.mine->open();
    co_return outcome.records;
}
