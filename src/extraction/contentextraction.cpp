#include "contentextraction.h"

#include "common/unicodetext.h"
#include "companion/kvxclient.h"
#include "extraction/filedescription.h"

#include <QCoroFuture>
#include <QFileInfo>
#include <QThreadPool>
#include <QtConcurrent>

#include <malloc.h>

#include <atomic>

namespace ContentExtraction {
namespace {

constexpr std::chrono::milliseconds DefaultIdleRelease = std::chrono::minutes(1);

std::atomic<int> g_liveWorkers = 0;
std::atomic<void (*)()> g_lastWorkerRelease = nullptr;

// Lives as long as its worker thread. A worker ends after the idle delay without work, and its
// thread-local state (destroyed just before this guard) goes with it; the last one to end also
// runs the release set for shared caches and hands the freed heap back.
struct WorkerLifetime {
    WorkerLifetime() { ++g_liveWorkers; }
    ~WorkerLifetime()
    {
        if (--g_liveWorkers != 0)
            return;
        if (void (*release)() = g_lastWorkerRelease.load())
            release();
        malloc_trim(0);
    }
};

// A file opened for a helper, or the answer for one that holds nothing to parse.
struct Opened {
    std::shared_ptr<SourceFile> file;
    std::optional<ExtractionResult> answer;
};

} // namespace

void enterWorker()
{
    thread_local WorkerLifetime lifetime;
    Q_UNUSED(lifetime);
}

void setLastWorkerRelease(void (*release)())
{
    g_lastWorkerRelease = release;
}

QThreadPool &workers()
{
    static QThreadPool *pool = [] {
        auto *p = new QThreadPool;
        p->setObjectName(QStringLiteral("extraction"));
        p->setExpiryTimeout(int(DefaultIdleRelease.count()));
        p->setMaxThreadCount(std::max(4, QThread::idealThreadCount()));
        // The workers end with the application object, before the static objects: a worker's
        // recognition engine (the tests' in-process path) still alive then made Tesseract's dictionary cache
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

QString contentPath(const QString &path)
{
    const QString extension = lowerExtension(path);
    if (extension != u"rtfd" && extension != u"rtf")
        return path;
    const QFileInfo info(path);
    return info.isDir() && !info.isSymLink() ? path + QStringLiteral("/TXT.rtf") : path;
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
    // Opening reads the disk. What is no content is described here; what cannot be opened goes to
    // a helper all the same, whose processor answers for it by its name (its kind's empty result,
    // or its error).
    QFuture<Opened> opening = QtConcurrent::run(&workers(), [path]() -> Opened {
        enterWorker();
        auto file = std::make_shared<SourceFile>(SourceFile::open(path, contentPath(path)));
        if (file->access() == SourceFile::Access::notContent)
            return {nullptr, FileDescription::describe(path)};
        return {file, std::nullopt};
    });
    const Opened opened = co_await opening;
    if (opened.answer)
        co_return *opened.answer;
    QFuture<ExtractionResult> extracted = sandbox.extract(std::move(*opened.file), std::move(stop));
    co_return co_await extracted;
}

} // namespace ContentExtraction
