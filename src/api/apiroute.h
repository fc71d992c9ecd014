#pragma once

#include "api/apirequest.h"
#include "api/apiresponse.h"

#include <QCoroTask>
#include <QList>
#include <QString>

#include <functional>

/**
 * One entry of the route table. An exact route matches its path only; a prefix route matches
 * every route path that starts with `path` and hands the rest to the handler as `parameter`
 * (percent-decoded when `decodeParameter` is set, the empty string for a bad escape).
 */
struct APIRoute {
    enum class Match { exact, prefix };
    using Handler = std::function<QCoro::Task<APIResponse>(APIRequest request, QString parameter)>;

    QString method;
    QString path;
    Match match = Match::exact;
    bool decodeParameter = false;
    Handler handler;
};
