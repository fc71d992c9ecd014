#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <optional>

/**
 * The REST API's self-description: the OpenAPI 3.1 document and the Swagger UI page that
 * renders it, compiled in as resources. The document holds the placeholder "@PORT@" exactly
 * once and is split there on first use, so a reply is the text before the port + the port + the
 * text after it. The page and its files (Swagger UI from the npm package swagger-ui-dist, our
 * style and start script) are served as they are, under /v1/docs/.
 */

/** The OpenAPI document whose server URL is http://127.0.0.1:`port`. */
[[nodiscard]] QByteArray openAPIDocument(quint16 port);

/**
 * One file of the documentation page ("docs.html", the page, which loads the others and the
 * document from the origin it was opened under; "swagger-ui-bundle.js", "docs.css", …) with its
 * content type; nullopt for any other name.
 */
struct DocsFile {
    QByteArray content;
    QByteArray contentType;
};
[[nodiscard]] std::optional<DocsFile> apiDocsFile(const QString &name);
