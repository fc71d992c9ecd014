#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>

class QFileSystemWatcher;

/**
 * Observes folders (inotify, one watch per folder) and reports their fresh entries: on every
 * change of a folder's entry list its top level is scanned on a worker, and the entries modified
 * within the last five seconds (hidden ones skipped, subfolders included) are handed to
 * `onFilesDetected` on the GUI thread. No memory of what was reported: the engine's history
 * keeps a renamed file from being renamed again.
 */
class FolderWatcher final : public QObject
{
    Q_OBJECT

public:
    static constexpr qint64 FreshnessWindowMs = 5000;
    using FilesDetected = std::function<void(const QList<QUrl> &files)>;

    explicit FolderWatcher(QObject *parent = nullptr);
    ~FolderWatcher() override;
    Q_DISABLE_COPY_MOVE(FolderWatcher)

    /** Starts observing `path`; nothing happens when it is observed already or cannot be watched. */
    void watch(const QString &path);
    /** Stops observing `path`, releasing its inotify watch. */
    void unwatch(const QString &path);
    /** The folders observed right now. */
    [[nodiscard]] QStringList watchedPaths() const { return m_watches.keys(); }
    [[nodiscard]] bool isWatching(const QString &path) const { return m_watches.contains(path); }

    /** Called on the GUI thread with the fresh entries of one folder, in listing order. */
    void setOnFilesDetected(FilesDetected callback) { m_onFilesDetected = std::move(callback); }

    /** The fresh entries of `folder`'s top level; runs on any thread. */
    [[nodiscard]] static QList<QUrl> freshEntries(const QString &folder);

Q_SIGNALS:
    void watchedPathsChanged();

private:
    void scan(const QString &path);

    QHash<QString, std::shared_ptr<QFileSystemWatcher>> m_watches;
    /** Folders with a scan running, and those that changed again meanwhile. */
    QSet<QString> m_scanning;
    QSet<QString> m_rescan;
    FilesDetected m_onFilesDetected;
};
