#pragma once

#include "api/apirequest.h"
#include "api/apiresponse.h"

#include <QCoroTask>
#include <QList>
#include <QString>

#include <functional>

/**
 * One entry of the route table. An exact route matches its path only. A prefix route's path is
 * a template such as "/v1/history/{id}": it matches every route path that starts with the part
 * before the "{" and hands the rest to the handler as `parameter` (percent-decoded when
 * `decodeParameter` is set, the empty string for a bad escape); what follows the "}" is the
 * handler's to check. The path is also the route's name in a 404's list and the OpenAPI document.
 */
struct APIRoute {
    enum class Match { exact, prefix };
    using Handler = std::function<QCoro::Task<APIResponse>(APIRequest request, QString parameter)>;

    QString method;
    QString path;
    Match match = Match::exact;
    bool decodeParameter = false;
    Handler handler;
    bool listed = true; ///< named in a 404's "endpoints"
};
