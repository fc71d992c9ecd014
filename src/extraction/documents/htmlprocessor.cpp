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

ExtractionResult HTMLProcessor::extractFrom(const SourceFile &file) const
{
    // Only the start of a huge page is read, as for plain text.
    const std::optional<QByteArray> read = file.read(GenericProcessor::MaxTextBytes);
    if (!read)
        return FileContext::make(file, QString(), MetadataMap());

    MetadataMap metadata{{QStringLiteral("source"), QStringLiteral("html")}};
    const QByteArray &bytes = *read;
    const std::optional<QString> html = HTMLCharset::decode(bytes, bytes.size() < GenericProcessor::MaxTextBytes);
    if (!html) // invalid UTF-8 gives neither text nor title
        return FileContext::make(file, QString(), metadata);

    std::optional<QString> text = HTMLText::visibleText(html->toUtf8(), MaxVisibleUnits);
    if (!text) // the parser gave up: strip the tags instead
        text = IcuRegex::replaceAll(QStringLiteral("<[^>]+>"), IcuRegex::NoFlags, *html, QStringLiteral(" "));
    if (const std::optional<QString> title = HTMLText::title(*html))
        metadata.set(QStringLiteral("title"), *title);
    return FileContext::make(file, UnicodeText::leftGraphemes(text.value_or(QString()), TextLimits::Document),
                             metadata);
}
