#include "cli/localbackend.h"

#include "api/apiroutes.h"
#include "common/stringtable.h"
#include "engine/undo.h"
#include "settings/appsettings.h"
#include "settings/defaultsstore.h"
#include "settings/navigationstate.h"
#include "store/objectstore.h"

#include <QCoroTask>
#include <QJsonDocument>

LocalBackend::LocalBackend(std::unique_ptr<ObjectStore> store)
    : m_store(std::move(store))
    , m_engine(RenameEngine::Services::shared())
    , m_context({RenameEngine::Services::shared(), AppSettings::shared(), DefaultsStore::standard(),
                 NavigationState::shared()})
{
    m_engine.setStore(m_store.get());
    m_context.engine = &m_engine;
    m_context.store = m_store.get();
    m_routes = standardRoutes(m_context);
}

LocalBackend::~LocalBackend() = default;

std::unique_ptr<LocalBackend> LocalBackend::open(QString &problem)
{
    auto opened = ObjectStore::open(ObjectStore::standardFilePath());
    if (!opened) {
        problem = opened.error().message();
        return nullptr;
    }
    std::unique_ptr<ObjectStore> store = std::move(*opened);
    if (const auto settled = Undo::settleInterruptedRenames(*store); !settled) {
        problem = settled.error().message();
        return nullptr;
    }
    return std::unique_ptr<LocalBackend>(new LocalBackend(std::move(store)));
}

QString LocalBackend::description() const
{
    return StringTable::text("terminal.headless").arg(ObjectStore::standardFilePath());
}

BackendReply LocalBackend::call(const QString &method, const QString &path, const QJsonObject &body)
{
    APIRequest request;
    request.method = method;
    request.path = path;
    request.body = body;
    const std::optional<RouteMatch> match = matchRoute(m_routes, request);
    if (!match)
        return {404, {{QStringLiteral("error"), QStringLiteral("not found")}}};
    const APIResponse response = QCoro::waitFor(match->route->handler(request, match->parameter));
    return {response.status, QJsonDocument::fromJson(response.body).object()};
}
