#include "renameengine.h"

#include "ai/aisettings.h"
#include "ai/promptcontract.h"
#include "ai/providerfactory.h"
#include "companion/kvxclient.h"
#include "engine/filechecks.h"
#include "engine/filemoves.h"
#include "engine/inputexpansion.h"
#include "extraction/contentextraction.h"
#include "grounding/groundingcheck.h"
#include "grounding/namemarks.h"
#include "naming/namebuilder.h"
#include "naming/renamerules.h"
#include "common/filenames.h"
#include "common/networkerrors.h"
#include "store/objectstore.h"

#include <QCoroFuture>
#include <QCoroNetworkReply>
#include <QFileInfo>
#include <QHash>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QtConcurrent>

#include <atomic>

#include <algorithm>
#include <vector>

RenameEngine::Services RenameEngine::Services::shared()
{
    const ProviderEnvironment environment = ProviderEnvironment::shared();
    return Services{environment.settings, environment.rules, KVXClient::shared(), environment.network,
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
    std::unique_ptr<AIProvider> provider;
    QPointer<QNetworkReply> probe;
    int lanesRunning = 0;
    /** Open when every lane has stopped, or at once on cancel. */
    Latch lanesDone;

    [[nodiscard]] bool isCancelled() const { return cancelled->load(); }
};

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

void RenameEngine::setError(const std::optional<QString> &error)
{
    if (error == m_error)
        return;
    m_error = error;
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
    const std::shared_ptr<Run> run = m_currentRun.lock();
    if (!run || run->isCancelled())
        return;
    run->cancelled->store(true);
    if (run->probe)
        run->probe->abort();
    if (run->provider)
        run->provider->abort();
    // Extractions in flight finish on their workers; the run does not wait for them.
    run->lanesDone.open();
}

QCoro::Task<> RenameEngine::analyze(QList<QUrl> inputs, std::optional<QString> nameTemplate)
{
    const std::shared_ptr<bool> alive = m_alive;
    const Turn turn = takeTurn();
    const auto run = std::make_shared<Run>();
    run->ticket = m_nextTicket++;
    run->nameTemplate = std::move(nameTemplate);
    ++m_runsInLine;

    QCoro::Task<> waiting = turn.previous->wait();
    co_await std::move(waiting);
    if (!*alive) {
        turn.mine->open();
        co_return;
    }
    if (run->ticket >= m_cancelledBelow) {
        m_currentRun = run;
        QCoro::Task<> analysis = runAnalysis(run, std::move(inputs));
        co_await std::move(analysis);
        if (!*alive) {
            turn.mine->open();
            co_return;
        }
    }
    // A run waiting behind this one keeps the engine busy: observers see one stretch of work.
    if (--m_runsInLine == 0)
        setProcessing(false);
    turn.mine->open();
}

QCoro::Task<> RenameEngine::runAnalysis(std::shared_ptr<Run> run, QList<QUrl> inputs)
{
    const std::shared_ptr<bool> alive = m_alive;
    QStringList paths;
    for (const QUrl &url : inputs)
        paths << url.toLocalFile();
    // The walk reads the disk; observers see nothing of the run until it is done.
    const std::shared_ptr<std::atomic_bool> stop = run->cancelled;
    QFuture<QStringList> walked = QtConcurrent::run([paths, stop] { return expandInputs(paths, stop.get()); });
    const QStringList expanded = co_await walked;
    if (!*alive)
        co_return;

    QStringList files = expanded;
    if (const std::optional<QSet<QString>> blocked = historyPaths(expanded))
        files.removeIf([&](const QString &path) { return blocked->contains(path); });

    setProcessing(true);
    setError(std::nullopt);
    setJobs({});
    const int skipped = int(expanded.size() - files.size());
    setProgress(0, int(files.size()), skipped);
    if (run->isCancelled()) {
        publishResults(*run);
        co_return;
    }

    if (files.isEmpty()) {
        if (skipped >= 1)
            setError(QString::number(skipped) + QStringLiteral(" Dateien übersprungen (bereits umbenannt)"));
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
    run->lanesRunning = int(std::min<qsizetype>(AnalysisConcurrency, files.size()));
    for (int i = 0; i < run->lanesRunning; ++i)
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
        QCoro::Task<RenameJob> processing = processFile(path, run);
        RenameJob job = co_await std::move(processing);
        if (!*alive || run->isCancelled())
            break;
        run->results.append(job);
        setProgress(int(run->results.size()), m_totalCount, m_skippedDuplicates);
    }
    if (--run->lanesRunning == 0)
        run->lanesDone.open();
}

void RenameEngine::publishResults(const Run &run)
{
    QHash<QString, qsizetype> position;
    for (qsizetype i = 0; i < run.files.size(); ++i)
        position.insert(run.files.at(i), i);
    QList<RenameJob> results = run.results;
    std::stable_sort(results.begin(), results.end(), [&](const RenameJob &a, const RenameJob &b) {
        return position.value(a.originalPath()) < position.value(b.originalPath());
    });
    setJobs(results);
    if (run.isCancelled()) {
        setError(QStringLiteral("Analyse abgebrochen"));
        return;
    }

    const auto failed = std::count_if(results.cbegin(), results.cend(), [](const RenameJob &job) { return job.hasFailed(); });
    std::optional<QString> summary;
    if (failed > 0)
        summary = QString::number(failed) + QStringLiteral(" von ") + QString::number(m_totalCount) + QStringLiteral(" fehlgeschlagen");
    if (m_skippedDuplicates >= 1) {
        summary = (summary ? *summary + QStringLiteral(". ") : QString()) + QString::number(m_skippedDuplicates)
                  + QStringLiteral(" übersprungen (bereits in History)");
    }
    setError(summary);
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
    const QUrl url(HttpProvider::withoutTrailingSlash(endpoint) + QStringLiteral("/api/tags"));
    if (!url.isValid() || url.host().isEmpty() || (url.scheme() != u"http" && url.scheme() != u"https"))
        co_return NamorixError::providerUnreachable(name, QStringLiteral("Ungültiger Endpoint"));
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
                                   ? QStringLiteral("Zeitüberschreitung nach 5 s")
                                   : NetworkErrors::describe(reply->error());
        co_return NamorixError::providerUnreachable(name, detail);
    }
    if (status.isValid() && status.toInt() != 200)
        co_return NamorixError::providerUnreachable(name, QStringLiteral("Nicht erreichbar unter ") + endpoint);
    co_return std::nullopt;
}

QCoro::Task<RenameJob> RenameEngine::processFile(QString path, std::shared_ptr<Run> run)
{
    const std::shared_ptr<bool> alive = m_alive;
    // Before anything opens the path: opening a FIFO blocks, reading a device never ends.
    if (const std::optional<QString> refused = FileChecks::refusal(path))
        co_return RenameJob::failed(path, *refused);
    if (!QFileInfo(path).isReadable())
        co_return RenameJob::failed(path, NamorixError::fileNotReadable(QFileInfo(path).fileName()).message());
    QCoro::Task<ExtractionResult> extracting = ContentExtraction::extractFileContext(path, m_services.companion);
    const ExtractionResult context = co_await std::move(extracting);
    if (!*alive || run->isCancelled())
        co_return RenameJob::failed(path, QStringLiteral("Analyse abgebrochen"));
    if (!context)
        co_return RenameJob::failed(path, QStringLiteral("Inhalt nicht lesbar: ") + QFileInfo(path).fileName());
    QCoro::Task<SuggestionResult> asking = run->provider->suggest(*context, run->nameTemplate);
    const SuggestionResult suggestion = co_await std::move(asking);
    // The rules live on the GUI thread with the engine; after the engine they may be gone too.
    if (!*alive || run->isCancelled())
        co_return RenameJob::failed(path, QStringLiteral("Analyse abgebrochen"));
    if (!suggestion)
        co_return RenameJob::failed(path, suggestion.error().message);

    // Checked against what the model saw, before the name is built; the user decides on the result.
    auto explanation = std::make_shared<Grounding::Explanation>();
    explanation->excerpt = PromptContract::promptExcerpt(*context);
    explanation->metadataLine = PromptContract::metadataLine(*context);
    explanation->nameTemplate = run->nameTemplate;
    explanation->rawReply = suggestion->reply();
    explanation->extraction = suggestion->extraction();
    explanation->fileExtension = context->fileExtension;
    explanation->report = suggestion->extraction()
                              ? Grounding::check(*suggestion->extraction(), m_services.rules.categories(),
                                                 Grounding::checkedText(*context))
                              : Grounding::fallbackReport();

    RenameJob job;
    job.originalURL = QUrl::fromLocalFile(path);
    job.confidence = suggestion->confidence();
    job.suggestedName = suggestion->extraction()
                            ? NameBuilder::buildFileName(*suggestion->extraction(), m_services.rules, context->fileExtension)
                            : suggestion->name();
    job.unverified = explanation->report.unverified();
    explanation->builtName = job.suggestedName;
    explanation->marks = Grounding::nameMarks(job.suggestedName, explanation->extraction, job.unverified,
                                              m_services.rules, context->fileExtension);
    job.explanation = std::move(explanation);
    co_return job;
}

bool RenameEngine::isValidFileName(const QString &name)
{
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/') && !name.contains(QChar(0));
}

QString RenameEngine::uniqueDestination(const QString &path)
{
    if (!FileMoves::nameTaken(path))
        return path;
    const QFileInfo info(path);
    const QString folder = info.path() + u'/';
    const QString name = info.fileName();
    const QString extension = FileNames::extension(name);
    const QString base = FileNames::baseName(name);
    for (int n = 2; n < 100; ++n) {
        const QString candidate = folder + base + u'-' + QString::number(n) + u'.' + extension;
        if (!FileMoves::nameTaken(candidate))
            return candidate;
    }
    const QString random = QUuid::createUuid().toString(QUuid::WithoutBraces).left(6).toUpper();
    return folder + base + u'-' + random + u'.' + extension;
}

std::expected<RenameRecord, QString> RenameEngine::applyJob(const RenameJob &job)
{
    const QString source = job.originalPath();
    if (const std::optional<QString> refused = FileChecks::refusal(source))
        return std::unexpected(*refused);
    const QFileInfo info(source);
    const QString folder = info.path();
    if (!FileMoves::nameTaken(source))
        return std::unexpected(job.originalName() + QStringLiteral(" nicht gefunden"));
    if (!QFileInfo(folder).isWritable())
        return std::unexpected(QStringLiteral("Kein Schreibzugriff auf ") + QFileInfo(folder).fileName());
    const std::optional<FileMoves::ModificationTime> modified = FileMoves::modificationTime(source);
    if (!modified)
        return std::unexpected(QStringLiteral("Dateiattribute nicht lesbar: ") + job.originalName());

    RenameRecord record;
    record.originalPath = source;
    record.originalName = job.originalName();
    record.providerUsed = rawValue(m_services.settings.provider());
    record.confidence = job.confidence;
    // A name taken between the check and the move makes the move fail, never overwrite: try the next free one.
    constexpr int MaxAttempts = 100;
    for (int attempt = 0; attempt < MaxAttempts; ++attempt) {
        record.newPath = uniqueDestination(folder + u'/' + job.suggestedName);
        record.newName = QFileInfo(record.newPath).fileName();
        record.timestamp = QDateTime::currentDateTimeUtc();
        const std::expected<qint64, StoreError> pending = m_store->insertPending(record);
        if (!pending)
            return std::unexpected(QStringLiteral("Verlauf nicht beschreibbar, nichts umbenannt: ") + pending.error().message);
        record.id = *pending;
        const std::expected<void, QString> moved = FileMoves::moveNoReplace(source, record.newPath);
        if (!moved) {
            // A pending record that stays behind is dropped by the start-up pass: its file never moved.
            if (const auto removed = m_store->removeRecord(record.id); !removed)
                qWarning("Namorix: %s", qUtf8Printable(removed.error().message));
            if (FileMoves::nameTaken(record.newPath) && FileMoves::nameTaken(source))
                continue;
            return std::unexpected(moved.error());
        }
        FileMoves::restoreModificationTime(record.newPath, *modified);
        // A confirmation that fails is redone by the start-up pass, since the file is at its new name.
        if (const auto confirmed = m_store->confirm(record.id); !confirmed)
            qWarning("Namorix: %s", qUtf8Printable(confirmed.error().message));
        record.state = RenameRecord::State::done;
        return record;
    }
    return std::unexpected(QStringLiteral("Kein freier Name für ") + job.suggestedName);
}

QCoro::Task<QList<RenameRecord>> RenameEngine::applyApproved()
{
    const std::shared_ptr<bool> alive = m_alive;
    const Turn turn = takeTurn();
    QCoro::Task<> waiting = turn.previous->wait();
    co_await std::move(waiting);
    if (!*alive) {
        turn.mine->open();
        co_return {};
    }
    m_applyFailures.clear();
    QList<RenameRecord> records;
    for (const RenameJob &job : std::as_const(m_jobs)) {
        if (!job.approved || job.suggestedName == job.originalName())
            continue;
        const auto fail = [&](const QString &reason) {
            m_applyFailures.append({job.originalPath(), reason});
            setError(reason);
        };
        if (!isValidFileName(job.suggestedName)) {
            fail(QStringLiteral("Ungültiger Dateiname: ") + job.suggestedName);
            continue;
        }
        if (!m_store) {
            fail(QStringLiteral("Umbenennen nicht möglich: der Verlauf ist nicht verfügbar"));
            continue;
        }
        const std::expected<RenameRecord, QString> record = applyJob(job);
        if (record)
            records.append(*record);
        else
            fail(record.error());
    }
    setJobs({});
    turn.mine->open();
    co_return records;
}

std::expected<void, NamorixError> RenameEngine::revert(RenameRecord &record)
{
    if (!FileMoves::nameTaken(record.newPath))
        return std::unexpected(NamorixError::fileNotFound(QFileInfo(record.newPath).fileName()));
    const std::expected<void, QString> moved = FileMoves::moveNoReplace(record.newPath, record.originalPath);
    if (!moved)
        return std::unexpected(NamorixError::moveFailed(moved.error()));
    record.reverted = true;
    record.revertedAt = QDateTime::currentDateTimeUtc();
    if (m_store) {
        if (const auto saved = m_store->save(record); !saved)
            return std::unexpected(NamorixError::historyNotWritable(saved.error().message));
    }
    return {};
}

std::expected<std::optional<RenameRecord>, NamorixError> RenameEngine::revertLast()
{
    if (!m_store)
        return std::nullopt;
    const auto records = m_store->fetchRecords();
    if (!records)
        return std::unexpected(NamorixError::historyNotWritable(records.error().message));
    std::optional<RenameRecord> newest;
    for (const RenameRecord &record : *records) {
        if (!record.reverted && (!newest || record.timestamp > newest->timestamp))
            newest = record;
    }
    if (!newest)
        return std::nullopt;
    if (const auto reverted = revert(*newest); !reverted)
        return std::unexpected(reverted.error());
    return newest;
}

std::expected<ObjectStore::Settlement, StoreError> RenameEngine::settleInterruptedRenames(ObjectStore &store)
{
    return store.settlePendingRecords([](const RenameRecord &record) { return FileMoves::nameTaken(record.newPath); });
}
