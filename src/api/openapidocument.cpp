#include "api/openapidocument.h"

#include "api/apilog.h"

#include <QFile>
#include <QHash>
#include <QString>

using namespace Qt::StringLiterals;

namespace {

struct PortTemplate {
    QByteArray beforePort;
    QByteArray afterPort;

    [[nodiscard]] QByteArray withPort(quint16 port) const { return beforePort + QByteArray::number(port) + afterPort; }
};

PortTemplate loadTemplate(const QString &resource)
{
    static constexpr QByteArrayView placeholder = "@PORT@";
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly)) {
        // Only a broken build gets here (the resource object was not linked); the tests load both.
        qCCritical(lcAPI, "OpenAPI: resource %s missing", qUtf8Printable(resource));
        return {};
    }
    const QByteArray text = file.readAll();
    const qsizetype at = text.indexOf(placeholder);
    if (at < 0) {
        qCCritical(lcAPI, "OpenAPI: %s has no port placeholder", qUtf8Printable(resource));
        return {text, {}};
    }
    Q_ASSERT(text.indexOf(placeholder, at + 1) < 0);
    return {text.first(at), text.sliced(at + placeholder.size())};
}

} // namespace

QByteArray openAPIDocument(quint16 port)
{
    static const PortTemplate document = loadTemplate(u":/api/openapi.json"_s);
    return document.withPort(port);
}

std::optional<DocsFile> apiDocsFile(const QString &name)
{
    static const QHash<QString, QByteArray> types{{u"docs.html"_s, "text/html; charset=utf-8"_ba},
                                                  {u"docs.css"_s, "text/css; charset=utf-8"_ba},
                                                  {u"docs.js"_s, "text/javascript; charset=utf-8"_ba},
                                                  {u"swagger-ui.css"_s, "text/css; charset=utf-8"_ba},
                                                  {u"swagger-ui-bundle.js"_s, "text/javascript; charset=utf-8"_ba}};
    const auto type = types.constFind(name);
    if (type == types.cend())
        return std::nullopt;
    // Read once each and kept: a megabyte and a half of Swagger UI is not decompressed per request.
    static QHash<QString, QByteArray> loaded;
    auto content = loaded.find(name);
    if (content == loaded.end()) {
        QFile file(u":/api/docs/"_s + name);
        if (!file.open(QIODevice::ReadOnly)) {
            qCCritical(lcAPI, "API docs: resource %s missing", qUtf8Printable(name));
            return std::nullopt;
        }
        content = loaded.insert(name, file.readAll());
    }
    return DocsFile{*content, *type};
}
