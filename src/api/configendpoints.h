#pragma once

#include "api/apicontext.h"
#include "api/apiroute.h"

/**
 * Watched folders, naming templates, provider selection, settings and rename rules, in
 * route-table order. Settings and rules are `context`'s services; records go through its store
 * (`context` must outlive the routes).
 */
[[nodiscard]] QList<APIRoute> configRoutes(APIContext &context);
