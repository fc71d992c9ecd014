#pragma once

#include "automation/settletracker.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QUrl>

#include <chrono>
#include <functional>
#include <memory>

class QSocketNotifier;

/**
 * Observes folders with one inotify instance (one watch per folder) and reports their new
 * files once each is finished: closed after writing or moved in, fresh when that happened, no
 * longer open anywhere, and unchanged for the settle interval (see `SettleTracker`). Only
 * regular top-level files that are not hidden are reported; subfolders, links and special files
 * never are. Events are read on the GUI thread without blocking; file checks and rescans run on
 * a worker. A folder that is deleted or moved away drops out of `watchedPaths`.
 */
class FolderWatcher final : public QObject
{
    Q_OBJECT

public:
    static constexpr qint64 FreshnessWindowMs = SettleTracker::FreshnessWindowMs;
    static constexpr std::chrono::milliseconds DefaultSettleInterval{2000};
    using FilesDetected = std::function<void(const QList<QUrl> &files)>;

    explicit FolderWatcher(QObject *parent = nullptr);
    ~FolderWatcher() override;
    Q_DISABLE_COPY_MOVE(FolderWatcher)

    /** Starts observing `path`; nothing happens when it is observed already or cannot be watched. */
    void watch(const QString &path);
    /** Stops observing `path`, removing its inotify watch unless another path names the same folder. */
    void unwatch(const QString &path);
    /** The folders observed right now. */
    [[nodiscard]] QStringList watchedPaths() const { return m_watchOfPath.keys(); }
    [[nodiscard]] bool isWatching(const QString &path) const { return m_watchOfPath.contains(path); }

    /** Called on the GUI thread with the finished new files of one folder. */
    void setOnFilesDetected(FilesDetected callback) { m_onFilesDetected = std::move(callback); }
    /** How long a finished file must stay unchanged before it is reported. */
    void setSettleInterval(std::chrono::milliseconds interval) { m_tracker.setInterval(interval); }
    [[nodiscard]] std::chrono::milliseconds settleInterval() const { return m_tracker.interval(); }

    /** The fresh non-empty regular files of `folder`'s top level, hidden ones skipped; any thread. */
    [[nodiscard]] static QList<QUrl> freshEntries(const QString &folder);
    /**
     * The non-empty regular files of `folder`'s top level, hidden ones skipped, that arrived after
     * `sinceMs` (ms since the epoch): created, written or moved in, by their status change time,
     * which moving a file in sets and its modification time does not; any thread.
     */
    [[nodiscard]] static QList<QUrl> arrivedSince(const QString &folder, qint64 sinceMs);
    /**
     * Takes `files` of the watched `path` as new arrivals however old they are: each is reported
     * once it is finished, as a new file is. Nothing happens when `path` is not watched.
     */
    void takeEarlierArrivals(const QString &path, const QList<QUrl> &files);

Q_SIGNALS:
    void watchedPathsChanged();

private:
    void readEvents();
    void folderGone(int watch);
    void rescan(int watch);
    void report(int watch, const QStringList &paths);
    [[nodiscard]] QString folderOf(int watch) const;

    int m_inotify = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QHash<QString, int> m_watchOfPath;
    /** Paths naming the same folder share its watch descriptor. */
    QHash<int, QStringList> m_pathsOfWatch;
    SettleTracker m_tracker;
    /** Watches with a rescan running, and those that overflowed again meanwhile. */
    QSet<int> m_scanning;
    QSet<int> m_rescan;
    FilesDetected m_onFilesDetected;
};
