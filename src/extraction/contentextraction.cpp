#include "contentextraction.h"

#include "common/filechecks.h"
#include "common/unicodetext.h"
#include "companion/kvxclient.h"
#include "extraction/genericprocessor.h"
#include "extraction/processortable.h"
#include "extraction/textrecognizer.h"

#include <QCoroFuture>
#include <QThreadPool>
#include <QtConcurrent>

#include <malloc.h>
#include <sys/stat.h>

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

QCoro::Task<ExtractionResult> extractFileContext(QString path, KVXClient &companion)
{
    if (usesCompanion(lowerExtension(path))) {
        const KVXResult<QString> text = co_await companion.extractText(path);
        if (text) {
            const QString excerpt = UnicodeText::leftGraphemes(*text, TextLimits::Document);
            // Named future, not a temporary inside co_await: see docs/decisions.md.
            QFuture<ExtractionResult> described = QtConcurrent::run(&workers(), [path, excerpt]() -> ExtractionResult {
                enterWorker();
                return FileContext::make(path, excerpt, MetadataMap{{QStringLiteral("source"), QStringLiteral("kvx")}});
            });
            co_return co_await described;
        }
    }
    QFuture<ExtractionResult> extracted = extractLocally(path);
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
