#include "api/apiroutes.h"

#include "api/configendpoints.h"
#include "api/controlendpoints.h"
#include "api/renamingendpoints.h"
#include "api/systemendpoints.h"

QList<APIRoute> standardRoutes(APIContext &context)
{
    return systemRoutes(context) + renamingRoutes(context) + configRoutes(context) + controlRoutes(context);
}
