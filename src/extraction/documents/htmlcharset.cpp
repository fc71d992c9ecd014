#include "htmlcharset.h"

#include <QStringDecoder>

#include <unicode/ucnv.h>

#include <algorithm>
#include <memory>
#include <utility>

namespace HTMLCharset {
namespace {

// Browsers look at the first 1024 bytes; generated pages put long comments first, so we look further.
constexpr qsizetype ScannedBytes = 8 * 1024;

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

qsizetype skipSpaces(const QByteArray &text, qsizetype pos)
{
    while (pos < text.size() && isSpace(text[pos]))
        ++pos;
    return pos;
}

// The value after `keyword`, optional spaces, "=" and optional spaces: quoted, or up to a space or ";".
QByteArray valueAfter(const QByteArray &text, const char *keyword)
{
    const qsizetype keywordLength = qstrlen(keyword);
    qsizetype pos = 0;
    while ((pos = text.indexOf(keyword, pos)) >= 0) {
        pos = skipSpaces(text, pos + keywordLength);
        if (pos >= text.size() || text[pos] != '=')
            continue;
        pos = skipSpaces(text, pos + 1);
        if (pos >= text.size())
            return {};
        const char quote = text[pos];
        if (quote == '"' || quote == '\'') {
            const qsizetype end = text.indexOf(quote, pos + 1);
            return end < 0 ? QByteArray() : text.sliced(pos + 1, end - pos - 1).trimmed();
        }
        qsizetype end = pos;
        while (end < text.size() && !isSpace(text[end]) && text[end] != ';')
            ++end;
        return text.sliced(pos, end - pos);
    }
    return {};
}

struct MetaAttributes {
    QByteArray charset;
    QByteArray httpEquiv;
    QByteArray content;
    qsizetype end = 0; // just after the tag
};

// The attributes of the tag whose name ends before `pos`; the first of each name counts.
MetaAttributes readAttributes(const QByteArray &head, qsizetype pos)
{
    MetaAttributes meta;
    bool seenCharset = false;
    bool seenHttpEquiv = false;
    bool seenContent = false;
    while (true) {
        while (pos < head.size() && (isSpace(head[pos]) || head[pos] == '/'))
            ++pos;
        if (pos >= head.size() || head[pos] == '>')
            break;
        const qsizetype nameStart = pos;
        if (head[pos] == '=') // a leading "=" belongs to the name; this also guarantees progress
            ++pos;
        while (pos < head.size() && !isSpace(head[pos]) && head[pos] != '=' && head[pos] != '>' && head[pos] != '/')
            ++pos;
        const QByteArray name = head.sliced(nameStart, pos - nameStart);
        QByteArray value;
        pos = skipSpaces(head, pos);
        if (pos < head.size() && head[pos] == '=') {
            pos = skipSpaces(head, pos + 1);
            if (pos < head.size() && (head[pos] == '"' || head[pos] == '\'')) {
                const qsizetype end = head.indexOf(head[pos], pos + 1);
                if (end < 0)
                    break;
                value = head.sliced(pos + 1, end - pos - 1);
                pos = end + 1;
            } else {
                const qsizetype start = pos;
                while (pos < head.size() && !isSpace(head[pos]) && head[pos] != '>')
                    ++pos;
                value = head.sliced(start, pos - start);
            }
        }
        if (name == "charset" && !std::exchange(seenCharset, true))
            meta.charset = value.trimmed();
        else if (name == "http-equiv" && !std::exchange(seenHttpEquiv, true))
            meta.httpEquiv = value.trimmed();
        else if (name == "content" && !std::exchange(seenContent, true))
            meta.content = value;
    }
    meta.end = pos + 1;
    return meta;
}

QByteArray metaLabel(const QByteArray &head)
{
    qsizetype pos = 0;
    while (pos < head.size()) {
        const QByteArrayView rest = QByteArrayView(head).sliced(pos);
        if (rest.startsWith("<!--")) {
            const qsizetype end = head.indexOf("-->", pos + 4);
            if (end < 0)
                return {};
            pos = end + 3;
            continue;
        }
        if (rest.size() > 5 && rest.startsWith("<meta") && (isSpace(rest[5]) || rest[5] == '/')) {
            const MetaAttributes meta = readAttributes(head, pos + 5);
            if (!meta.charset.isEmpty())
                return meta.charset;
            if (meta.httpEquiv == "content-type") {
                if (const QByteArray label = valueAfter(meta.content, "charset"); !label.isEmpty())
                    return label;
            }
            pos = meta.end;
            continue;
        }
        ++pos;
    }
    return {};
}

struct ConverterCloser {
    void operator()(UConverter *converter) const { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

// Encoding labels are short words; anything else could make ICU look for a converter file.
bool isPlainLabel(const QByteArray &label)
{
    return !label.isEmpty() && label.size() <= 40 && std::all_of(label.begin(), label.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' || c == ':';
    });
}

Converter openConverter(const char *label)
{
    UErrorCode status = U_ZERO_ERROR;
    Converter converter(ucnv_open(label, &status));
    return U_SUCCESS(status) ? std::move(converter) : nullptr;
}

// Bytes no encoding maps become U+FFFD, as in browsers.
QString convert(UConverter *converter, QByteArrayView bytes, bool complete)
{
    QString text(bytes.size() + 16, Qt::Uninitialized);
    const char *source = bytes.data();
    const char *const sourceEnd = bytes.data() + bytes.size();
    qsizetype written = 0;
    while (true) {
        UErrorCode status = U_ZERO_ERROR;
        auto *const start = reinterpret_cast<UChar *>(text.data());
        UChar *target = start + written;
        ucnv_toUnicode(converter, &target, start + text.size(), &source, sourceEnd, nullptr, complete, &status);
        written = target - start;
        if (status != U_BUFFER_OVERFLOW_ERROR)
            break;
        text.resize(text.size() * 2);
    }
    text.truncate(written);
    return text;
}

// Invalid bytes become U+FFFD, as in browsers. A stateful decoder keeps an incomplete last
// character instead of replacing it.
QString decodeWith(QStringConverter::Encoding encoding, QByteArrayView bytes, bool complete)
{
    QStringDecoder decoder(encoding, complete ? QStringDecoder::Flag::Stateless : QStringDecoder::Flag::Default);
    return decoder(bytes);
}

} // namespace

QString decodeUndeclared(QByteArrayView bytes, bool complete)
{
    QStringDecoder decoder(QStringConverter::Utf8,
                           complete ? QStringDecoder::Flag::Stateless : QStringDecoder::Flag::Default);
    QString text = decoder(bytes);
    if (!decoder.hasError())
        return text;
    // Control bytes in a page that is not UTF-8 mark a binary file under an HTML name: read as
    // Windows-1252 it would give pages of noise.
    const bool binary =
        std::any_of(bytes.begin(), bytes.end(), [](char c) { return (uchar(c) < 0x20 && !isSpace(c)) || c == '\x7f'; });
    if (binary)
        return {};
    const Converter windows1252 = openConverter("windows-1252");
    return windows1252 ? convert(windows1252.get(), bytes, complete) : text;
}

QByteArray declaredLabel(QByteArrayView html)
{
    const QByteArray head = html.first(std::min(html.size(), ScannedBytes)).toByteArray().toLower();
    if (head.startsWith("<?xml")) {
        const qsizetype end = head.indexOf("?>");
        if (const QByteArray label = valueAfter(head.first(end < 0 ? head.size() : end), "encoding"); !label.isEmpty())
            return label;
    }
    return metaLabel(head);
}

QString decode(QByteArrayView html, bool complete)
{
    if (html.startsWith("\xEF\xBB\xBF"))
        return decodeWith(QStringConverter::Utf8, html.sliced(3), complete);
    if (html.startsWith("\xFF\xFE"))
        return decodeWith(QStringConverter::Utf16LE, html.sliced(2), complete);
    if (html.startsWith("\xFE\xFF"))
        return decodeWith(QStringConverter::Utf16BE, html.sliced(2), complete);

    const QByteArray label = declaredLabel(html);
    Converter converter = isPlainLabel(label) ? openConverter(label.constData()) : nullptr;
    UErrorCode status = U_ZERO_ERROR;
    const char *name = converter ? ucnv_getName(converter.get(), &status) : nullptr;
    if (!name || U_FAILURE(status))
        return decodeUndeclared(html, complete);
    // A declaration readable as ASCII means the page is not UTF-16 or UTF-32: read it as UTF-8.
    if (qstrncmp(name, "UTF", 3) == 0 || qstrncmp(name, "CESU", 4) == 0)
        return decodeWith(QStringConverter::Utf8, html, complete);
    if (ucnv_compareNames(name, "ISO-8859-1") == 0 || ucnv_compareNames(name, "US-ASCII") == 0)
        converter = openConverter("windows-1252");
    if (!converter)
        return decodeUndeclared(html, complete);
    return convert(converter.get(), html, complete);
}

} // namespace HTMLCharset
