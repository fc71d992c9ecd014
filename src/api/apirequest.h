#pragma once

#include <QHash>
#include <QJsonObject>
#include <QString>

#include <optional>

/** One parsed HTTP request, as the handlers see it. */
struct APIRequest {
    QString method = QStringLiteral("GET"); ///< case-sensitive, e.g. "GET"
    QString path = QStringLiteral("/");     ///< the request target as sent, query string included
    QJsonObject body;                       ///< empty unless the body is a JSON object
    QHash<QString, QString> headers;        ///< lower-case names; a later header replaces an earlier one

    /** Parses the complete request text (head, empty line, body; lines end in LF or CR LF); never fails. */
    [[nodiscard]] static APIRequest parse(const QString &text);
};

/** The percent-decoded value of query parameter `name` in `path`; nullopt when absent or badly encoded. */
[[nodiscard]] std::optional<QString> queryParameter(const QString &path, const QString &name);

/** Strict percent-decoding ("+" stays "+"); nullopt for a bad escape or bytes that are not UTF-8. */
[[nodiscard]] std::optional<QString> percentDecoded(const QString &text);
