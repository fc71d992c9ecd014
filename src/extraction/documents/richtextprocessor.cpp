#include "richtextprocessor.h"

#include "common/unicodetext.h"
#include "extraction/documents/rtfreader.h"

namespace {

// Embedded pictures make RTF files large; text beyond this is never needed for a 4000-character excerpt.
constexpr qint64 MaxRtfBytes = 64 * 1024 * 1024;
// Enough UTF-16 units for the excerpt's grapheme clusters; the reader stops there.
constexpr qsizetype MaxReadUnits = 64 * 1024;

} // namespace

RichTextProcessor::RichTextProcessor()
    : ExtensionProcessor({QStringLiteral("rtf"), QStringLiteral("rtfd")})
{
}

ExtractionResult RichTextProcessor::extractFrom(const SourceFile &file) const
{
    QString text;
    if (const std::optional<QByteArray> rtf = file.read(MaxRtfBytes))
        text = UnicodeText::leftGraphemes(RTFReader::plainText(*rtf, MaxReadUnits), TextLimits::Document);
    return FileContext::make(file, text, {{QStringLiteral("source"), QStringLiteral("rtf")}});
}
