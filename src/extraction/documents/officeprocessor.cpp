#include "officeprocessor.h"

#include "common/unicodetext.h"
#include "extraction/documents/xmltextcollector.h"
#include "extraction/documents/zipentry.h"

namespace {

// Real document parts stay well below this; a bomb stops here instead of filling memory.
constexpr qint64 MaxPartBytes = 64 * 1024 * 1024;
// Enough UTF-16 units for the excerpt's grapheme clusters.
constexpr qsizetype MaxCollectedUnits = 64 * 1024;

} // namespace

OfficeProcessor::OfficeProcessor()
    : ExtensionProcessor({QStringLiteral("docx"), QStringLiteral("xlsx")})
{
}

ExtractionResult OfficeProcessor::extract(const QString &path) const
{
    const QString extension = lowerExtension(path);
    // Word keeps its runs in w:t elements; Excel keeps cell texts, never numbers, in shared strings.
    const bool isWord = extension == u"docx";
    if (!isWord && extension != u"xlsx")
        return FileContext::make(path, QString(), {{QStringLiteral("source"), extension}});
    const std::optional<QByteArray> part = ZipEntry::read(
        path, isWord ? QStringLiteral("word/document.xml") : QStringLiteral("xl/sharedStrings.xml"), MaxPartBytes);
    QString text;
    if (part) {
        const QString tagName = isWord ? QStringLiteral("w:t") : QStringLiteral("t");
        text = UnicodeText::leftGraphemes(XmlTextCollector::joinedText(*part, tagName, MaxCollectedUnits),
                                          TextLimits::Document);
    }
    return FileContext::make(path, text, {{QStringLiteral("source"), extension}});
}
