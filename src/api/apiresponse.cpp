#include "apiresponse.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <cmath>

namespace {

// JSON has no NaN or infinity; Qt would quietly write them as null, hiding a handler's fault.
bool representable(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Double:
        return std::isfinite(value.toDouble());
    case QJsonValue::Array: {
        const QJsonArray array = value.toArray();
        return std::all_of(array.begin(), array.end(), [](const QJsonValue &item) { return representable(item); });
    }
    case QJsonValue::Object: {
        const QJsonObject object = value.toObject();
        return std::all_of(object.begin(), object.end(), [](const QJsonValue &item) { return representable(item); });
    }
    default:
        return true;
    }
}

} // namespace

APIResponse APIResponse::json(const QJsonObject &object, int status)
{
    if (!representable(object))
        return raw(500, QByteArrayLiteral("json error"), QByteArrayLiteral("text/plain; charset=utf-8"));
    // QJsonObject keeps its keys sorted, so the indented form lists every object's keys in order.
    return raw(status, QJsonDocument(object).toJson(QJsonDocument::Indented), QByteArrayLiteral("application/json"));
}

APIResponse APIResponse::error(int status, const QString &message)
{
    return json(QJsonObject{{QStringLiteral("error"), message}}, status);
}

APIResponse APIResponse::raw(int status, QByteArray body, QByteArray contentType)
{
    return APIResponse{status, std::move(contentType), std::move(body), {}};
}

QByteArray APIResponse::serialize() const
{
    QByteArray message = QByteArrayLiteral("HTTP/1.1 ") + QByteArray::number(status) +
                         QByteArrayLiteral(" OK\r\nContent-Type: ") + contentType +
                         QByteArrayLiteral("\r\nContent-Length: ") + QByteArray::number(body.size());
    for (const auto &[name, value] : headers)
        message += QByteArrayLiteral("\r\n") + name + QByteArrayLiteral(": ") + value;
    message += QByteArrayLiteral("\r\nConnection: close\r\n\r\n");
    message += body;
    return message;
}
