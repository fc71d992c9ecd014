#pragma once

#include "api/windowcontrol.h"
#include "engine/analysisrun.h"
#include "engine/filework.h"
#include "engine/renameengine.h"

#include <QList>
#include <QPointer>

#include <memory>
#include <utility>

class AppSettings;
class DefaultsStore;
class NavigationState;
class ObjectStore;
class QueueManager;

/**
 * What the server and the endpoints work with. The services are given when the server is made;
 * the rest is set by the application shell before the server starts. Each of those may be
 * absent; the handlers then answer 503 with their fixed texts, the UI endpoints as for no window.
 */
struct APIContext {
    /** The settings objects and stores, like the window's: the app passes the shared ones. */
    struct Services {
        /** Also the AI settings, rules and companion the handlers read and change. */
        RenameEngine::Services engine;
        AppSettings &appSettings;
        DefaultsStore &defaults;
        NavigationState &navigation;
    };

    explicit APIContext(Services given)
        : services(std::move(given))
    {
    }

    Services services;
    QPointer<RenameEngine> engine;
    QPointer<QueueManager> queue;
    QPointer<ObjectStore> store;
    /** What the UI endpoints report and capture. */
    std::unique_ptr<WindowControl> window;
    /** The API's own file work: the window's stop leaves a script's renames and undos alone. */
    FileWork work;
    /** The runs started with POST /v1/runs by their ids, oldest first; the newest few are kept. */
    QList<std::pair<QString, std::shared_ptr<AnalysisRun>>> runs;
    /** The port the listener became ready on; 0 until then. */
    quint16 activePort = 0;
};
