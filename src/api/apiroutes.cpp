#include "api/apiroutes.h"

#include "api/configendpoints.h"
#include "api/controlendpoints.h"
#include "api/renamingendpoints.h"
#include "api/systemendpoints.h"

QList<APIRoute> standardRoutes(APIContext &context)
{
    return systemRoutes(context) + renamingRoutes(context) + configRoutes(context) + controlRoutes(context);
}

std::optional<RouteMatch> matchRoute(const QList<APIRoute> &routes, const APIRequest &request)
{
    const qsizetype query = request.path.indexOf(u'?');
    const QStringView routePath = QStringView(request.path).first(query < 0 ? request.path.size() : query);
    for (const APIRoute &route : routes) {
        if (route.method != request.method)
            continue;
        if (route.match == APIRoute::Match::exact) {
            if (routePath == route.path)
                return RouteMatch{&route, QString()};
            continue;
        }
        const qsizetype brace = route.path.indexOf(u'{');
        const QStringView prefix = QStringView(route.path).first(brace < 0 ? route.path.size() : brace);
        if (!routePath.startsWith(prefix))
            continue;
        QString parameter = routePath.sliced(prefix.size()).toString();
        if (route.decodeParameter)
            parameter = percentDecoded(parameter).value_or(QString());
        return RouteMatch{&route, parameter};
    }
    return std::nullopt;
}
