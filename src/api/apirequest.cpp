#include "apirequest.h"

#include "api/httphead.h"
#include "common/hexdigit.h"
#include "common/strictutf8.h"

#include <QJsonDocument>

namespace {

QStringView trimmedSpacesAndTabs(QStringView text)
{
    const auto isBlank = [](QChar c) { return c == u' ' || c == u'\t'; };
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

/**
 * Splits at the first `separator` that ends a non-empty piece, leaving out empty pieces: leading
 * separators are skipped, so ":a:b" gives "a" and "b", and "a::b" gives "a" and ":b".
 */
QList<QStringView> splitOnceSkippingEmpty(QStringView text, QChar separator)
{
    QList<QStringView> pieces;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != separator)
            continue;
        if (i > start) {
            pieces << text.sliced(start, i - start);
            start = i + 1;
            break;
        }
        start = i + 1;
    }
    if (start < text.size())
        pieces << text.sliced(start);
    return pieces;
}

} // namespace

APIRequest APIRequest::parse(const QString &text)
{
    APIRequest request;
    const QStringView all(text);
    const std::optional<HTTPHead::End> headEnd = HTTPHead::findEnd(all);
    const QStringView head = headEnd ? all.first(headEnd->headSize) : all;
    QStringView bodyText;
    if (headEnd)
        bodyText = all.sliced(headEnd->bodyStart);

    const QList<QStringView> lines = HTTPHead::lines(head);
    if (!lines.isEmpty()) {
        const QList<QStringView> words = lines.front().split(u' ', Qt::SkipEmptyParts);
        if (!words.isEmpty())
            request.method = words[0].toString();
        if (words.size() > 1)
            request.path = words[1].toString();
    }
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QStringView> parts = splitOnceSkippingEmpty(lines[i], u':');
        if (parts.size() != 2)
            continue;
        request.headers.insert(trimmedSpacesAndTabs(parts[0]).toString().toLower(),
                               trimmedSpacesAndTabs(parts[1]).toString());
    }

    if (bodyText.isEmpty())
        return request;
    const QJsonDocument document = QJsonDocument::fromJson(bodyText.toUtf8());
    if (document.isObject())
        request.body = document.object();
    else
        request.invalidBody = true;
    return request;
}

std::optional<QString> queryParameter(const QString &path, const QString &name)
{
    const QList<QStringView> sections = QStringView(path).split(u'?', Qt::SkipEmptyParts);
    if (sections.isEmpty())
        return std::nullopt;
    for (const QStringView pair : sections.back().split(u'&', Qt::SkipEmptyParts)) {
        const QList<QStringView> parts = splitOnceSkippingEmpty(pair, u'=');
        if (parts.size() == 2 && parts[0] == name)
            return percentDecoded(parts[1].toString());
    }
    return std::nullopt;
}

std::optional<QString> percentDecoded(const QString &text)
{
    const QByteArray encoded = text.toUtf8();
    QByteArray decoded;
    decoded.reserve(encoded.size());
    for (qsizetype i = 0; i < encoded.size(); ++i) {
        if (encoded[i] != '%') {
            decoded += encoded[i];
            continue;
        }
        if (i + 2 >= encoded.size())
            return std::nullopt;
        const int high = hexDigitValue(encoded[i + 1]);
        const int low = hexDigitValue(encoded[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        decoded += char(high * 16 + low);
        i += 2;
    }
    return strictUtf8(decoded);
}
