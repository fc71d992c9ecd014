#include "automation/watchrouter.h"

#include "automation/automationlog.h"
#include "automation/folderwatcher.h"
#include "automation/queuemanager.h"
#include "engine/analysisstarter.h"
#include "engine/renameengine.h" // before the queue, whose header needs it complete
#include "store/objectstore.h"

#include <QDir>
#include <QFuture>
#include <QSet>
#include <QtConcurrent>

namespace {

QList<WatchedFolder> activeFolders(const ObjectStore &store)
{
    QList<WatchedFolder> folders = store.fetchFolders().value_or(QList<WatchedFolder>());
    folders.removeIf([](const WatchedFolder &folder) { return !folder.isActive; });
    return folders;
}

} // namespace

WatchRouter::WatchRouter(FolderWatcher &watcher, QueueManager &queue, AnalysisStarter &starter, ObjectStore &store,
                         QObject *parent)
    : QObject(parent)
    , m_watcher(watcher)
    , m_queue(queue)
    , m_starter(starter)
    , m_store(store)
{
    // Often enough that a crash re-offers at most a minute's files that were already handled.
    m_watchedUntil.setInterval(std::chrono::minutes(1));
    connect(&m_watchedUntil, &QTimer::timeout, this, [this] { markWatched(m_watcher.watchedPaths()); });
}

WatchRouter::~WatchRouter()
{
    markWatched(m_watcher.watchedPaths());
}

void WatchRouter::start()
{
    m_watcher.setOnFilesDetected([this](const QList<QUrl> &files) { route(files); });
    // Already analysed by the queue: straight into the review, not paid for a second time.
    connect(&m_queue, &QueueManager::reviewNeeded, this,
            [this](const QList<RenameJob> &jobs) { m_starter.engine().addToReview(jobs); });
    connect(&m_store, &ObjectStore::changed, this, [this](ObjectStore::Kind kind) {
        if (kind == ObjectStore::Kind::folders)
            foldersChanged();
    });
    syncWatchers();
    m_watchedUntil.start();
}

void WatchRouter::foldersChanged()
{
    // Every change, not only one in the number of active folders: a path swapped for another
    // must end the old observation and start the new one.
    syncWatchers();
}

void WatchRouter::syncWatchers()
{
    const QList<WatchedFolder> active = activeFolders(m_store);
    QSet<QString> desired;
    for (const WatchedFolder &folder : active)
        desired.insert(folder.path);
    const QStringList current = m_watcher.watchedPaths();
    QStringList ended;
    for (const QString &path : current) {
        if (!desired.contains(path))
            ended << path;
    }
    markWatched(ended);
    for (const QString &path : std::as_const(ended))
        m_watcher.unwatch(path);
    for (const WatchedFolder &folder : active) {
        if (current.contains(folder.path))
            continue;
        m_watcher.watch(folder.path);
        if (m_watcher.isWatching(folder.path))
            catchUp(folder);
    }
}

void WatchRouter::catchUp(const WatchedFolder &folder)
{
    const QDateTime since = folder.watchedUntil.isValid() ? folder.watchedUntil : folder.addedAt;
    if (since.isValid())
        takeArrivedSince(folder.path, since.toMSecsSinceEpoch());
}

void WatchRouter::takeExisting(const QString &path)
{
    takeArrivedSince(path, 0);
}

void WatchRouter::takeArrivedSince(const QString &path, qint64 sinceMs)
{
    if (!m_watcher.isWatching(path))
        return;
    // The scan runs on a worker; the watch already runs, so nothing falls between the two, and a
    // file both report is one file to the watcher.
    QFuture<QList<QUrl>> scanned = QtConcurrent::run(&FolderWatcher::arrivedSince, QDir::cleanPath(path), sinceMs);
    scanned.then(this, [this, path](const QList<QUrl> &arrived) {
        if (arrived.isEmpty() || !m_watcher.isWatching(path))
            return;
        QStringList paths;
        for (const QUrl &url : arrived)
            paths << url.toLocalFile();
        // A rename's result is no arrival; without the history, nothing is taken rather than all.
        const std::expected<QSet<QString>, StoreError> renamed = m_store.pathsInHistory(paths);
        if (!renamed) {
            qCWarning(lcWatch, "%lld files that arrived in %s while unwatched are left: the history is unreadable (%s)",
                      qint64(paths.size()), qUtf8Printable(path), qUtf8Printable(renamed.error().message()));
            return;
        }
        QList<QUrl> taken;
        for (const QUrl &url : arrived) {
            if (!renamed->contains(url.toLocalFile()))
                taken << url;
            else
                qCDebug(lcWatch, "skipped %s: a rename of ours (in the history)", qUtf8Printable(url.toLocalFile()));
        }
        qCDebug(lcWatch, "%lld files arrived in %s while it was not watched", qint64(taken.size()),
                qUtf8Printable(path));
        m_watcher.takeEarlierArrivals(path, taken);
    });
}

void WatchRouter::markWatched(const QStringList &paths)
{
    if (paths.isEmpty())
        return;
    QList<qint64> ids;
    for (const WatchedFolder &folder : m_store.fetchFolders().value_or(QList<WatchedFolder>())) {
        if (paths.contains(folder.path))
            ids << folder.id;
    }
    (void)m_store.markWatched(ids, QDateTime::currentDateTimeUtc());
}

void WatchRouter::route(const QList<QUrl> &files)
{
    QString folderPath;
    if (!files.isEmpty()) {
        const QString path = files.front().toLocalFile();
        folderPath = path.left(path.lastIndexOf(QLatin1Char('/')));
    }
    std::optional<WatchedFolder> match;
    for (const WatchedFolder &folder : activeFolders(m_store)) {
        if (folder.path == folderPath) {
            match = folder;
            break;
        }
    }
    const std::optional<QString> nameTemplate = match ? templatePattern(match->templateName) : std::nullopt;
    if (match && match->templateName && !nameTemplate)
        qCDebug(lcWatch, "template \"%s\" of %s is gone: named without one", qUtf8Printable(*match->templateName),
                qUtf8Printable(folderPath));
    if (match && match->autoRename) {
        const QList<QUrl> fresh = notYetQueued(files);
        for (const QUrl &url : fresh)
            qCDebug(lcWatch, "routed %s to the queue (renamed automatically)", qUtf8Printable(url.toLocalFile()));
        m_queue.enqueue(fresh, nameTemplate);
        return;
    }
    for (const QUrl &url : files)
        qCDebug(lcWatch, "routed %s to the review list (%s)", qUtf8Printable(url.toLocalFile()),
                match ? "its folder asks for review" : "its folder is no longer an active watched folder");
    openForReview(files, nameTemplate);
}

void WatchRouter::openForReview(const QList<QUrl> &files, const std::optional<QString> &nameTemplate)
{
    // Added to the review without pulling the window to it: the sidebar's count tells the user.
    m_starter.start(files, nameTemplate);
}

QList<QUrl> WatchRouter::notYetQueued(const QList<QUrl> &files) const
{
    const QSet<QUrl> queued = m_queue.queuedURLs();
    QList<QUrl> candidates;
    QStringList paths;
    for (const QUrl &url : files) {
        if (!queued.contains(url)) {
            candidates << url;
            paths << url.toLocalFile();
        }
    }
    const QSet<QString> renamed = m_store.pathsInHistory(paths).value_or(QSet<QString>());
    QList<QUrl> fresh;
    for (qsizetype i = 0; i < candidates.size(); ++i) {
        if (!renamed.contains(paths.at(i)))
            fresh << candidates.at(i);
        else
            qCDebug(lcWatch, "skipped %s: already named (in the history)", qUtf8Printable(paths.at(i)));
    }
    if (candidates.size() < files.size())
        qCDebug(lcWatch, "%lld files already waiting in the queue", qint64(files.size() - candidates.size()));
    return fresh;
}

std::optional<QString> WatchRouter::templatePattern(const std::optional<QString> &templateName) const
{
    if (!templateName)
        return std::nullopt;
    const QList<NamingTemplate> templates = m_store.fetchTemplates().value_or(QList<NamingTemplate>());
    for (const NamingTemplate &candidate : templates) {
        if (candidate.name == *templateName)
            return candidate.pattern;
    }
    return std::nullopt;
}
