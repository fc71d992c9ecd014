#pragma once

#include <QPointer>
#include <QWidget>

class FolderWatcher;
class ObjectStore;
class QLabel;
class QPushButton;
class QStackedWidget;
class QTableView;
class QueueManager;
class WatchedFolderModel;

/**
 * The watch section: the watched folders, live from the store, with their two switches and a
 * remove button; a header with "add", the background queue's waiting count and pause/resume
 * (only while URLs wait) and the number of folders observed. Changes go to the store only; the
 * watch router turns them into observations.
 */
class WatchedFoldersView final : public QWidget
{
    Q_OBJECT

public:
    /** `store` may be null (it could not be opened): nothing is listed and adding is off. */
    WatchedFoldersView(ObjectStore *store, FolderWatcher &watcher, QueueManager &queue, QWidget *parent = nullptr);
    Q_DISABLE_COPY_MOVE(WatchedFoldersView)

    /** Opens the folder chooser (several folders at once) without blocking. */
    void chooseFolders();
    /** Adds a record per path, in order, skipping paths already listed. */
    void addFolders(const QStringList &paths);
    void removeFolder(int row);

    [[nodiscard]] QTableView *table() const { return m_table; }

Q_SIGNALS:
    /** "Vorhandene Dateien jetzt umbenennen" for the watched folder at `path`. */
    void takeExistingRequested(const QString &path);

private:
    /** The row's menu, at `at` in the table's viewport; a keyboard's Menu key opens it for the current row. */
    void openRowMenu(const QPoint &at);
    QWidget *makeHeader();
    QWidget *makeEmptyState();
    void makeTable();
    void showQueue();
    void showWatching();
    void showContent();
    /** A German failure line under the header; empty hides it. */
    void showProblem(const QString &text);

    QPointer<ObjectStore> m_store;
    FolderWatcher &m_watcher;
    QueueManager &m_queue;
    WatchedFolderModel *m_model;
    QLabel *m_queued = nullptr;
    QPushButton *m_pauseResume = nullptr;
    QLabel *m_watching = nullptr;
    QLabel *m_problem = nullptr;
    QStackedWidget *m_content = nullptr;
    QTableView *m_table = nullptr;
};
