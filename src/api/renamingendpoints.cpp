#include "api/renamingendpoints.h"

#include "ai/promptcontract.h"
#include "api/handlerkit.h"
#include "common/stringtable.h"
#include "common/unicodetext.h"
#include "companion/kvxclient.h"
#include "engine/filepipeline.h"
#include "engine/filework.h"
#include "engine/renameengine.h"
#include "engine/undo.h"
#include "extraction/sandbox/extractionsandbox.h"
#include "naming/namingtemplates.h"
#include "store/objectstore.h"

#include <QJsonArray>
#include <QRegularExpression>

#include <algorithm>
#include <array>

using namespace HandlerKit;
using namespace UnicodeText;

namespace {

constexpr qsizetype ExtractedTextLimit = 5000;
/** Runs of POST /v1/runs kept for their GET: a script reads its run's end soon after it comes. */
constexpr qsizetype KeptRuns = 32;

QString jobId(const RenameJob &job)
{
    return job.id.toString(QUuid::WithoutBraces).toUpper();
}

/** One file that was not renamed, and why. */
QJsonObject failureEntry(const QString &path, const QString &reason)
{
    return QJsonObject{{QStringLiteral("original"), lastPathComponent(path)},
                       {QStringLiteral("path"), path},
                       {QStringLiteral("error"), reason}};
}

/** The jobs whose analysis failed, as failure entries. */
QJsonArray analysisFailures(const QList<RenameJob> &jobs)
{
    QJsonArray failures;
    for (const RenameJob &job : jobs) {
        if (job.failureReason)
            failures.append(failureEntry(job.originalPath(), *job.failureReason));
    }
    return failures;
}

/**
 * Adds "error" with the job's failure reason, "unverified" with its unchecked fields,
 * "needsReview" when one of them keeps the file from being renamed unseen and "cached" when its
 * reply was kept from before, if it has them.
 */
QJsonObject withFailureReason(QJsonObject entry, const RenameJob &job)
{
    if (job.failureReason)
        entry.insert(QStringLiteral("error"), *job.failureReason);
    if (!job.unverified.isEmpty())
        entry.insert(QStringLiteral("unverified"), QJsonArray::fromStringList(job.unverifiedFields()));
    if (job.needsReview())
        entry.insert(QStringLiteral("needsReview"), true);
    if (job.explanation && job.explanation->fromCache)
        entry.insert(QStringLiteral("cached"), true);
    return entry;
}

/** A job as the suggest reply, a run and the jobs list give it: whether applying renames it, and why not. */
QJsonObject suggestionEntry(const RenameJob &job)
{
    return withFailureReason({{QStringLiteral("id"), jobId(job)},
                              {QStringLiteral("original"), lastPathComponent(job.originalPath())},
                              {QStringLiteral("suggested"), job.suggestedName},
                              {QStringLiteral("confidence"), job.confidence},
                              {QStringLiteral("approved"), job.approved},
                              {QStringLiteral("renamable"), job.isRenamable()}},
                             job);
}

QJsonArray suggestionList(const QList<RenameJob> &jobs)
{
    QJsonArray list;
    for (const RenameJob &job : jobs)
        list.append(suggestionEntry(job));
    return list;
}

QString statusName(Grounding::Status status)
{
    switch (status) {
    case Grounding::Status::verified:
        return QStringLiteral("verified");
    case Grounding::Status::unverified:
        return QStringLiteral("unverified");
    case Grounding::Status::notCheckable:
        break;
    }
    return QStringLiteral("notCheckable");
}

/** What was sent for the job, what came back, and how each field fared. */
QJsonObject explanationJson(const RenameJob &job, const Grounding::Explanation &explanation)
{
    QJsonArray fields;
    for (const Grounding::FieldCheck &check : explanation.report.fields) {
        QJsonObject field{{QStringLiteral("field"), check.field},
                          {QStringLiteral("status"), statusName(check.status)},
                          {QStringLiteral("source"), rawValue(explanation.source(check.field))}};
        if (const std::optional<QString> value = explanation.value(check.field))
            field.insert(QStringLiteral("value"), *value);
        if (!check.reason.isEmpty())
            field.insert(QStringLiteral("reason"), check.reason);
        if (!check.passage.isEmpty())
            field.insert(QStringLiteral("passage"), check.passage);
        // Offsets count UTF-16 units of the excerpt as sent; a passage in the metadata line or in
        // a masked stretch has none.
        const std::optional<qsizetype> offset =
            check.position < 0 || check.position >= explanation.excerpt.size() ? std::nullopt
            : explanation.masked
                ? Privacy::maskedPosition(explanation.masked->excerpt.spans, check.position, check.passage.size())
                : std::optional<qsizetype>(check.position);
        if (offset)
            field.insert(QStringLiteral("offset"), *offset);
        fields.append(field);
    }
    // The description is nothing to check, but it too came from somewhere.
    if (const std::optional<QString> description = explanation.value(QStringLiteral("beschreibung")))
        fields.append(
            QJsonObject{{QStringLiteral("field"), QStringLiteral("beschreibung")},
                        {QStringLiteral("status"), statusName(Grounding::Status::notCheckable)},
                        {QStringLiteral("source"), rawValue(explanation.source(QStringLiteral("beschreibung")))},
                        {QStringLiteral("value"), *description}});
    // Every part as it was sent; with masking, each placeholder with its part and its offset there.
    const std::optional<Privacy::MaskedPrompt> &masked = explanation.masked;
    QJsonObject sent{{QStringLiteral("fileName"), masked ? masked->fileName.text : job.originalName()},
                     {QStringLiteral("excerpt"), masked ? masked->excerpt.text : explanation.excerpt},
                     {QStringLiteral("metadata"), masked ? masked->metadata.text : explanation.metadataLine}};
    if (explanation.nameTemplate)
        sent.insert(QStringLiteral("template"),
                    masked && masked->nameTemplate ? masked->nameTemplate->text : *explanation.nameTemplate);
    if (masked) {
        QJsonArray spans;
        const Privacy::MaskResult noTemplate;
        for (const auto &[part, result] :
             {std::pair{"fileName", &masked->fileName}, std::pair{"metadata", &masked->metadata},
              std::pair{"excerpt", &masked->excerpt},
              std::pair{"template", masked->nameTemplate ? &*masked->nameTemplate : &noTemplate}}) {
            for (const Privacy::MaskedSpan &span : result->spans)
                spans.append(QJsonObject{{QStringLiteral("part"), QString::fromLatin1(part)},
                                         {QStringLiteral("placeholder"), span.placeholder},
                                         {QStringLiteral("offset"), span.maskedStart}});
        }
        sent.insert(QStringLiteral("masked"), spans);
        sent.insert(QStringLiteral("maskSummary"), PromptContract::maskSummary(masked->spans()));
    }
    return {{QStringLiteral("id"), jobId(job)},
            {QStringLiteral("original"), job.originalName()},
            {QStringLiteral("suggested"), job.suggestedName},
            {QStringLiteral("sent"), sent},
            {QStringLiteral("reply"), explanation.rawReply},
            {QStringLiteral("cached"), explanation.fromCache},
            {QStringLiteral("onDevice"), explanation.onDevice},
            {QStringLiteral("fields"), fields}};
}

/**
 * Applies the approved jobs (of `ids` only, when given) and replies with the records, the
 * engine's summary in "error" and, only when something failed, per file in "failures":
 * `failures` as given, then the apply's own.
 */
QCoro::Task<APIResponse> applyAndReply(QPointer<RenameEngine> engine, FileWork *work, QJsonArray failures,
                                       std::optional<QList<QUuid>> ids)
{
    QCoro::Task<QList<RenameRecord>> applying = engine->applyApproved(std::move(ids), work);
    const QList<RenameRecord> records = co_await std::move(applying);
    if (!engine)
        co_return engineNotReady();
    for (const RenameEngine::ApplyFailure &failure : engine->lastApplyFailures())
        failures.append(failureEntry(failure.path, failure.reason));
    QJsonArray renamed;
    for (const RenameRecord &record : records) {
        renamed.append(QJsonObject{{QStringLiteral("original"), record.originalName},
                                   {QStringLiteral("new"), record.newName},
                                   {QStringLiteral("path"), record.newPath}});
    }
    QJsonObject reply{{QStringLiteral("renamed"), renamed}, {QStringLiteral("count"), records.size()}};
    if (!records.isEmpty())
        reply.insert(QStringLiteral("batch"), records.first().batch);
    if (engine->error())
        reply.insert(QStringLiteral("error"), *engine->error());
    if (!failures.isEmpty())
        reply.insert(QStringLiteral("failures"), failures);
    co_return APIResponse::json(reply);
}

QJsonObject historyEntry(const RenameRecord &record)
{
    return QJsonObject{{QStringLiteral("original"), record.originalName},
                       {QStringLiteral("new"), record.newName},
                       {QStringLiteral("originalPath"), record.originalPath},
                       {QStringLiteral("newPath"), record.newPath},
                       {QStringLiteral("date"), isoDate(record.timestamp)},
                       {QStringLiteral("provider"), record.providerUsed},
                       {QStringLiteral("confidence"), record.confidence},
                       {QStringLiteral("reverted"), record.reverted},
                       {QStringLiteral("batch"), record.batch}};
}

/** What undoing a batch came to: the count and each refusal with its reason. */
APIResponse batchReverted(const std::expected<Undo::Outcome, NamorixError> &outcome, qint64 batch)
{
    if (!outcome)
        return APIResponse::error(500, outcome.error().message());
    QJsonObject reply{{QStringLiteral("ok"), outcome->failures.isEmpty()},
                      {QStringLiteral("batch"), batch},
                      {QStringLiteral("count"), outcome->reverted}};
    if (!outcome->failures.isEmpty()) {
        QJsonArray failures;
        for (const auto &[record, error] : outcome->failures)
            failures.append(failureEntry(record.newPath, error.message()));
        reply.insert(QStringLiteral("failures"), failures);
    }
    return APIResponse::json(reply);
}

/** Undoes a whole apply: 404 for a batch the history does not hold. */
QCoro::Task<APIResponse> revertBatch(FileWork &work, ObjectStore *store, qint64 batch)
{
    RecordQuery query;
    query.batch = batch;
    query.limit = 1;
    if (const auto known = store->fetchRecords(query); !known)
        co_return APIResponse::error(500, known.error().message());
    else if (known->isEmpty())
        co_return APIResponse::error(404, QStringLiteral("batch not found"));
    QCoro::Task<std::expected<Undo::Outcome, NamorixError>> reverting = work.revertBatch(store, batch);
    const auto outcome = co_await std::move(reverting);
    co_return batchReverted(outcome, batch);
}

/** Undoes the newest apply that has a rename left to undo, however many were undone since: 404 when none has. */
QCoro::Task<APIResponse> revertLast(FileWork &work, ObjectStore *store)
{
    QCoro::Task<std::expected<Undo::Outcome, NamorixError>> reverting = work.revertLast(store);
    const auto outcome = co_await std::move(reverting);
    const std::optional<RenameRecord> touched = !outcome                ? std::nullopt
                                                : outcome->lastReverted ? outcome->lastReverted
                                                : !outcome->failures.isEmpty()
                                                    ? std::optional<RenameRecord>(outcome->failures.front().first)
                                                    : std::nullopt;
    if (outcome && !touched)
        co_return APIResponse::error(404, QStringLiteral("nothing to revert"));
    co_return batchReverted(outcome, touched ? touched->batch : 0);
}

QJsonObject analysedFile(const FileContext &context)
{
    QJsonObject metadata;
    for (const MetadataMap::Entry &entry : context.metadata.entries())
        metadata.insert(entry.first, entry.second);
    QJsonObject file{{QStringLiteral("fileName"), context.fileName},
                     {QStringLiteral("fileExtension"), context.fileExtension},
                     {QStringLiteral("fileSize"), context.fileSize},
                     {QStringLiteral("extractedText"), leftGraphemes(context.extractedText, ExtractedTextLimit)},
                     {QStringLiteral("textLength"), graphemeCount(context.extractedText)},
                     {QStringLiteral("metadata"), metadata}};
    if (context.creationDate)
        file.insert(QStringLiteral("creationDate"), isoDate(*context.creationDate));
    if (context.modificationDate)
        file.insert(QStringLiteral("modificationDate"), isoDate(*context.modificationDate));
    return file;
}

/** The newest record with this `newPath` (indexed); a store that cannot be read has none. */
std::optional<RenameRecord> recordWithNewPath(const ObjectStore &store, const QString &newPath)
{
    ObjectStore::RecordQuery query;
    query.newPath = newPath;
    query.limit = 1;
    const auto found = store.fetchRecords(query);
    return found && !found->isEmpty() ? std::optional<RenameRecord>(found->first()) : std::nullopt;
}

/** What a suggest, rename or run request asks to analyse, on which engine. */
struct RunRequest {
    QList<QUrl> files;
    std::optional<QString> nameTemplate;
    QPointer<RenameEngine> engine;
};

/** The request's files, template and the engine, or the reply that refuses it. */
std::expected<RunRequest, APIResponse> runRequest(const APIContext &context, const APIRequest &request)
{
    const std::expected<QStringList, APIResponse> paths = absolutePaths(request.body);
    if (!paths)
        return std::unexpected(paths.error());
    std::optional<QString> nameTemplate = string(request.body, QStringLiteral("template"));
    // "template" is the pattern's text; a stored template is named by "templateName".
    if (const std::optional<QString> name = string(request.body, QStringLiteral("templateName"));
        name && !nameTemplate) {
        const std::optional<NamingTemplate> stored =
            context.store ? NamingTemplates::named(*context.store, *name) : std::nullopt;
        if (!stored)
            return std::unexpected(APIResponse::error(404, QStringLiteral("template not found")));
        nameTemplate = stored->pattern;
    }
    if (!context.engine)
        return std::unexpected(engineNotReady());
    if (std::optional<APIResponse> refused = engineRefusal(*context.engine))
        return std::unexpected(*refused);
    return RunRequest{fileUrls(*paths), std::move(nameTemplate), context.engine};
}

QCoro::Task<APIResponse> suggestOrRename(APIContext &context, APIRequest request, bool rename)
{
    const std::expected<RunRequest, APIResponse> asked = runRequest(context, request);
    if (!asked)
        co_return asked.error();
    const QPointer<RenameEngine> engine = asked->engine;

    // The request's own jobs join the shared review; the reply and a rename stay with them, so a
    // script never applies or reports what the user is reviewing.
    // A client that goes before the reply ends its run: nothing more is sent, nothing joins the
    // review, and nothing is renamed.
    const auto follow = std::make_shared<AnalysisRun>();
    QObject::connect(request.abandoned.get(), &Latch::opened, follow.get(), &AnalysisRun::abandon);
    if (request.abandoned->isOpen())
        follow->abandon();
    QCoro::Task<QList<RenameJob>> analysis = engine->analyze(asked->files, asked->nameTemplate, false, follow);
    const QList<RenameJob> own = co_await std::move(analysis);
    if (!engine)
        co_return engineNotReady();
    if (request.abandoned->isOpen())
        co_return APIResponse::error(499, QStringLiteral("client gone")); // written nowhere
    if (rename) {
        // Files whose analysis failed keep their names; the reply says why, with the apply's failures.
        // Renaming at once is what the script asked for: fields the document does not back are
        // no reason to hold its files, prose instead of fields is.
        QList<QUuid> ids;
        for (const RenameJob &job : own) {
            if (!job.changesName())
                continue;
            ids << job.id;
            if (!job.approved && job.explanation && job.explanation->extraction)
                engine->editJob(job.id, std::nullopt, true, RenameEngine::Editor::script);
        }
        QCoro::Task<APIResponse> applying = applyAndReply(engine, &context.work, analysisFailures(own), ids);
        co_return co_await std::move(applying);
    }
    co_return APIResponse::json({{QStringLiteral("suggestions"), suggestionList(own)}});
}

/** Where a run stands; once done, its suggestions (none when it was abandoned). */
QJsonObject runEntry(const QString &id, const AnalysisRun &run)
{
    static const std::array states{QStringLiteral("waiting"), QStringLiteral("running"), QStringLiteral("done")};
    const AnalysisRun::Progress &progress = run.progress();
    QJsonObject entry{{QStringLiteral("run"), id},
                      {QStringLiteral("state"), states.at(qsizetype(run.state()))},
                      {QStringLiteral("progress"), QJsonObject{{QStringLiteral("processed"), progress.processed},
                                                               {QStringLiteral("total"), progress.total},
                                                               {QStringLiteral("skipped"), progress.skipped}}}};
    if (run.state() == AnalysisRun::State::done) {
        entry.insert(QStringLiteral("stopped"), run.stopped());
        entry.insert(QStringLiteral("suggestions"), suggestionList(run.results()));
    }
    return entry;
}

/**
 * `POST /v1/runs`: starts the analysis a suggest would and answers at once with its handle, by
 * which its client follows it (`GET /v1/runs/{id}`) and only it: other runs of the shared engine,
 * the window's too, do not count there.
 */
APIResponse startRun(APIContext &context, const APIRequest &request)
{
    const std::expected<RunRequest, APIResponse> asked = runRequest(context, request);
    if (!asked)
        return asked.error();
    const auto follow = std::make_shared<AnalysisRun>();
    // The engine keeps the run going and `follow` up to date; nobody waits for the task.
    asked->engine->analyze(asked->files, asked->nameTemplate, false, follow);
    const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    // The oldest finished runs make room; a run still under way is kept while it lasts.
    QList<std::pair<QString, std::shared_ptr<AnalysisRun>>> &runs = context.runs;
    for (qsizetype i = 0; i < runs.size() && runs.size() >= KeptRuns;) {
        if (runs.at(i).second->state() == AnalysisRun::State::done)
            runs.removeAt(i);
        else
            ++i;
    }
    runs.append({id, follow});
    return APIResponse::json(runEntry(id, *follow), 202);
}

std::shared_ptr<AnalysisRun> keptRun(const APIContext &context, const QString &id)
{
    const auto kept = std::ranges::find(context.runs, id, &std::pair<QString, std::shared_ptr<AnalysisRun>>::first);
    return kept == context.runs.end() ? nullptr : kept->second;
}

/** `GET` or `DELETE /v1/runs/{id}`: where the run stands, after ending it for a DELETE. */
APIResponse followRun(const APIContext &context, const QString &id, bool end)
{
    const std::shared_ptr<AnalysisRun> run = keptRun(context, id);
    if (!run)
        return APIResponse::error(404, QStringLiteral("run not found"));
    if (end)
        run->abandon(); // what it found joins nothing; its client has let it go
    return APIResponse::json(runEntry(id, *run));
}

QCoro::Task<APIResponse> revert(APIContext &context, APIRequest request)
{
    const std::optional<QString> id = string(request.body, QStringLiteral("id"));
    const std::optional<qint64> batch = integer(request.body, QStringLiteral("batch"));
    const bool last = boolean(request.body, QStringLiteral("last")).value_or(false);
    if (!id && !batch && !last)
        co_return APIResponse::error(400, QStringLiteral("missing id, batch or last"));
    if (id && (id->contains(QChar(0)) || !id->isValidUtf16()))
        co_return invalidPath();
    ObjectStore *store = context.store;
    if (!store)
        co_return noDataContext();
    if (batch) {
        QCoro::Task<APIResponse> reverting = revertBatch(context.work, store, *batch);
        co_return co_await std::move(reverting);
    }
    if (!id) {
        QCoro::Task<APIResponse> reverting = revertLast(context.work, store);
        co_return co_await std::move(reverting);
    }
    std::optional<RenameRecord> record = recordWithNewPath(*store, *id);
    if (!record)
        co_return APIResponse::error(404, QStringLiteral("record not found"));
    QCoro::Task<std::expected<RenameRecord, NamorixError>> reverting = context.work.revert(store, *record);
    const auto reverted = co_await std::move(reverting);
    if (!reverted) {
        // Another file at either name: it stays, and the client can see to it.
        const NamorixError::Code code = reverted.error().code();
        const bool conflict = code == NamorixError::Code::otherFileAtName || code == NamorixError::Code::nameTaken;
        co_return APIResponse::error(conflict ? 409 : 500, reverted.error().message());
    }
    co_return APIResponse::json({{QStringLiteral("ok"), true}, {QStringLiteral("reverted"), record->originalName}});
}

QCoro::Task<APIResponse> analyze(const APIContext &context, APIRequest request)
{
    const std::expected<QStringList, APIResponse> paths = absolutePaths(request.body);
    if (!paths)
        co_return paths.error();
    QJsonArray files;
    for (const QString &path : *paths) {
        if (request.abandoned->isOpen())
            co_return APIResponse::error(499, QStringLiteral("client gone")); // written nowhere
        const QString localPath = QUrl::fromLocalFile(path).toLocalFile();
        QCoro::Task<ExtractionResult> extraction =
            FilePipeline::extract(localPath, context.services.engine.companion, ExtractionSandbox::shared());
        const ExtractionResult result = co_await std::move(extraction);
        if (result) {
            files.append(analysedFile(*result));
        } else {
            files.append(QJsonObject{{QStringLiteral("fileName"), lastPathComponent(localPath)},
                                     {QStringLiteral("error"), result.error().message}});
        }
    }
    co_return APIResponse::json({{QStringLiteral("files"), files}, {QStringLiteral("count"), files.size()}});
}

APIResponse jobs(const APIContext &context)
{
    if (!context.engine)
        return engineNotReady();
    const RenameEngine &engine = *context.engine;
    QJsonArray list;
    for (const RenameJob &job : engine.jobs()) {
        QJsonObject entry = suggestionEntry(job);
        entry.insert(QStringLiteral("originalPath"), job.originalPath());
        list.append(entry);
    }
    return APIResponse::json(
        {{QStringLiteral("jobs"), list},
         {QStringLiteral("count"), list.size()},
         {QStringLiteral("processing"), engine.isProcessing()},
         {QStringLiteral("progress"), QJsonObject{{QStringLiteral("processed"), engine.processedCount()},
                                                  {QStringLiteral("total"), engine.totalCount()}}}});
}

/** `GET /v1/jobs/{id}/explain`; `parameter` is what follows "/v1/jobs/". */
APIResponse explainJob(const APIContext &context, const QString &parameter)
{
    static const QString suffix = QStringLiteral("/explain");
    if (!parameter.endsWith(suffix))
        return APIResponse::error(404, QStringLiteral("not found"));
    if (!context.engine)
        return engineNotReady();
    const QString id = parameter.chopped(suffix.size());
    for (const RenameJob &job : context.engine->jobs()) {
        if (jobId(job) != id)
            continue;
        if (!job.explanation)
            return APIResponse::error(404, QStringLiteral("no explanation"));
        return APIResponse::json(explanationJson(job, *job.explanation));
    }
    return APIResponse::error(404, QStringLiteral("job not found"));
}

APIResponse editJob(const APIContext &context, const APIRequest &request, const QString &id)
{
    if (!context.engine)
        return engineNotReady();
    const QList<RenameJob> &list = context.engine->jobs();
    const auto listed = std::find_if(list.begin(), list.end(), [&](const RenameJob &j) { return jobId(j) == id; });
    if (listed == list.end())
        return APIResponse::error(404, QStringLiteral("job not found"));
    const QUuid uuid = listed->id;
    context.engine->editJob(uuid, string(request.body, QStringLiteral("suggested")),
                            boolean(request.body, QStringLiteral("approved")), RenameEngine::Editor::script);
    const RenameJob &job = *std::ranges::find(context.engine->jobs(), uuid, &RenameJob::id);
    return APIResponse::json({{QStringLiteral("ok"), true},
                              {QStringLiteral("id"), jobId(job)},
                              {QStringLiteral("original"), lastPathComponent(job.originalPath())},
                              {QStringLiteral("suggested"), job.suggestedName},
                              {QStringLiteral("approved"), job.approved},
                              {QStringLiteral("renamable"), job.isRenamable()}});
}

/** `{"ids": [...]}` applies only those jobs (a script's own); without it every approved job. */
QCoro::Task<APIResponse> applyJobs(APIContext &context, APIRequest request)
{
    const QPointer<RenameEngine> engine = context.engine;
    if (!engine)
        co_return engineNotReady();
    if (std::optional<APIResponse> refused = engineRefusal(*engine))
        co_return *refused;
    std::optional<QList<QUuid>> ids;
    if (request.body.contains(QStringLiteral("ids"))) {
        const QJsonValue given = request.body.value(QStringLiteral("ids"));
        ids.emplace();
        for (const QJsonValue &id : given.toArray()) {
            const QUuid uuid = QUuid::fromString(id.toString());
            if (uuid.isNull())
                co_return APIResponse::error(400, StringTable::text("api.idsExpected"));
            ids->append(uuid);
        }
        if (!given.isArray())
            co_return APIResponse::error(400, StringTable::text("api.idsExpected"));
    }
    QCoro::Task<APIResponse> applying = applyAndReply(engine, &context.work, {}, std::move(ids));
    co_return co_await std::move(applying);
}

QCoro::Task<APIResponse> clearJobs(APIContext &context)
{
    const QPointer<RenameEngine> engine = context.engine;
    if (!engine)
        co_return engineNotReady();
    QCoro::Task<qsizetype> clearing = engine->cancelAndClear();
    const qsizetype cleared = co_await std::move(clearing);
    if (!engine)
        co_return engineNotReady();
    co_return APIResponse::json({{QStringLiteral("ok"), true}, {QStringLiteral("cleared"), cleared}});
}

/** A decimal integer with an optional sign; a negative one is no limit. */
std::optional<qsizetype> historyLimit(const QString &path)
{
    const std::optional<QString> text = queryParameter(path, QStringLiteral("limit"));
    bool ok = false;
    const qlonglong value = text ? text->toLongLong(&ok) : 0;
    static const QRegularExpression decimal(QStringLiteral("^[+-]?[0-9]+$"));
    if (!ok || !decimal.match(*text).hasMatch() || value < 0)
        return std::nullopt;
    return qsizetype(value);
}

/** Dates that do not parse are no bound. */
std::optional<QDateTime> dateParameter(const QString &path, const QString &name)
{
    const std::optional<QString> text = queryParameter(path, name);
    return text ? parseIsoDate(*text) : std::nullopt;
}

/** Filtered, sorted and cut by the store, so a long history is never loaded whole. */
APIResponse history(const APIContext &context, const APIRequest &request)
{
    if (!context.store)
        return noDataContext();
    const QString &path = request.path;
    ObjectStore::RecordQuery query;
    query.search = queryParameter(path, QStringLiteral("search"));
    query.provider = queryParameter(path, QStringLiteral("provider"));
    query.from = dateParameter(path, QStringLiteral("from"));
    query.to = dateParameter(path, QStringLiteral("to"));
    query.limit = historyLimit(path).value_or(-1);
    // A store that cannot be read has no records.
    const QList<RenameRecord> records = context.store->fetchRecords(query).value_or(QList<RenameRecord>());

    QJsonArray list;
    for (const RenameRecord &record : records)
        list.append(historyEntry(record));
    return APIResponse::json({{QStringLiteral("history"), list}, {QStringLiteral("count"), list.size()}});
}

APIResponse clearHistory(const APIContext &context)
{
    if (!context.store)
        return noDataContext();
    const auto removed = context.store->removeAllRecords();
    if (!removed)
        return storeFailure(removed.error());
    return APIResponse::json({{QStringLiteral("ok"), true}});
}

APIResponse historyRecord(const APIContext &context, const QString &id)
{
    if (!context.store)
        return noDataContext();
    const std::optional<RenameRecord> record = recordWithNewPath(*context.store, id);
    if (!record)
        return APIResponse::error(404, QStringLiteral("not found"));
    return APIResponse::json(historyEntry(*record));
}

APIResponse deleteHistoryRecord(const APIContext &context, const QString &id)
{
    if (!context.store)
        return noDataContext();
    const std::optional<RenameRecord> record = recordWithNewPath(*context.store, id);
    if (!record)
        return APIResponse::error(404, QStringLiteral("not found"));
    if (const std::expected<void, StoreError> removed = context.store->removeRecord(record->id); !removed)
        return storeFailure(removed.error());
    return APIResponse::json({{QStringLiteral("ok"), true}, {QStringLiteral("deleted"), record->originalName}});
}

} // namespace

QList<APIRoute> renamingRoutes(APIContext &context)
{
    using Match = APIRoute::Match;
    APIContext *c = &context;
    return {
        {QStringLiteral("POST"), QStringLiteral("/v1/suggest"), Match::exact, false,
         [c](APIRequest r, QString) { return suggestOrRename(*c, std::move(r), false); }},
        {QStringLiteral("POST"), QStringLiteral("/v1/rename"), Match::exact, false,
         [c](APIRequest r, QString) { return suggestOrRename(*c, std::move(r), true); }},
        {QStringLiteral("POST"), QStringLiteral("/v1/runs"), Match::exact, false,
         [c](APIRequest r, QString) { return ready(startRun(*c, r)); }},
        {QStringLiteral("GET"), QStringLiteral("/v1/runs/{id}"), Match::prefix, false,
         [c](APIRequest, QString id) { return ready(followRun(*c, id, false)); }},
        {QStringLiteral("DELETE"), QStringLiteral("/v1/runs/{id}"), Match::prefix, false,
         [c](APIRequest, QString id) { return ready(followRun(*c, id, true)); }},
        {QStringLiteral("POST"), QStringLiteral("/v1/revert"), Match::exact, false,
         [c](APIRequest r, QString) { return revert(*c, std::move(r)); }},
        {QStringLiteral("POST"), QStringLiteral("/v1/analyze"), Match::exact, false,
         [c](APIRequest r, QString) { return analyze(*c, std::move(r)); }},
        {QStringLiteral("GET"), QStringLiteral("/v1/jobs"), Match::exact, false,
         [c](APIRequest, QString) { return ready(jobs(*c)); }},
        // Left out of the 404 list, whose contents the API contract fixes.
        {.method = QStringLiteral("GET"),
         .path = QStringLiteral("/v1/jobs/{id}/explain"),
         .match = Match::prefix,
         .handler = [c](APIRequest, QString parameter) { return ready(explainJob(*c, parameter)); },
         .listed = false},
        {QStringLiteral("PUT"), QStringLiteral("/v1/jobs/{id}"), Match::prefix, false,
         [c](APIRequest r, QString id) { return ready(editJob(*c, r, id)); }},
        {QStringLiteral("POST"), QStringLiteral("/v1/jobs/apply"), Match::exact, false,
         [c](APIRequest r, QString) { return applyJobs(*c, std::move(r)); }},
        {QStringLiteral("DELETE"), QStringLiteral("/v1/jobs"), Match::exact, false,
         [c](APIRequest, QString) { return clearJobs(*c); }},
        {QStringLiteral("GET"), QStringLiteral("/v1/history"), Match::exact, false,
         [c](APIRequest r, QString) { return ready(history(*c, r)); }},
        {QStringLiteral("GET"), QStringLiteral("/v1/history/{id}"), Match::prefix, true,
         [c](APIRequest, QString id) { return ready(historyRecord(*c, id)); }},
        {QStringLiteral("DELETE"), QStringLiteral("/v1/history"), Match::exact, false,
         [c](APIRequest, QString) { return ready(clearHistory(*c)); }},
        {QStringLiteral("DELETE"), QStringLiteral("/v1/history/{id}"), Match::prefix, true,
         [c](APIRequest, QString id) { return ready(deleteHistoryRecord(*c, id)); }},
    };
}
