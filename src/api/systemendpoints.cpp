#include "api/systemendpoints.h"

#include "api/apicontext.h"
#include "api/openapidocument.h"
#include "extraction/sandbox/extractionsandbox.h"

#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace {

// The API version, also the document's info.version; the app's own version may move on without it.
const QString apiVersion = u"0.1.0"_s;

QCoro::Task<APIResponse> reply(APIResponse response)
{
    co_return response;
}

APIRoute getRoute(const QString &path, APIRoute::Handler handler)
{
    return APIRoute{u"GET"_s, path, APIRoute::Match::exact, false, std::move(handler)};
}

} // namespace

QList<APIRoute> systemRoutes(const APIContext &context)
{
    const APIContext *server = &context;
    return {
        getRoute(u"/v1/health"_s,
                 [](const APIRequest &, const QString &) {
                     const SandboxState sandbox = ExtractionSandbox::shared().state();
                     return reply(APIResponse::json({{u"status"_s, u"ok"_s},
                                                     {u"version"_s, apiVersion},
                                                     {u"sandbox"_s, QJsonObject{{u"complete"_s, sandbox.isComplete()},
                                                                                {u"landlock"_s, sandbox.landlockABI},
                                                                                {u"seccomp"_s, sandbox.seccomp}}}}));
                 }),
        getRoute(u"/v1/version"_s,
                 [](const APIRequest &, const QString &) {
                     return reply(APIResponse::json({{u"name"_s, u"Namorix"_s}, {u"version"_s, apiVersion}}));
                 }),
        getRoute(u"/v1/docs"_s,
                 [server](const APIRequest &, const QString &) {
                     return reply(
                         APIResponse::raw(200, apiDocsPage(server->activePort), "text/html; charset=utf-8"_ba));
                 }),
        // Sent as stored, not re-serialised: the member order is part of the document.
        getRoute(u"/v1/openapi.json"_s,
                 [server](const APIRequest &, const QString &) {
                     return reply(APIResponse::raw(200, openAPIDocument(server->activePort), "application/json"_ba));
                 }),
    };
}
