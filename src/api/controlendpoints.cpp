#include "api/controlendpoints.h"

#include "api/handlerkit.h"
#include "automation/queuemanager.h"
#include "engine/renameengine.h"
#include "settings/navigationstate.h"

#include <QBuffer>
#include <QJsonArray>

using namespace HandlerKit;

namespace {

APIResponse queueState(const APIContext &context)
{
    if (!context.queue)
        return queueNotReady();
    const QueueManager &queue = *context.queue;
    QJsonArray pending;
    for (const QUrl &url : queue.pendingURLs())
        pending.append(url.toLocalFile());
    return APIResponse::json({{QStringLiteral("pending"), pending},
                              {QStringLiteral("count"), pending.size()},
                              {QStringLiteral("isPaused"), queue.isPaused()},
                              {QStringLiteral("isRunning"), queue.isRunning()}});
}

APIResponse enqueue(const APIContext &context, const APIRequest &request)
{
    if (!context.queue)
        return queueNotReady();
    const std::expected<QStringList, APIResponse> paths = absolutePaths(request.body);
    if (!paths)
        return paths.error();
    // The queue would only hold them: a script learns at once why nothing happens.
    if (const RenameEngine *engine = context.queue->engine() ? context.queue->engine() : context.engine.data()) {
        if (std::optional<APIResponse> refused = engineRefusal(*engine))
            return *refused;
    }
    context.queue->enqueue(fileUrls(*paths));
    return APIResponse::json({{QStringLiteral("ok"), true},
                              {QStringLiteral("enqueued"), paths->size()},
                              {QStringLiteral("total"), context.queue->pendingCount()}});
}

APIResponse pause(const APIContext &context)
{
    if (!context.queue)
        return queueNotReady();
    context.queue->setPaused(true);
    return APIResponse::json({{QStringLiteral("ok"), true}, {QStringLiteral("isPaused"), true}});
}

APIResponse resume(const APIContext &context)
{
    if (!context.queue)
        return queueNotReady();
    context.queue->resume();
    return APIResponse::json({{QStringLiteral("ok"), true}, {QStringLiteral("isPaused"), context.queue->isPaused()}});
}

APIResponse clearQueue(const APIContext &context)
{
    if (!context.queue)
        return queueNotReady();
    const int cleared = context.queue->pendingCount();
    context.queue->clear();
    return APIResponse::json({{QStringLiteral("ok"), true}, {QStringLiteral("cleared"), cleared}});
}

APIResponse uiState(const APIContext &context)
{
    const std::optional<WindowControl::State> window = context.window ? context.window->state() : std::nullopt;
    const QRect frame = window ? window->frame : QRect();
    const QJsonObject windowState{{QStringLiteral("x"), frame.x()},
                                  {QStringLiteral("y"), frame.y()},
                                  {QStringLiteral("width"), frame.width()},
                                  {QStringLiteral("height"), frame.height()},
                                  {QStringLiteral("visible"), window && window->visible}};
    return APIResponse::json({{QStringLiteral("tab"), rawValue(context.services.navigation.selectedTab())},
                              {QStringLiteral("tabs"), QJsonArray::fromStringList(allRawValues<SidebarItem>())},
                              {QStringLiteral("window"), windowState},
                              {QStringLiteral("processing"), context.engine && context.engine->isProcessing()},
                              {QStringLiteral("jobCount"), context.engine ? context.engine->jobs().size() : 0}});
}

APIResponse navigate(const APIContext &context, const APIRequest &request)
{
    const std::optional<QString> text = string(request.body, QStringLiteral("tab"));
    const std::optional<SidebarItem> tab = text ? enumFromRaw<SidebarItem>(*text) : std::nullopt;
    if (!tab) {
        return APIResponse::json({{QStringLiteral("error"), QStringLiteral("invalid tab")},
                                  {QStringLiteral("valid"), QJsonArray::fromStringList(allRawValues<SidebarItem>())}},
                                 400);
    }
    context.services.navigation.setSelectedTab(*tab);
    return APIResponse::json({{QStringLiteral("ok"), true}, {QStringLiteral("tab"), rawValue(*tab)}});
}

APIResponse screenshot(const APIContext &context, const APIRequest &request)
{
    // "?window=<title>" captures another window than the main one.
    const std::optional<QString> title = queryParameter(request.path, QStringLiteral("window"));
    const std::optional<QImage> image = context.window ? context.window->capture(title) : std::nullopt;
    if (!image)
        return APIResponse::error(404, QStringLiteral("no visible window"));
    if (image->isNull())
        return APIResponse::error(500, QStringLiteral("screenshot failed"));
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !image->save(&buffer, "PNG"))
        return APIResponse::error(500, QStringLiteral("png encoding failed"));
    return APIResponse::raw(200, png, QByteArrayLiteral("image/png"));
}

} // namespace

QList<APIRoute> controlRoutes(APIContext &context)
{
    using Match = APIRoute::Match;
    APIContext *c = &context;
    return {
        {QStringLiteral("GET"), QStringLiteral("/v1/queue"), Match::exact, false,
         [c](APIRequest, QString) { return ready(queueState(*c)); }},
        {QStringLiteral("POST"), QStringLiteral("/v1/queue"), Match::exact, false,
         [c](APIRequest r, QString) { return ready(enqueue(*c, r)); }},
        {QStringLiteral("POST"), QStringLiteral("/v1/queue/pause"), Match::exact, false,
         [c](APIRequest, QString) { return ready(pause(*c)); }},
        {QStringLiteral("POST"), QStringLiteral("/v1/queue/resume"), Match::exact, false,
         [c](APIRequest, QString) { return ready(resume(*c)); }},
        {QStringLiteral("DELETE"), QStringLiteral("/v1/queue"), Match::exact, false,
         [c](APIRequest, QString) { return ready(clearQueue(*c)); }},
        {QStringLiteral("GET"), QStringLiteral("/v1/ui/state"), Match::exact, false,
         [c](APIRequest, QString) { return ready(uiState(*c)); }},
        {QStringLiteral("POST"), QStringLiteral("/v1/ui/navigate"), Match::exact, false,
         [c](APIRequest r, QString) { return ready(navigate(*c, r)); }},
        {QStringLiteral("GET"), QStringLiteral("/v1/ui/screenshot"), Match::exact, false,
         [c](APIRequest r, QString) { return ready(screenshot(*c, r)); }},
    };
}
