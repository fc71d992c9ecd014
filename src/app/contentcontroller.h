#pragma once

#include "automation/folderwatcher.h"
#include "automation/queuemanager.h"
#include "engine/analysisstarter.h"
#include "engine/renameengine.h"
#include "engine/reviewkeeper.h"

#include <QObject>
#include <QPointer>

class APIServer;
class ObjectStore;
class QWidget;
class WatchRouter;

/**
 * What the main window's content owns and wires together for the life of the window: the rename
 * engine, the background queue, the folder watcher with its routing, and the REST API server's
 * view of them. start() runs once, when the window is first shown. The server holds them through
 * QPointers, so it never reaches into what dies with the window.
 *
 * The window's engine holds the user's review list; the REST API serves it, and only the user and
 * those endpoints change it. The queue works on an engine of its own (same store, settings and
 * rules), so a background batch never wipes suggestions under review.
 */
class ContentController final : public QObject
{
    Q_OBJECT

public:
    /** `store` may be null when it could not be opened: history, records and watching are then off. */
    ContentController(ObjectStore *store, APIServer &server, QObject *parent = nullptr);
    ~ContentController() override;
    Q_DISABLE_COPY_MOVE(ContentController)

    /** Engine gets the store, queue the engine, routing installed and synced, server started. */
    void start(QWidget *mainWindow);

    [[nodiscard]] RenameEngine &engine() { return m_engine; }
    /** How the window, hand-overs and watched folders start runs on the engine. */
    [[nodiscard]] AnalysisStarter &starter() { return m_starter; }
    [[nodiscard]] QueueManager &queue() { return m_queue; }
    [[nodiscard]] FolderWatcher &watcher() { return m_watcher; }
    /** Null until started, and without a store. */
    [[nodiscard]] WatchRouter *router() { return m_router.get(); }

private:
    QPointer<ObjectStore> m_store;
    APIServer &m_server;
    RenameEngine m_engine;
    AnalysisStarter m_starter;
    RenameEngine m_queueEngine;
    FolderWatcher m_watcher;
    QueueManager m_queue;
    std::unique_ptr<WatchRouter> m_router;
    std::unique_ptr<ReviewKeeper> m_review;
    bool m_started = false;
};
