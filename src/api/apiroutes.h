#pragma once

#include "api/apicontext.h"
#include "api/apiroute.h"

#include <optional>

/** The application's whole route table, in matching order, bound to `context`. */
[[nodiscard]] QList<APIRoute> standardRoutes(APIContext &context);

/** A route that takes a request, with the parameter its handler gets. */
struct RouteMatch {
    const APIRoute *route;
    QString parameter;
};

/** The first of `routes` (in order) whose method and path take `request`; nullopt when none does. */
[[nodiscard]] std::optional<RouteMatch> matchRoute(const QList<APIRoute> &routes, const APIRequest &request);
