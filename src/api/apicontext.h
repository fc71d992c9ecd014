#pragma once

#include <QPointer>

#include <functional>

class ObjectStore;
class QueueManager;
class QWidget;
class RenameEngine;

/**
 * What the endpoints work with, set by the application shell before the server starts. Each may
 * be absent; the handlers then answer 503 with their fixed texts.
 */
struct APIContext {
    QPointer<RenameEngine> engine;
    QPointer<QueueManager> queue;
    QPointer<ObjectStore> store;
    /** The window the UI endpoints report and capture; else the first visible top-level window. */
    QPointer<QWidget> mainWindow;
    /** The port the listener became ready on; 0 until then. */
    quint16 activePort = 0;
};
