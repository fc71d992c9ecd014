#include "contentextraction.h"

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

QFuture<std::shared_ptr<SourceFile>> open(const QString &path)
{
    return QtConcurrent::run(&workers(), [path] {
        enterWorker();
        return std::make_shared<SourceFile>(SourceFile::open(path, contentPath(path)));
    });
}

QCoro::Task<ExtractionResult> extractFileContext(SourceFile file, ExtractionSandbox &sandbox,
                                                 std::shared_ptr<std::atomic_bool> stop)
{
    // What cannot be opened goes to a helper all the same, whose processor answers for it by its
    // name (its kind's empty result, or its error); what is no content is described here.
    if (file.access() == SourceFile::Access::notContent) {
        // Named future, not a temporary inside co_await: see docs/decisions.md.
        QFuture<ExtractionResult> described = QtConcurrent::run(&workers(), [path = file.path()]() -> ExtractionResult {
            enterWorker();
            return FileDescription::describe(path);
        });
        co_return co_await described;
    }
    QFuture<ExtractionResult> extracted = sandbox.extract(std::move(file), std::move(stop));
    co_return co_await extracted;
}

QCoro::Task<ExtractionResult> extractFileContext(QString path, ExtractionSandbox &sandbox,
                                                 std::shared_ptr<std::atomic_bool> stop)
{
    QFuture<std::shared_ptr<SourceFile>> opening = open(path);
    const std::shared_ptr<SourceFile> opened = co_await opening;
    QCoro::Task<ExtractionResult> extracting = extractFileContext(std::move(*opened), sandbox, std::move(stop));
    co_return co_await std::move(extracting);
}

} // namespace ContentExtraction
