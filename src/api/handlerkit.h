#pragma once

#include "api/apiresponse.h"

#include <QCoroTask>

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QUrl>

#include <algorithm>
#include <expected>
#include <optional>

class RenameEngine;
struct StoreError;

/** What the endpoint handlers share: reading request fields and the fixed error replies. */
namespace HandlerKit {

/** `body[key]` when it is an array of strings, possibly empty. */
[[nodiscard]] std::optional<QStringList> stringList(const QJsonObject &body, const QString &key);
/** `body[key]` when it is a non-empty array of strings. */
[[nodiscard]] std::optional<QStringList> stringArray(const QJsonObject &body, const QString &key);
[[nodiscard]] std::optional<QString> string(const QJsonObject &body, const QString &key);
[[nodiscard]] std::optional<bool> boolean(const QJsonObject &body, const QString &key);
/** A JSON number that is a whole number in the 64-bit range. */
[[nodiscard]] std::optional<qint64> integer(const QJsonObject &body, const QString &key);

/** The first of `items` that `matches`, if any. */
template <typename T, typename Predicate>
[[nodiscard]] std::optional<T> firstWhere(const QList<T> &items, Predicate matches)
{
    const auto found = std::find_if(items.begin(), items.end(), matches);
    return found != items.end() ? std::optional<T>(*found) : std::nullopt;
}

/**
 * `body["paths"]` when it is a non-empty array of absolute paths; otherwise the 400 reply
 * ("missing paths", or pathProblem's) before any file is touched.
 */
[[nodiscard]] std::expected<QStringList, APIResponse> absolutePaths(const QJsonObject &body);
/**
 * The 400 reply for a path no file can have: with a NUL (the system would read it only up to
 * there) or not valid Unicode (a lone surrogate from a "\ud800" escape has no UTF-8 form), or
 * relative ("Pfade müssen absolut sein" rather than resolving against the app's working
 * directory). Nothing when it is a usable absolute path.
 */
[[nodiscard]] std::optional<APIResponse> pathProblem(const QString &path);

[[nodiscard]] QList<QUrl> fileUrls(const QStringList &paths);
/** The last path component of a path or file URL path. */
[[nodiscard]] QString lastPathComponent(const QString &path);

/** UTC, whole seconds, "Z": 2024-03-15T09:30:00Z. */
[[nodiscard]] QString isoDate(const QDateTime &moment);
/** Accepts exactly the internet date-time form with a zone ("Z" or ±hh:mm); nullopt otherwise. */
[[nodiscard]] std::optional<QDateTime> parseIsoDate(const QString &text);

/** A reply that is ready now, as the task the route table expects. */
[[nodiscard]] QCoro::Task<APIResponse> ready(APIResponse response);

[[nodiscard]] APIResponse missingPaths();
[[nodiscard]] APIResponse engineNotReady();
[[nodiscard]] APIResponse queueNotReady();
[[nodiscard]] APIResponse noDataContext();
[[nodiscard]] APIResponse relativePath();
[[nodiscard]] APIResponse invalidPath();
/**
 * 403 {"error": "terms not accepted"} while the engine refuses to send files to a provider or
 * rename them (RenameEngine::refusal); nothing when it would go ahead.
 */
[[nodiscard]] std::optional<APIResponse> engineRefusal(const RenameEngine &engine);
/** 500 with the store's own message: a write the client asked for did not happen; 400 for a refused value. */
[[nodiscard]] APIResponse storeFailure(const StoreError &error);

} // namespace HandlerKit
