#include "app/contentcontroller.h"

#include "api/apiroutes.h"
#include "api/apiserver.h"
#include "app/widgetwindowcontrol.h"
#include "automation/watchrouter.h"
#include "settings/defaultsstore.h"
#include "store/objectstore.h"

ContentController::ContentController(ObjectStore *store, APIServer &server, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_server(server)
    , m_engine(RenameEngine::Services::shared())
    , m_starter(m_engine, DefaultsStore::standard())
    , m_queueEngine(RenameEngine::Services::shared())
    , m_queue(DefaultsStore::standard())
{
}

ContentController::~ContentController() = default;

void ContentController::start(QWidget *mainWindow)
{
    if (m_started)
        return;
    m_started = true;

    m_engine.setStore(m_store);
    m_queueEngine.setStore(m_store);
    if (m_store) {
        // Back before any face can add to it.
        m_review = std::make_unique<ReviewKeeper>(m_engine, *m_store);
        m_review->restore();
    }
    m_queue.setEngine(&m_queueEngine);
    if (m_store) {
        m_router = std::make_unique<WatchRouter>(m_watcher, m_queue, m_starter, *m_store);
        m_router->start();
    }

    APIContext &context = m_server.context();
    context.engine = &m_engine;
    context.queue = &m_queue;
    context.store = m_store;
    context.window = std::make_unique<WidgetWindowControl>(mainWindow);
    m_server.setRoutes(standardRoutes(context));
    m_server.start();
}
