#pragma once

#include <QByteArray>
#include <QtGlobal>

/**
 * The REST API's self-description: the OpenAPI 3.1 document and the Swagger UI page that
 * renders it. Both are fixed UTF-8 texts compiled in as resources (openapi.json, docs.html);
 * each holds the placeholder "@PORT@" exactly once and is split there on first use, so a reply
 * is the text before the port + the port + the text after it.
 */

/** The OpenAPI document whose server URL is http://127.0.0.1:`port`. */
[[nodiscard]] QByteArray openAPIDocument(quint16 port);

/** The documentation page that loads the document from http://127.0.0.1:`port`/v1/openapi.json. */
[[nodiscard]] QByteArray apiDocsPage(quint16 port);
