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

/**
 * The page and its files may load and talk to the app's own origin only (under either loopback
 * name, this port): no script, style or connection from anywhere else, no framing by another page.
 */
QList<std::pair<QByteArray, QByteArray>> docsHeaders(quint16 port)
{
    const QByteArray own =
        "http://127.0.0.1:"_ba + QByteArray::number(port) + " http://localhost:"_ba + QByteArray::number(port);
    return {{"Content-Security-Policy"_ba, "default-src 'none'; script-src 'self'; style-src 'self'; "
                                           "img-src 'self' data:; font-src 'self'; connect-src 'self' "_ba +
                                               own +
                                               "; base-uri 'none'; form-action 'none'; frame-ancestors 'none'"_ba},
            {"X-Content-Type-Options"_ba, "nosniff"_ba}};
}

APIResponse docsFile(const QString &name, quint16 port)
{
    const std::optional<DocsFile> file = apiDocsFile(name);
    if (!file)
        return APIResponse::error(404, u"not found"_s);
    APIResponse response = APIResponse::raw(200, file->content, file->contentType);
    response.headers = docsHeaders(port);
    return response;
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
                     return reply(docsFile(u"docs.html"_s, server->activePort));
                 }),
        // The page's files; left out of the 404 list and the document, like the page.
        {.method = u"GET"_s,
         .path = u"/v1/docs/{file}"_s,
         .match = APIRoute::Match::prefix,
         .handler = [server](const APIRequest &,
                             const QString &name) { return reply(docsFile(name, server->activePort)); },
         .listed = false},
        // Sent as stored, not re-serialised: the member order is part of the document.
        getRoute(u"/v1/openapi.json"_s,
                 [server](const APIRequest &, const QString &) {
                     return reply(APIResponse::raw(200, openAPIDocument(server->activePort), "application/json"_ba));
                 }),
    };
}
