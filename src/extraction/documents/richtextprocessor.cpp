#include "richtextprocessor.h"

#include "common/unicodetext.h"
#include "extraction/documents/rtfreader.h"

#include <QFile>
#include <QFileInfo>

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

ExtractionResult RichTextProcessor::extract(const QString &path) const
{
    // An RTFD bundle is a directory whose text lives in TXT.rtf next to its attachments.
    const QString rtfPath = QFileInfo(path).isDir() ? path + QStringLiteral("/TXT.rtf") : path;
    QString text;
    QFile file(rtfPath);
    if (file.open(QIODevice::ReadOnly))
        text = UnicodeText::leftGraphemes(RTFReader::plainText(file.read(MaxRtfBytes), MaxReadUnits),
                                          TextLimits::Document);
    return FileContext::make(path, text, {{QStringLiteral("source"), QStringLiteral("rtf")}});
}
