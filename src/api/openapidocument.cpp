#include "api/openapidocument.h"

#include "api/apilog.h"

#include <QFile>
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

QByteArray apiDocsPage(quint16 port)
{
    static const PortTemplate page = loadTemplate(u":/api/docs.html"_s);
    return page.withPort(port);
}
