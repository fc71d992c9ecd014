#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <optional>

class FolderWatcher;
class ObjectStore;
class AnalysisStarter;
class QueueManager;
struct WatchedFolder;

/**
 * Connects the folder watcher to the rest of the app. Fresh files of an active folder with
 * automatic renaming go to the queue; all others are added to the review: the window's engine
 * analyses them, and the window stays in the section the user is in. Keeps the observations in
 * step with the active watched folders of the store, re-synchronising on every change.
 *
 * When the matching folder names a naming template that exists, its pattern is the analysis'
 * template text, for the queue and for the review alike.
 *
 * The watcher reports a file again when it is written again, and a file the queue renamed
 * comes back under its new name. A file is queued only while it is neither waiting nor being
 * processed in the queue nor already renamed (in the history): each file costs one analysis.
 * Files the queue left for review (unverified fields) are opened for review like the others.
 *
 * Watched folders catch up: the store keeps until when each folder was watched (renewed every
 * minute, when a folder stops being watched and when the router goes), and when a folder's
 * watch begins (at start, or switched active again) the files that arrived since then and are
 * no rename's result are taken as new arrivals. A folder never watched starts from when it was
 * added.
 */
class WatchRouter final : public QObject
{
    Q_OBJECT

public:
    /** Files for review go through `starter`, the window's way of starting runs. */
    WatchRouter(FolderWatcher &watcher, QueueManager &queue, AnalysisStarter &starter, ObjectStore &store,
                QObject *parent = nullptr);
    ~WatchRouter() override;
    Q_DISABLE_COPY_MOVE(WatchRouter)

    /** Installs the routing as the watcher's callback, synchronises, and follows the store. */
    void start();
    /** Watches every active folder not yet watched and drops every watch no active folder names. */
    void syncWatchers();
    /** Where one folder's fresh files go; see the class comment. */
    void route(const QList<QUrl> &files);
    /**
     * Takes the files already in the watched folder `path` as new arrivals, however old, except
     * those that are a rename's result: "Vorhandene Dateien jetzt umbenennen". Nothing happens
     * while the folder is not watched.
     */
    void takeExisting(const QString &path);

private:
    void foldersChanged();
    /** Takes what arrived in `folder` since it was last watched, once its watch has begun. */
    void catchUp(const WatchedFolder &folder);
    /** Hands the files of the watched `path` that arrived after `sinceMs` to the watcher, a scan on a worker. */
    void takeArrivedSince(const QString &path, qint64 sinceMs);
    /** Notes in the store that the folders at `paths` were watched until now. */
    void markWatched(const QStringList &paths);
    /** Lets the window's engine analyse `files` into the review. */
    void openForReview(const QList<QUrl> &files, const std::optional<QString> &nameTemplate);
    /** Of `files`, those not already in the queue or the history. */
    [[nodiscard]] QList<QUrl> notYetQueued(const QList<QUrl> &files) const;
    [[nodiscard]] std::optional<QString> templatePattern(const std::optional<QString> &templateName) const;

    FolderWatcher &m_watcher;
    QueueManager &m_queue;
    AnalysisStarter &m_starter;
    ObjectStore &m_store;
    QTimer m_watchedUntil;
};
