#pragma once

#include "api/apicontext.h"
#include "api/apiroute.h"

/**
 * The background queue and the window controls (section, state, screenshot), in route-table
 * order, bound to `context` (which must outlive the routes).
 */
[[nodiscard]] QList<APIRoute> controlRoutes(APIContext &context);
