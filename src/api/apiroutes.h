#pragma once

#include "api/apicontext.h"
#include "api/apiroute.h"

/** The application's whole route table, in matching order, bound to `context`. */
[[nodiscard]] QList<APIRoute> standardRoutes(APIContext &context);
