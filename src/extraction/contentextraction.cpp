#include "contentextraction.h"

#include "common/unicodetext.h"
#include "companion/kvxclient.h"
#include "extraction/genericprocessor.h"
#include "extraction/processortable.h"
#include "extraction/textrecognizer.h"

#include <QCoroFuture>
#include <QThreadPool>
#include <QtConcurrent>

#include <malloc.h>

#include <atomic>

namespace ContentExtraction {
namespace {

constexpr std::chrono::milliseconds DefaultIdleRelease = std::chrono::minutes(1);

constexpr int LargeBuffer = 4 << 20;

std::atomic<int> g_liveWorkers = 0;

// Lives as long as its worker thread. A worker ends after the idle delay without work, and its
// thread-local recognition engine and caches (destroyed just before this guard) go with it; the
// last one to end also drops the recogniser's shared dictionaries and hands the freed heap back.
struct WorkerLifetime {
    WorkerLifetime() { ++g_liveWorkers; }
    ~WorkerLifetime()
    {
        if (--g_liveWorkers != 0)
            return;
        TextRecognizer::releaseSharedCaches();
        malloc_trim(0);
    }
};

// A file opened for a helper, or the answer for one that holds nothing to parse.
struct Opened {
    std::shared_ptr<SourceFile> file;
    std::optional<ExtractionResult> answer;
};

// Call first in every task, so that the guard is made before (and destroyed after) every other
// thread-local object of the worker.
void enterWorker()
{
    thread_local WorkerLifetime lifetime;
    Q_UNUSED(lifetime);
}

} // namespace

QThreadPool &workers()
{
    static QThreadPool *pool = [] {
        // Fixed thresholds: after the first large buffer (a decoded picture, a rendered page) is
        // freed, glibc would raise both and keep every later one in the workers' heaps.
        mallopt(M_MMAP_THRESHOLD, LargeBuffer);
        mallopt(M_TRIM_THRESHOLD, 2 * LargeBuffer);
        auto *p = new QThreadPool;
        p->setObjectName(QStringLiteral("extraction"));
        p->setExpiryTimeout(int(DefaultIdleRelease.count()));
        p->setMaxThreadCount(std::max(4, QThread::idealThreadCount()));
        // The workers end with the application object, before the static objects: a worker's
        // recognition engine (extractLocally) still alive then made Tesseract's dictionary cache
        // print "WARNING! LEAK!" on the terminal at exit. A thread's thread-local objects go only
        // after QThread reports it finished, hence the count. Work still running is left.
        qAddPostRoutine([] {
            workers().waitForDone(1000);
            const QDeadlineTimer deadline(1000);
            while (g_liveWorkers.load() != 0 && !deadline.hasExpired())
                QThread::msleep(1);
        });
        return p;
    }();
    return *pool;
}

void setIdleRelease(std::chrono::milliseconds delay)
{
    workers().setExpiryTimeout(int(delay.count()));
}

int liveWorkers()
{
    return g_liveWorkers.load();
}

bool usesCompanion(const QString &lowerExtension)
{
    static const QSet<QString> extensions{QStringLiteral("pdf"),  QStringLiteral("jpg"),  QStringLiteral("jpeg"),
                                          QStringLiteral("png"),  QStringLiteral("heic"), QStringLiteral("heif"),
                                          QStringLiteral("tiff"), QStringLiteral("tif")};
    return extensions.contains(lowerExtension);
}

QCoro::Task<ExtractionResult> extractInSandbox(QString path, ExtractionSandbox &sandbox,
                                               std::shared_ptr<std::atomic_bool> stop);

QCoro::Task<ExtractionResult> extractFileContext(QString path, KVXClient &companion, ExtractionSandbox &sandbox,
                                                 std::shared_ptr<std::atomic_bool> stop)
{
    const QString extension = lowerExtension(path);
    if (usesCompanion(extension)) {
        const KVXResult<QString> text = co_await companion.extractText(path);
        if (text) {
            // The companion reads text only: a PDF's embedded e-invoice is read here, and its data
            // (exact seller, date and total) wins over the companion's text.
            if (extension == u"pdf") {
                QCoro::Task<ExtractionResult> own = extractInSandbox(path, sandbox, stop);
                ExtractionResult read = co_await std::move(own);
                if (read && read->invoice)
                    co_return read;
            }
            const QString excerpt = UnicodeText::leftGraphemes(*text, TextLimits::Document);
            // Named future, not a temporary inside co_await: see docs/decisions.md.
            QFuture<ExtractionResult> described = QtConcurrent::run(&workers(), [path, excerpt]() -> ExtractionResult {
                enterWorker();
                return FileContext::make(path, excerpt, MetadataMap{{QStringLiteral("source"), QStringLiteral("kvx")}});
            });
            co_return co_await described;
        }
    }
    QCoro::Task<ExtractionResult> own = extractInSandbox(path, sandbox, std::move(stop));
    co_return co_await std::move(own);
}

QCoro::Task<ExtractionResult> extractInSandbox(QString path, ExtractionSandbox &sandbox,
                                               std::shared_ptr<std::atomic_bool> stop)
{
    // Opening reads the disk; what is not opened holds no content to parse and is answered here.
    const FileProcessor *processor = &ProcessorTable::processorFor(path);
    QFuture<Opened> opening = QtConcurrent::run(&workers(), [processor, path]() -> Opened {
        enterWorker();
        auto file = std::make_shared<SourceFile>(SourceFile::open(path, processor->contentPath(path)));
        if (file->isOpen())
            return {file, std::nullopt};
        return {nullptr, file->access() == SourceFile::Access::notContent ? GenericProcessor::describe(path)
                                                                          : processor->extractFrom(*file)};
    });
    const Opened opened = co_await opening;
    if (opened.answer)
        co_return *opened.answer;
    QFuture<ExtractionResult> extracted = sandbox.extract(std::move(*opened.file), std::move(stop));
    co_return co_await extracted;
}

QFuture<ExtractionResult> extractLocally(const QString &path)
{
    const FileProcessor *processor = &ProcessorTable::processorFor(path);
    return QtConcurrent::run(&workers(), [processor, path] {
        enterWorker();
        return processor->extract(path);
    });
}

} // namespace ContentExtraction
