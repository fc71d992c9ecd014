#pragma once

#include "api/apicontext.h"
#include "api/apiroute.h"

/**
 * Suggest, rename, revert and analyze; the engine's jobs; the rename history. In route-table
 * order, handlers bound to `context` (which must outlive the routes).
 */
[[nodiscard]] QList<APIRoute> renamingRoutes(APIContext &context);
