#pragma once

#include "api/apiroute.h"

#include <QList>

struct APIContext;

/**
 * GET /v1/health, /v1/version, /v1/docs and /v1/openapi.json, in that order. The document and
 * the page name `context.activePort` as read at request time, so `context` must outlive the
 * routes (it is the server's own).
 */
[[nodiscard]] QList<APIRoute> systemRoutes(const APIContext &context);
