#include "api/handlerkit.h"

#include "common/stringtable.h"
#include "engine/renameengine.h"
#include "store/storeerror.h"

#include <QJsonArray>
#include <QRegularExpression>

#include <cmath>

namespace HandlerKit {

std::optional<QStringList> stringArray(const QJsonObject &body, const QString &key)
{
    std::optional<QStringList> strings = stringList(body, key);
    return strings && !strings->isEmpty() ? strings : std::nullopt;
}

std::optional<QStringList> stringList(const QJsonObject &body, const QString &key)
{
    const QJsonValue value = body.value(key);
    if (!value.isArray())
        return std::nullopt;
    QStringList strings;
    for (const QJsonValue &element : value.toArray()) {
        if (!element.isString())
            return std::nullopt;
        strings << element.toString();
    }
    return strings;
}

std::optional<QString> string(const QJsonObject &body, const QString &key)
{
    const QJsonValue value = body.value(key);
    return value.isString() ? std::optional(value.toString()) : std::nullopt;
}

std::optional<bool> boolean(const QJsonObject &body, const QString &key)
{
    const QJsonValue value = body.value(key);
    return value.isBool() ? std::optional(value.toBool()) : std::nullopt;
}

std::optional<qint64> integer(const QJsonObject &body, const QString &key)
{
    const QJsonValue value = body.value(key);
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    // 2^63 is exactly representable; anything at or beyond it would not fit.
    if (number != std::trunc(number) || std::abs(number) >= 9223372036854775808.0)
        return std::nullopt;
    return qint64(number);
}

std::expected<QStringList, APIResponse> absolutePaths(const QJsonObject &body)
{
    const std::optional<QStringList> paths = stringArray(body, QStringLiteral("paths"));
    if (!paths)
        return std::unexpected(missingPaths());
    for (const QString &path : *paths) {
        if (std::optional<APIResponse> problem = pathProblem(path))
            return std::unexpected(std::move(*problem));
    }
    return *paths;
}

std::optional<APIResponse> pathProblem(const QString &path)
{
    if (path.contains(QChar(0)) || !path.isValidUtf16())
        return invalidPath();
    if (!path.startsWith(QLatin1Char('/'))) // QDir would also take Qt resource paths (":/…")
        return relativePath();
    return std::nullopt;
}

QList<QUrl> fileUrls(const QStringList &paths)
{
    QList<QUrl> urls;
    urls.reserve(paths.size());
    for (const QString &path : paths)
        urls << QUrl::fromLocalFile(path);
    return urls;
}

QString lastPathComponent(const QString &path)
{
    QString trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    return trimmed.mid(trimmed.lastIndexOf(QLatin1Char('/')) + 1);
}

QString isoDate(const QDateTime &moment)
{
    return moment.toUTC().toString(Qt::ISODate); // Qt::ISODate leaves out the milliseconds
}

std::optional<QDateTime> parseIsoDate(const QString &text)
{
    // Qt's own parser also takes bare dates and zone-less times; scripts must say the zone.
    static const QRegularExpression form(
        QStringLiteral("^\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}(Z|[+-]\\d{2}:\\d{2})$"));
    if (!form.match(text).hasMatch())
        return std::nullopt;
    const QDateTime parsed = QDateTime::fromString(text, Qt::ISODate);
    return parsed.isValid() ? std::optional(parsed) : std::nullopt;
}

QCoro::Task<APIResponse> ready(APIResponse response)
{
    co_return response;
}

APIResponse missingPaths()
{
    return APIResponse::error(400, QStringLiteral("missing paths"));
}

APIResponse engineNotReady()
{
    return APIResponse::error(503, QStringLiteral("engine not ready"));
}

APIResponse queueNotReady()
{
    return APIResponse::error(503, QStringLiteral("queue not ready"));
}

APIResponse noDataContext()
{
    return APIResponse::error(503, QStringLiteral("no data context"));
}

APIResponse relativePath()
{
    return APIResponse::error(400, StringTable::text("api.relativePath"));
}

APIResponse invalidPath()
{
    return APIResponse::error(400, StringTable::text("api.invalidPath"));
}

std::optional<APIResponse> engineRefusal(const RenameEngine &engine)
{
    const std::optional<NamorixError> refused = engine.refusal();
    if (!refused)
        return std::nullopt;
    // The only refusal there is; a script tells it by this fixed text, the German one is the engine's.
    Q_ASSERT(refused->code() == NamorixError::Code::termsNotAccepted);
    return APIResponse::error(403, QStringLiteral("terms not accepted"));
}

APIResponse storeFailure(const StoreError &error)
{
    return APIResponse::error(error.code == StoreError::Code::invalid ? 400 : 500, error.message());
}

} // namespace HandlerKit
