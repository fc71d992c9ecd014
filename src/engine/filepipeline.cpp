#include "filepipeline.h"

#include "ai/aiprovider.h"
#include "ai/aisettings.h"
#include "ai/httpprovider.h"
#include "ai/local/localnamer.h"
#include "ai/promptcontract.h"
#include "ai/replycache.h"
#include "ai/usageledger.h"
#include "common/filechecks.h"
#include "common/stringtable.h"
#include "engine/enginelog.h"
#include "engine/namorixerror.h"
#include "extraction/contentextraction.h"
#include "extraction/sourcefile.h"
#include "grounding/groundingcheck.h"
#include "grounding/namemarks.h"
#include "naming/namebuilder.h"
#include "naming/naminglog.h"
#include "naming/renamerules.h"
#include "store/objectstore.h"

#include <QCoroFuture>
#include <QFileInfo>
#include <QtConcurrent>

namespace {

/** The fields the file's own e-invoice data gave are its own word: nothing to check them against. */
void trustInvoiceFields(Grounding::Report &report, const QHash<QString, FieldSource> &sources)
{
    for (Grounding::FieldCheck &check : report.fields) {
        if (sources.value(check.field, FieldSource::model) != FieldSource::einvoice)
            continue;
        check.status = Grounding::Status::verified;
        check.reason.clear();
        check.passage = StringTable::text("explain.fromInvoice");
        check.position = -1;
    }
}

} // namespace

QCoro::Task<RenameJob> FilePipeline::process(QString path, Services services, std::shared_ptr<const Run> run,
                                             std::shared_ptr<bool> alive)
{
    const auto cancelled = [&run] { return run->cancelled->load(); };
    // Before anything opens the path: opening a FIFO blocks, reading a device never ends.
    if (const std::optional<QString> refused = FileChecks::refusal(path))
        co_return RenameJob::failed(path, *refused);
    if (!QFileInfo(path).isReadable())
        co_return RenameJob::failed(path, NamorixError::fileNotReadable(QFileInfo(path).fileName()).message());
    const std::optional<FileChecks::Identity> analysed = FileChecks::identity(path);
    // The bytes are hashed for the reply cache on a worker while the helper extracts; the on-device
    // namer keeps nothing there.
    const bool mayAsk = run->providerType != AIProviderType::local;
    const std::shared_ptr<std::atomic_bool> stop = run->cancelled;
    QFuture<std::optional<QByteArray>> hashing =
        services.store && mayAsk ? QtConcurrent::run([path, stop] {
            const SourceFile file = SourceFile::open(path, path);
            return ReplyCache::contentHash(file.descriptor(), stop.get());
        })
                                 : QtFuture::makeReadyFuture(std::optional<QByteArray>());
    QCoro::Task<ExtractionResult> extracting =
        ContentExtraction::extractFileContext(path, services.companion, services.sandbox, run->cancelled);
    const ExtractionResult context = co_await std::move(extracting);
    if (!*alive || cancelled())
        co_return RenameJob::failed(path, StringTable::text("run.cancelled"));
    if (!context)
        co_return RenameJob::failed(path, context.error().message);
    const std::optional<QByteArray> content = co_await hashing;
    if (!*alive || cancelled())
        co_return RenameJob::failed(path, StringTable::text("run.cancelled"));

    // The on-device namer answers every file at once; a model is asked only where it must be.
    const LocalNaming local = LocalNamer::name(*context, services.rules.categories(), run->learned);
    const bool invoiceNames = context->invoice && context->invoice->isComplete();
    const bool onDevice = !mayAsk || invoiceNames || (run->localFirst && local.sure);

    SuggestionResult suggestion = std::unexpected(ProviderError{});
    bool fromCache = false;
    if (onDevice) {
        suggestion = AISuggestion::fromLocal(local);
        if (mayAsk) // a request the selected model was spared
            services.ledger.addNamedHere(run->providerType);
        qCDebug(lcNaming, "%s named on the device: %s", qUtf8Printable(path),
                !mayAsk        ? "the on-device namer is the chosen provider"
                : invoiceNames ? "its e-invoice data names it"
                               : "the on-device fields are sure, the model is asked only where they are not");
    } else {
        const std::optional<QString> cacheKey =
            content && services.store ? std::optional<QString>(ReplyCache::key(*content, services.settings,
                                                                               services.rules, run->nameTemplate))
                                      : std::nullopt;
        std::optional<QString> cached;
        if (cacheKey && !run->again) {
            if (const auto found = services.store->cachedReply(*cacheKey))
                cached = *found;
        }
        if (cached) {
            // Read as the provider would, with the excerpt it would have sent for "Warum dieser Name?".
            suggestion = PromptContract::makeSuggestion(*cached, context->fileExtension)
                             .withMasked(HTTPProvider::maskedPrompt(*context, run->nameTemplate, services.settings));
            fromCache = true;
            qCDebug(lcNaming, "%s named from a kept reply: the same content was analysed before", qUtf8Printable(path));
        } else {
            qCDebug(lcNaming, "%s goes to %s: %s", qUtf8Printable(path), qUtf8Printable(rawValue(run->providerType)),
                    run->localFirst ? "the on-device fields are not sure" : "the chosen provider");
            QCoro::Task<SuggestionResult> asking = run->provider->suggest(*context, run->nameTemplate);
            suggestion = co_await std::move(asking);
            // The rules live on the GUI thread with the engine; after the engine they may be gone too.
            if (!*alive || cancelled())
                co_return RenameJob::failed(path, StringTable::text("run.cancelled"));
            if (!suggestion)
                co_return RenameJob::failed(path, suggestion.error().message);
            // Only fields are kept: prose is no answer to ask for again, and a failure was no answer.
            if (cacheKey && suggestion->extraction()) {
                if (const auto kept = services.store->keepReply(*cacheKey, suggestion->reply()); !kept)
                    qCWarning(lcEngine, "reply not cached: %s", qUtf8Printable(kept.error().message()));
            }
        }
        // What the file's e-invoice states is exact, whatever the model read.
        if (context->invoice)
            suggestion = suggestion->withFieldsFrom(local);
    }

    // Checked against what the namer saw, before the name is built; the user decides on the result.
    auto explanation = std::make_shared<Grounding::Explanation>();
    explanation->excerpt = PromptContract::promptExcerpt(*context);
    explanation->metadataLine = PromptContract::metadataLine(*context);
    explanation->nameTemplate = onDevice ? std::nullopt : run->nameTemplate;
    explanation->masked = suggestion->masked();
    explanation->fromCache = fromCache;
    explanation->onDevice = onDevice;
    explanation->namedBy = rawValue(onDevice ? AIProviderType::local : run->providerType);
    explanation->rawReply = suggestion->reply();
    explanation->extraction = suggestion->extraction();
    explanation->sources = suggestion->sources();
    explanation->senderIdentifiers = LocalNamer::senderIdentifiers(*context);
    explanation->fileExtension = context->fileExtension;
    explanation->evidence = Grounding::evidence(*context);
    explanation->report =
        suggestion->extraction()
            ? Grounding::check(*suggestion->extraction(), services.rules.categories(), explanation->evidence)
            : Grounding::fallbackReport();
    trustInvoiceFields(explanation->report, explanation->sources);

    RenameJob job;
    job.originalURL = QUrl::fromLocalFile(path);
    job.confidence = suggestion->confidence();
    job.suggestedName = suggestion->extraction() ? NameBuilder::buildFileName(*suggestion->extraction(), services.rules,
                                                                              context->fileExtension)
                                                 : suggestion->name();
    job.unverified = explanation->report.unverified();
    explanation->builtName = job.suggestedName;
    explanation->spans = Grounding::fieldSpans(job.suggestedName, explanation->extraction, explanation->report,
                                               services.rules, context->fileExtension);
    explanation->marks = Grounding::nameMarks(explanation->spans, job.unverified);
    job.explanation = std::move(explanation);
    job.analysed = analysed;
    // Prose instead of the fields, or a date, amount or sender the document does not back, is no
    // name to apply with one click: the user decides.
    job.approved = job.isSure();
    co_return job;
}
