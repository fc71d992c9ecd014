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
    const QString html = HTMLCharset::decode(bytes, bytes.size() < GenericProcessor::MaxTextBytes);

    const std::optional<HTMLText::Page> page = HTMLText::read(html.toUtf8(), MaxVisibleUnits);
    // When the parser gives up, the tags are stripped instead.
    const QString text =
        page ? page->text
             : IcuRegex::replaceAll(QStringLiteral("<[^>]+>"), IcuRegex::NoFlags, html, QStringLiteral(" "))
                   .value_or(QString());
    if (page && page->title)
        metadata.set(QStringLiteral("title"), *page->title);
    return FileContext::make(file, UnicodeText::leftGraphemes(text, TextLimits::Document), metadata);
}
