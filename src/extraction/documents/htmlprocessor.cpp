#include "htmlprocessor.h"

#include "common/icuregex.h"
#include "common/unicodetext.h"
#include "extraction/documents/htmlcharset.h"
#include "extraction/documents/htmltext.h"
#include "extraction/genericprocessor.h"

namespace {

// Enough UTF-16 units for the excerpt's grapheme clusters; the walk stops there.
constexpr qsizetype MaxVisibleUnits = 64 * 1024;

} // namespace

HTMLProcessor::HTMLProcessor()
    : ExtensionProcessor({QStringLiteral("html"), QStringLiteral("htm"), QStringLiteral("xhtml")})
{
}

HTMLText::Page HTMLProcessor::page(const QByteArray &bytes, bool complete)
{
    const QString html = HTMLCharset::decode(bytes, complete);
    if (std::optional<HTMLText::Page> page = HTMLText::read(html.toUtf8(), MaxVisibleUnits))
        return *std::move(page);
    // The parser gives up only when out of memory.
    return {IcuRegex::replaceAll(QStringLiteral("<[^>]+>"), IcuRegex::NoFlags, html, QStringLiteral(" "))
                .value_or(QString()),
            std::nullopt};
}

bool HTMLProcessor::looksLikeHtml(QByteArrayView bytes)
{
    QByteArray start = bytes.first(std::min<qsizetype>(bytes.size(), 1024)).toByteArray();
    if (start.startsWith("\xEF\xBB\xBF"))
        start.remove(0, 3);
    start = start.trimmed().toLower();
    return start.startsWith('<') &&
           (start.contains("<html") || start.contains("<table") || start.contains("<!doctype html"));
}

ExtractionResult HTMLProcessor::extractFrom(const SourceFile &file) const
{
    // Only the start of a huge page is read, as for plain text.
    const std::optional<QByteArray> read = file.read(GenericProcessor::MaxTextBytes);
    if (!read)
        return FileContext::make(file, QString(), MetadataMap());

    MetadataMap metadata{{QStringLiteral("source"), QStringLiteral("html")}};
    const HTMLText::Page page = HTMLProcessor::page(*read, read->size() < GenericProcessor::MaxTextBytes);
    if (page.title)
        metadata.set(QStringLiteral("title"), *page.title);
    return FileContext::make(file, UnicodeText::leftGraphemes(page.text, TextLimits::Document), metadata);
}
