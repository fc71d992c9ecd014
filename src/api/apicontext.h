#pragma once

#include <QPointer>

#include <functional>

class ObjectStore;
class QueueManager;
class QWidget;
class RenameEngine;
class WatchRouter;

/**
 * What the endpoints work with, set by the application shell before the server starts. Each may
 * be absent; the handlers then answer 503 with their fixed texts.
 */
struct APIContext {
    QPointer<RenameEngine> engine;
    QPointer<QueueManager> queue;
    QPointer<ObjectStore> store;
    /**
     * Re-synchronised after a watched folder's path changes: on its own it follows only the
     * number of active folders, which a new path leaves as it is.
     */
    QPointer<WatchRouter> watchRouter;
    /** The window the UI endpoints report and capture; else the first visible top-level window. */
    QPointer<QWidget> mainWindow;
    /** The port the listener became ready on; 0 until then. */
    quint16 activePort = 0;
};
