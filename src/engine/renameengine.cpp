#include "renameengine.h"

#include "ai/aisettings.h"
#include "ai/providerfactory.h"
#include "companion/kvxclient.h"
#include "engine/filechecks.h"
#include "engine/filemoves.h"
#include "engine/inputexpansion.h"
#include "extraction/contentextraction.h"
#include "naming/namebuilder.h"
#include "naming/renamerules.h"
#include "common/filenames.h"
#include "store/objectstore.h"

#include <QCoroFuture>
#include <QCoroNetworkReply>
#include <QFileInfo>
#include <QHash>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QtConcurrent>

#include <algorithm>
#include <vector>

RenameEngine::Services RenameEngine::Services::shared()
{
    const ProviderEnvironment environment = ProviderEnvironment::shared();
    return Services{environment.settings, environment.rules, KVXClient::shared(), environment.network,
                    [] { return ::makeProvider(std::nullopt); }};
}

RenameEngine::RenameEngine(Services services, QObject *parent)
    : QObject(parent)
    , m_services(std::move(services))
{
}

RenameEngine::~RenameEngine() = default;

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

QCoro::Task<> RenameEngine::analyze(QList<QUrl> inputs, std::optional<QString> nameTemplate)
{
    QStringList paths;
    for (const QUrl &url : inputs)
        paths << url.toLocalFile();
    // The walk reads the disk; observers see nothing of the run until it is done.
    QFuture<QStringList> walked = QtConcurrent::run(expandInputs, paths, nullptr);
    const QStringList expanded = co_await walked;

    QStringList files = expanded;
    if (const std::optional<QSet<QString>> blocked = historyPaths(expanded))
        files.removeIf([&](const QString &path) { return blocked->contains(path); });

    setProcessing(true);
    setError(std::nullopt);
    setJobs({});
    const int skipped = int(expanded.size() - files.size());
    setProgress(0, int(files.size()), skipped);

    if (files.isEmpty()) {
        if (skipped >= 1)
            setError(QString::number(skipped) + QStringLiteral(" Dateien übersprungen (bereits umbenannt)"));
        setProcessing(false);
        co_return;
    }

    const std::optional<NamorixError> unusable = co_await validateProvider();
    if (unusable) {
        setError(unusable->message());
        setProcessing(false);
        co_return;
    }

    // A window of four: each lane takes the next file in list order when its last one is done.
    const std::unique_ptr<AIProvider> provider = m_services.makeProvider();
    QList<RenameJob> results;
    qsizetype next = 0;
    auto lane = [&]() -> QCoro::Task<> {
        while (next < files.size()) {
            const QString path = files.at(next++);
            RenameJob job = co_await processFile(path, provider.get(), nameTemplate);
            results.append(job);
            setProgress(int(results.size()), m_totalCount, m_skippedDuplicates);
        }
    };
    std::vector<QCoro::Task<>> lanes;
    for (int i = 0; i < std::min<qsizetype>(AnalysisConcurrency, files.size()); ++i)
        lanes.push_back(lane());
    for (QCoro::Task<> &running : lanes)
        co_await running;

    QHash<QString, qsizetype> position;
    for (qsizetype i = 0; i < files.size(); ++i)
        position.insert(files.at(i), i);
    std::stable_sort(results.begin(), results.end(), [&](const RenameJob &a, const RenameJob &b) {
        return position.value(a.originalPath()) < position.value(b.originalPath());
    });
    setJobs(results);

    const auto failed = std::count_if(results.cbegin(), results.cend(), [](const RenameJob &job) { return job.hasFailed(); });
    std::optional<QString> summary;
    if (failed > 0)
        summary = QString::number(failed) + QStringLiteral(" von ") + QString::number(m_totalCount) + QStringLiteral(" fehlgeschlagen");
    if (m_skippedDuplicates >= 1) {
        summary = (summary ? *summary + QStringLiteral(". ") : QString()) + QString::number(m_skippedDuplicates)
                  + QStringLiteral(" übersprungen (bereits in History)");
    }
    setError(summary);
    setProcessing(false);
}

QCoro::Task<std::optional<NamorixError>> RenameEngine::validateProvider()
{
    AISettings &settings = m_services.settings;
    const AIProviderType type = settings.provider();
    if (AISettings::needsAPIKey(type)) {
        const QString key = co_await settings.apiKey();
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
    std::unique_ptr<QNetworkReply> reply(co_await m_services.network.get(request));
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid() && reply->error() != QNetworkReply::NoError) {
        const QString detail = reply->error() == QNetworkReply::OperationCanceledError
                                   ? QStringLiteral("Zeitüberschreitung nach 5 s")
                                   : reply->errorString();
        co_return NamorixError::providerUnreachable(name, detail);
    }
    if (status.isValid() && status.toInt() != 200)
        co_return NamorixError::providerUnreachable(name, QStringLiteral("Nicht erreichbar unter ") + endpoint);
    co_return std::nullopt;
}

QCoro::Task<RenameJob> RenameEngine::processFile(QString path, AIProvider *provider, std::optional<QString> nameTemplate)
{
    // Before anything opens the path: opening a FIFO blocks, reading a device never ends.
    if (const std::optional<QString> refused = FileChecks::refusal(path))
        co_return RenameJob::failed(path, *refused);
    if (!QFileInfo(path).isReadable())
        co_return RenameJob::failed(path, NamorixError::fileNotReadable(QFileInfo(path).fileName()).message());
    const ExtractionResult context = co_await ContentExtraction::extractFileContext(path, m_services.companion);
    if (!context)
        co_return RenameJob::failed(path, QStringLiteral("Inhalt nicht lesbar: ") + QFileInfo(path).fileName());
    const SuggestionResult suggestion = co_await provider->suggest(*context, nameTemplate);
    if (!suggestion)
        co_return RenameJob::failed(path, suggestion.error().message);

    RenameJob job;
    job.originalURL = QUrl::fromLocalFile(path);
    job.confidence = suggestion->confidence();
    job.suggestedName = suggestion->extraction()
                            ? NameBuilder::buildFileName(*suggestion->extraction(), m_services.rules, context->fileExtension)
                            : suggestion->name();
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
            (void)m_store->removeRecord(record.id);
            if (FileMoves::nameTaken(record.newPath) && FileMoves::nameTaken(source))
                continue;
            return std::unexpected(moved.error());
        }
        FileMoves::restoreModificationTime(record.newPath, *modified);
        // If this fails the start-up pass confirms the record, since the file is at its new name.
        (void)m_store->confirm(record.id);
        record.state = RenameRecord::State::done;
        return record;
    }
    return std::unexpected(QStringLiteral("Kein freier Name für ") + job.suggestedName);
}

void RenameEngine::cancel()
{
}

QCoro::Task<QList<RenameRecord>> RenameEngine::applyApproved()
{
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
    if (m_store)
        (void)m_store->save(record);
    return {};
}

void RenameEngine::revertLast()
{
    if (!m_store)
        return;
    const auto records = m_store->fetchRecords();
    if (!records)
        return;
    std::optional<RenameRecord> newest;
    for (const RenameRecord &record : *records) {
        if (!record.reverted && (!newest || record.timestamp > newest->timestamp))
            newest = record;
    }
    if (newest)
        (void)revert(*newest);
}

std::expected<ObjectStore::Settlement, StoreError> RenameEngine::settleInterruptedRenames(ObjectStore &store)
{
    return store.settlePendingRecords([](const RenameRecord &record) { return FileMoves::nameTaken(record.newPath); });
}
