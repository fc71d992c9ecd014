#include "automation/folderwatcher.h"

#include "automation/automationlog.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFuture>
#include <QSocketNotifier>
#include <QtConcurrent>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// Opens and closes are watched to know whether anyone still holds a candidate open; a rename
// of the folder itself ends the watch like its deletion, since its paths no longer hold.
constexpr uint32_t WatchMask = IN_OPEN | IN_MODIFY | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE | IN_MOVED_TO | IN_MOVED_FROM |
                               IN_DELETE | IN_MOVE_SELF | IN_ONLYDIR | IN_EXCL_UNLINK;

std::optional<SettleTracker::Event> trackerEvent(uint32_t mask)
{
    using Event = SettleTracker::Event;
    if (mask & IN_OPEN)
        return Event::opened;
    if (mask & IN_CLOSE_NOWRITE)
        return Event::closedUnwritten;
    if (mask & IN_MODIFY)
        return Event::modified;
    if (mask & IN_CLOSE_WRITE)
        return Event::closedWritten;
    if (mask & IN_MOVED_TO)
        return Event::appeared;
    if (mask & (IN_MOVED_FROM | IN_DELETE))
        return Event::gone;
    return std::nullopt;
}

} // namespace

FolderWatcher::FolderWatcher(QObject *parent)
    : QObject(parent)
    , m_inotify(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
{
    m_tracker.setInterval(DefaultSettleInterval);
    connect(&m_tracker, &SettleTracker::settled, this, &FolderWatcher::report);
    // Without an instance (the user's inotify limit reached) no folder can be watched.
    if (m_inotify < 0) {
        qCWarning(lcWatch, "no folder can be watched: inotify_init1: %s", std::strerror(errno));
        return;
    }
    m_notifier = std::make_unique<QSocketNotifier>(m_inotify, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &FolderWatcher::readEvents);
}

FolderWatcher::~FolderWatcher()
{
    m_notifier.reset();
    if (m_inotify >= 0)
        ::close(m_inotify);
}

void FolderWatcher::watch(const QString &path)
{
    if (m_inotify < 0 || m_watchOfPath.contains(path))
        return;
    const QByteArray native = QFile::encodeName(path);
    const int watch = inotify_add_watch(m_inotify, native.constData(), WatchMask);
    if (watch < 0) {
        qCWarning(lcWatch, "%s not watched: %s", native.constData(), std::strerror(errno));
        return;
    }
    qCInfo(lcWatch, "watching %s", native.constData());
    m_watchOfPath.insert(path, watch);
    m_pathsOfWatch[watch].append(path);
    Q_EMIT watchedPathsChanged();
}

void FolderWatcher::unwatch(const QString &path)
{
    const auto found = m_watchOfPath.constFind(path);
    if (found == m_watchOfPath.cend())
        return;
    const int watch = found.value();
    m_watchOfPath.erase(found);
    QStringList &paths = m_pathsOfWatch[watch];
    paths.removeOne(path);
    qCDebug(lcWatch, "no longer watching %s", qUtf8Printable(path));
    if (paths.isEmpty()) {
        inotify_rm_watch(m_inotify, watch);
        m_pathsOfWatch.remove(watch);
        m_tracker.forget(watch);
        m_rescan.remove(watch);
    }
    Q_EMIT watchedPathsChanged();
}

QList<QUrl> FolderWatcher::freshEntries(const QString &folder)
{
    QList<QUrl> fresh;
    const qint64 nowMs = QDateTime::currentMSecsSinceEpoch();
    // Top level only; QDir::Hidden is not asked for, so dot entries stay out.
    QDirIterator entries(folder, QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    while (entries.hasNext()) {
        entries.next();
        const std::optional<FileStamp> stamp = regularFileStamp(entries.filePath());
        if (stamp && stamp->size > 0 && nowMs - stamp->modifiedNs / 1'000'000 < FreshnessWindowMs)
            fresh.append(QUrl::fromLocalFile(entries.filePath()));
    }
    return fresh;
}

QList<QUrl> FolderWatcher::arrivedSince(const QString &folder, qint64 sinceMs)
{
    QList<QUrl> arrived;
    QDirIterator entries(folder, QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    while (entries.hasNext()) {
        entries.next();
        struct stat info = {};
        const QByteArray native = QFile::encodeName(entries.filePath());
        if (::lstat(native.constData(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size == 0)
            continue;
        const qint64 changedMs = qint64(info.st_ctim.tv_sec) * 1000 + info.st_ctim.tv_nsec / 1'000'000;
        // File times come from the kernel's coarse clock, a tick behind the one `sinceMs` was read
        // from: a file that arrived just after it may carry a time just before.
        constexpr qint64 CoarseClockMarginMs = 50;
        if (changedMs > sinceMs - CoarseClockMarginMs)
            arrived.append(QUrl::fromLocalFile(entries.filePath()));
    }
    return arrived;
}

void FolderWatcher::takeEarlierArrivals(const QString &path, const QList<QUrl> &files)
{
    const int watch = m_watchOfPath.value(path, -1);
    if (watch < 0)
        return;
    for (const QUrl &url : files)
        m_tracker.note(watch, url.toLocalFile(), SettleTracker::Event::arrivedEarlier);
}

void FolderWatcher::readEvents()
{
    // The descriptor is non-blocking, so reading ends when it is drained; a few buffers per
    // wake-up at most, so that a process flooding the folder with events cannot hold the loop.
    alignas(inotify_event) char buffer[16384];
    for (int round = 0; round < 8; ++round) {
        const ssize_t length = ::read(m_inotify, buffer, sizeof buffer);
        if (length <= 0)
            return;
        for (ssize_t at = 0; at < length;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                // Events were lost: what was known about open files no longer holds.
                qCInfo(lcWatch, "inotify events lost (queue overflow): every watched folder is scanned again");
                for (auto it = m_pathsOfWatch.cbegin(); it != m_pathsOfWatch.cend(); ++it) {
                    m_tracker.forget(it.key());
                    rescan(it.key());
                }
                continue;
            }
            if (!m_pathsOfWatch.contains(event->wd))
                continue; // a watch removed meanwhile
            if (event->mask & IN_IGNORED) {
                folderGone(event->wd);
                continue;
            }
            if (event->mask & IN_MOVE_SELF) {
                inotify_rm_watch(m_inotify, event->wd); // IN_IGNORED follows
                continue;
            }
            const std::optional<SettleTracker::Event> kind = trackerEvent(event->mask);
            if (!kind || (event->mask & IN_ISDIR) || event->len == 0)
                continue;
            const QString name = QFile::decodeName(event->name);
            if (name.startsWith(QLatin1Char('.'))) {
                if (*kind == SettleTracker::Event::closedWritten || *kind == SettleTracker::Event::appeared)
                    qCDebug(lcWatch, "skipped %s in %s: hidden", event->name, qUtf8Printable(folderOf(event->wd)));
                continue;
            }
            const QString folder = folderOf(event->wd);
            const QString path = folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
            m_tracker.note(event->wd, path, *kind);
        }
    }
}

void FolderWatcher::folderGone(int watch)
{
    qCInfo(lcWatch, "%s was removed or moved: no longer watched", qUtf8Printable(folderOf(watch)));
    for (const QString &path : m_pathsOfWatch.take(watch))
        m_watchOfPath.remove(path);
    m_tracker.forget(watch);
    m_rescan.remove(watch);
    Q_EMIT watchedPathsChanged();
}

void FolderWatcher::rescan(int watch)
{
    // During an event storm one scan runs and at most one more follows; scans never pile up.
    if (m_scanning.contains(watch)) {
        m_rescan.insert(watch);
        return;
    }
    m_scanning.insert(watch);
    QFuture<QList<QUrl>> scanned = QtConcurrent::run(&FolderWatcher::freshEntries, folderOf(watch));
    scanned.then(this, [this, watch](const QList<QUrl> &fresh) {
        m_scanning.remove(watch);
        if (!m_pathsOfWatch.contains(watch))
            return;
        for (const QUrl &url : fresh)
            m_tracker.note(watch, url.toLocalFile(), SettleTracker::Event::appeared);
        if (m_rescan.remove(watch))
            rescan(watch);
    });
}

void FolderWatcher::report(int watch, const QStringList &paths)
{
    if (!m_pathsOfWatch.contains(watch) || !m_onFilesDetected)
        return;
    QList<QUrl> files;
    files.reserve(paths.size());
    for (const QString &path : paths)
        files.append(QUrl::fromLocalFile(path));
    m_onFilesDetected(files);
}

QString FolderWatcher::folderOf(int watch) const
{
    return QDir::cleanPath(m_pathsOfWatch.value(watch).value(0));
}
