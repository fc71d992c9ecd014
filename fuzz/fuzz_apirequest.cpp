#include "api/apirequest.h"
#include "common/strictutf8.h"

#include <QUrl>

#include <cstdint>
#include <cstdlib>

namespace {

bool trimmed(QStringView text)
{
    const auto blank = [](QChar c) { return c == u' ' || c == u'\t'; };
    return text.isEmpty() || (!blank(text.front()) && !blank(text.back()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The server parses only requests that decode as UTF-8.
    const std::optional<QString> text = strictUtf8(QByteArrayView(data, qsizetype(size)));
    if (!text)
        return 0;

    const APIRequest request = APIRequest::parse(*text);
    if (request.method.isEmpty() || request.method.contains(u' ') || request.path.isEmpty() ||
        request.path.contains(u' '))
        std::abort();
    for (auto it = request.headers.cbegin(); it != request.headers.cend(); ++it) {
        if (it.key() != it.key().toLower() || !trimmed(it.key()) || !trimmed(it.value()))
            std::abort();
    }

    // Every name that occurs in the query, and one that does not.
    const qsizetype query = request.path.lastIndexOf(u'?');
    QStringList names{QStringLiteral("limit")};
    for (const QStringView pair : QStringView(request.path).sliced(query + 1).split(u'&'))
        names << pair.left(pair.indexOf(u'=')).toString();
    for (const QString &name : std::as_const(names)) {
        const std::optional<QString> value = queryParameter(request.path, name);
        if (value && value->size() > request.path.size())
            std::abort();
    }

    // Decoding undoes encoding, and never yields more characters than it was given.
    const std::optional<QString> decoded = percentDecoded(*text);
    if (decoded && decoded->size() > text->size())
        std::abort();
    if (percentDecoded(QString::fromLatin1(QUrl::toPercentEncoding(*text))) != *text)
        std::abort();
    return 0;
}
