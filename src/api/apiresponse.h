#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <utility>

/** One HTTP reply; the server writes it with the fixed head and closes the connection. */
struct APIResponse {
    int status = 200;
    QByteArray contentType = QByteArrayLiteral("application/json");
    QByteArray body;
    /** Further header lines, name and value, written after Content-Length. */
    QList<std::pair<QByteArray, QByteArray>> headers;

    /** Pretty-printed JSON with sorted keys; "json error" as plain text with 500 if it cannot be serialised. */
    [[nodiscard]] static APIResponse json(const QJsonObject &object, int status = 200);
    /** `{"error": message}` through the JSON path. */
    [[nodiscard]] static APIResponse error(int status, const QString &message);
    [[nodiscard]] static APIResponse raw(int status, QByteArray body, QByteArray contentType);

    /**
     * Status line, Content-Type, Content-Length, the further headers and Connection, blank line,
     * body. No CORS header: no page of another origin may read a reply.
     */
    [[nodiscard]] QByteArray serialize() const;
};
