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
#include "common/unicodetext.h"
#include "companion/kvxclient.h"
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

#include <fcntl.h>
#include <sys/stat.h>

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

/** The companion indexes documents and pictures only. */
bool usesCompanion(const QString &lowerExtension)
{
    static const QSet<QString> extensions{QStringLiteral("pdf"),  QStringLiteral("jpg"),  QStringLiteral("jpeg"),
                                          QStringLiteral("png"),  QStringLiteral("heic"), QStringLiteral("heif"),
                                          QStringLiteral("tiff"), QStringLiteral("tif")};
    return extensions.contains(lowerExtension);
}

/** A second descriptor of the same open file (nothing open if none is), for a reader of its own. */
SourceFile duplicate(const SourceFile &file)
{
    if (!file.isOpen())
        return SourceFile(file.path(), file.access());
    return SourceFile(file.path(), ::fcntl(file.descriptor(), F_DUPFD_CLOEXEC, 0));
}

FileChecks::Identity identityOf(const struct stat &info)
{
    return {info.st_dev, info.st_ino, info.st_size, info.st_mtim.tv_sec, info.st_mtim.tv_nsec};
}

/** Whether the open file is still as `before` found it: any write since changes its ctime. */
bool unchanged(const SourceFile &file, const struct stat &before)
{
    struct stat now = {};
    return file.status(now) && now.st_size == before.st_size && now.st_ctim.tv_sec == before.st_ctim.tv_sec &&
           now.st_ctim.tv_nsec == before.st_ctim.tv_nsec && now.st_mtim.tv_sec == before.st_mtim.tv_sec &&
           now.st_mtim.tv_nsec == before.st_mtim.tv_nsec;
}

/** FilePipeline::extract for a file already opened (ContentExtraction::open); takes its descriptor. */
QCoro::Task<ExtractionResult> readContent(std::shared_ptr<SourceFile> file, KVXClient &companion,
                                          ExtractionSandbox &sandbox, std::shared_ptr<std::atomic_bool> stop)
{
    const QString path = file->path();
    const QString extension = lowerExtension(path);
    if (usesCompanion(extension)) {
        QCoro::Task<KVXResult<QString>> asking = companion.extractText(path);
        const KVXResult<QString> text = co_await std::move(asking);
        if (text) {
            // The companion reads text only: a PDF's embedded e-invoice is read all the same, and
            // its data wins over the companion's text.
            if (extension == u"pdf") {
                QCoro::Task<ExtractionResult> own =
                    ContentExtraction::extractFileContext(duplicate(*file), sandbox, stop);
                ExtractionResult read = co_await std::move(own);
                if (read && read->invoice) {
                    qCDebug(lcEngine, "%s: its e-invoice data wins over the companion's text", qUtf8Printable(path));
                    co_return read;
                }
            }
            const QString excerpt = UnicodeText::leftGraphemes(*text, TextLimits::Document);
            // Named future, not a temporary inside co_await: see docs/decisions.md.
            QFuture<ExtractionResult> described =
                QtConcurrent::run(&ContentExtraction::workers(), [file, excerpt]() -> ExtractionResult {
                    ContentExtraction::enterWorker();
                    return FileContext::make(*file, excerpt,
                                             MetadataMap{{QStringLiteral("source"), QStringLiteral("kvx")}});
                });
            co_return co_await described;
        }
    }
    QCoro::Task<ExtractionResult> own =
        ContentExtraction::extractFileContext(std::move(*file), sandbox, std::move(stop));
    co_return co_await std::move(own);
}

} // namespace

QCoro::Task<ExtractionResult> FilePipeline::extract(QString path, KVXClient &companion, ExtractionSandbox &sandbox,
                                                    std::shared_ptr<std::atomic_bool> stop)
{
    QFuture<std::shared_ptr<SourceFile>> opening = ContentExtraction::open(path);
    std::shared_ptr<SourceFile> file = co_await opening;
    QCoro::Task<ExtractionResult> reading = readContent(std::move(file), companion, sandbox, std::move(stop));
    co_return co_await std::move(reading);
}

QCoro::Task<RenameJob> FilePipeline::process(QString path, Services services, std::shared_ptr<const Run> run,
                                             std::shared_ptr<bool> alive)
{
    const auto cancelled = [&run] { return run->cancelled->load(); };
    // Before anything opens the path: opening a FIFO blocks, reading a device never ends.
    if (const std::optional<QString> refused = FileChecks::refusal(path))
        co_return RenameJob::failed(path, *refused);
    if (!QFileInfo(path).isReadable())
        co_return RenameJob::failed(path, NamorixError::fileNotReadable(QFileInfo(path).fileName()).message());
    // Opened once: what the job remembers as the analysed file, the hash and the helper are that
    // one file, also when another is put at its path meanwhile.
    QFuture<std::shared_ptr<SourceFile>> opening = ContentExtraction::open(path);
    const std::shared_ptr<SourceFile> file = co_await opening;
    if (!*alive || cancelled())
        co_return RenameJob::failed(path, StringTable::text("run.cancelled"));
    struct stat opened = {};
    const bool isOpen = file->status(opened);
    const std::optional<FileChecks::Identity> analysed =
        isOpen ? std::optional(identityOf(opened)) : FileChecks::identity(path);
    // The bytes are hashed for the reply cache on a worker, through a descriptor of its own (pread:
    // no shared offset), while the helper extracts; the on-device namer keeps nothing there.
    const bool mayAsk = run->providerType != AIProviderType::local;
    std::shared_ptr<const SourceFile> hashed;
    QFuture<std::optional<QByteArray>> hashing = QtFuture::makeReadyFuture(std::optional<QByteArray>());
    if (services.store && mayAsk && isOpen) {
        hashed = std::make_shared<const SourceFile>(duplicate(*file));
        hashing = QtConcurrent::run(
            [hashed, stop = run->cancelled] { return ReplyCache::contentHash(hashed->descriptor(), stop.get()); });
    }
    QCoro::Task<ExtractionResult> extracting = readContent(file, services.companion, services.sandbox, run->cancelled);
    const ExtractionResult context = co_await std::move(extracting);
    if (!*alive || cancelled())
        co_return RenameJob::failed(path, StringTable::text("run.cancelled"));
    if (!context)
        co_return RenameJob::failed(path, context.error().message);
    std::optional<QByteArray> content = co_await hashing;
    // Written to while it was read: the hash and the text may be of different versions, and a reply
    // kept under that hash would answer for content it never saw.
    if (content && !unchanged(*hashed, opened)) {
        qCDebug(lcEngine, "%s changed while it was read: no reply is kept or taken for it", qUtf8Printable(path));
        content.reset();
    }
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
