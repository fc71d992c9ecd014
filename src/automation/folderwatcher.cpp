#include "automation/folderwatcher.h"

#include <QDateTime>
#include <QDirIterator>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QFuture>
#include <QtConcurrent>

FolderWatcher::FolderWatcher(QObject *parent)
    : QObject(parent)
{
}

FolderWatcher::~FolderWatcher() = default;

void FolderWatcher::watch(const QString &path)
{
    if (m_watches.contains(path))
        return;
    // One watcher per folder: each holds its own inotify descriptor, released with the object.
    auto watcher = std::make_shared<QFileSystemWatcher>();
    if (!QFileInfo(path).isDir() || !watcher->addPath(path))
        return;
    connect(watcher.get(), &QFileSystemWatcher::directoryChanged, this, [this, path] { scan(path); });
    m_watches.insert(path, std::move(watcher));
    Q_EMIT watchedPathsChanged();
}

void FolderWatcher::unwatch(const QString &path)
{
    if (m_watches.remove(path) == 0)
        return;
    m_rescan.remove(path);
    Q_EMIT watchedPathsChanged();
}

QList<QUrl> FolderWatcher::freshEntries(const QString &folder)
{
    QList<QUrl> fresh;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    // Top level only; QDir::Hidden is not asked for, so dot entries stay out.
    QDirIterator entries(folder, QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    while (entries.hasNext()) {
        entries.next();
        const QDateTime modified = entries.fileInfo().lastModified();
        if (modified.isValid() && modified.msecsTo(now) < FreshnessWindowMs)
            fresh.append(QUrl::fromLocalFile(entries.filePath()));
    }
    return fresh;
}

void FolderWatcher::scan(const QString &path)
{
    // A burst of changes gives one running scan and at most one more after it, which sees the
    // latest state; scans never pile up on the pool.
    if (m_scanning.contains(path)) {
        m_rescan.insert(path);
        return;
    }
    m_scanning.insert(path);
    QFuture<QList<QUrl>> scanned = QtConcurrent::run(&FolderWatcher::freshEntries, path);
    scanned.then(this, [this, path](const QList<QUrl> &fresh) {
        m_scanning.remove(path);
        if (!fresh.isEmpty() && m_watches.contains(path) && m_onFilesDetected)
            m_onFilesDetected(fresh);
        if (m_rescan.remove(path) && m_watches.contains(path))
            scan(path);
    });
}
