#pragma once

#include <QHash>
#include <QJsonObject>
#include <QString>

#include "common/latch.h"

#include <memory>
#include <optional>

/** One parsed HTTP request, as the handlers see it. */
struct APIRequest {
    QString method = QStringLiteral("GET"); ///< case-sensitive, e.g. "GET"
    QString path = QStringLiteral("/");     ///< the request target as sent, query string included
    QJsonObject body;                       ///< empty when there is no body
    bool invalidBody = false;               ///< a body came that is not a JSON object; nothing may act on it
    QHash<QString, QString> headers;        ///< lower-case names; a later header replaces an earlier one
    /** Opens when the client goes before its reply: work done for it alone may stop. Never null. */
    std::shared_ptr<Latch> abandoned = std::make_shared<Latch>();

    /**
     * Parses the complete request text (head, empty line, body; lines end in LF or CR LF); never
     * fails. The body is all that follows the empty line: the reader has cut it to its length.
     */
    [[nodiscard]] static APIRequest parse(const QString &text);
};

/** The percent-decoded value of query parameter `name` in `path`; nullopt when absent or badly encoded. */
[[nodiscard]] std::optional<QString> queryParameter(const QString &path, const QString &name);

/** Strict percent-decoding ("+" stays "+"); nullopt for a bad escape or bytes that are not UTF-8. */
[[nodiscard]] std::optional<QString> percentDecoded(const QString &text);
