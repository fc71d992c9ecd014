#include "officeprocessor.h"

#include "common/unicodetext.h"
#include "extraction/documents/presentationpackage.h"
#include "extraction/documents/xmltextcollector.h"
#include "extraction/documents/zipentry.h"

namespace {

// The documents, macro-enabled documents and templates of each program: the same package parts.
// Functions, not globals: processors may be built during static initialisation.
const QStringList &wordNames()
{
    static const QStringList names{QStringLiteral("docx"), QStringLiteral("docm"), QStringLiteral("dotx"),
                                   QStringLiteral("dotm")};
    return names;
}

const QStringList &excelNames()
{
    static const QStringList names{QStringLiteral("xlsx"), QStringLiteral("xlsm"), QStringLiteral("xltx"),
                                   QStringLiteral("xltm")};
    return names;
}

const QStringList &presentationNames()
{
    static const QStringList names{QStringLiteral("pptx"), QStringLiteral("pptm"), QStringLiteral("ppsx"),
                                   QStringLiteral("ppsm"), QStringLiteral("potx"), QStringLiteral("potm")};
    return names;
}

// Real document parts stay well below this; a bomb stops here instead of filling memory.
constexpr qint64 MaxPartBytes = 64 * 1024 * 1024;
// Enough UTF-16 units for the excerpt's grapheme clusters.
constexpr qsizetype MaxCollectedUnits = 64 * 1024;

// Word splits a paragraph into runs wherever formatting, spelling marks or revisions change,
// even inside a word; its paragraphs are the pieces.
const XMLTextMarkup &wordMarkup()
{
    static const XMLTextMarkup markup{{QStringLiteral("w:t")},
                                      {QStringLiteral("w:p")},
                                      {QStringLiteral("w:tab"), QStringLiteral("w:br"), QStringLiteral("w:cr")}};
    return markup;
}

// One cell text per shared string (si) or inline string (is), however many runs it has; never numbers.
const XMLTextMarkup &excelMarkup()
{
    static const XMLTextMarkup markup{{QStringLiteral("t")}, {QStringLiteral("si"), QStringLiteral("is")}, {}};
    return markup;
}

// Headings and paragraphs, also those in table cells, frames and notes; a footnote is a piece of its own.
const XMLTextMarkup &openDocumentMarkup()
{
    static const XMLTextMarkup markup{
        {QStringLiteral("text:p"), QStringLiteral("text:h")},
        {QStringLiteral("text:p"), QStringLiteral("text:h"), QStringLiteral("text:note")},
        {QStringLiteral("text:s"), QStringLiteral("text:tab"), QStringLiteral("text:line-break")}};
    return markup;
}

// The texts of `members`, each part's paragraphs as lines; a part that repeats an earlier one
// (the first page's header beside the default one) is left out.
QStringList wordPartTexts(const QByteArray &archive, const QStringList &members)
{
    QStringList texts;
    for (const QString &member : members) {
        XMLTextCollector collector(wordMarkup(), MaxCollectedUnits);
        if (const std::optional<QByteArray> part = ZipEntry::read(archive, member, MaxPartBytes))
            collector.parse(*part);
        const QString text = collector.texts().join(u'\n');
        if (!text.isEmpty() && !texts.contains(text))
            texts << text;
    }
    return texts;
}

// One paragraph a line, as the letter is laid out. The page header comes first and the footer
// last, as they stand on the page: a letterhead names the sender above the letter, a footer's
// bank and register lines close it (and are the first to go when the excerpt is cut).
QString wordText(const QByteArray &archive)
{
    const QStringList names = ZipEntry::names(archive);
    return (wordPartTexts(archive, ZipEntry::numbered(names, u"word/header")) +
            wordPartTexts(archive, {QStringLiteral("word/document.xml")}) +
            wordPartTexts(archive, ZipEntry::numbered(names, u"word/footer")))
        .join(u'\n');
}

QString excelText(const QByteArray &archive)
{
    XMLTextCollector collector(excelMarkup(), MaxCollectedUnits);
    if (const std::optional<QByteArray> strings =
            ZipEntry::read(archive, QStringLiteral("xl/sharedStrings.xml"), MaxPartBytes))
        collector.parse(*strings);
    // Some writers put cell texts into the sheets instead; a sheet without any is not parsed.
    for (const QString &member : ZipEntry::numbered(ZipEntry::names(archive), u"xl/worksheets/sheet")) {
        if (collector.isFull())
            break;
        const std::optional<QByteArray> sheet = ZipEntry::read(archive, member, MaxPartBytes);
        if (sheet && sheet->contains("inlineStr"))
            collector.parse(*sheet);
    }
    return collector.texts().join(u' ');
}

} // namespace

OfficeProcessor::OfficeProcessor()
    : ExtensionProcessor(wordNames() + excelNames() + presentationNames() +
                         QStringList{QStringLiteral("odt"), QStringLiteral("ods"), QStringLiteral("odp"),
                                     QStringLiteral("ott"), QStringLiteral("ots"), QStringLiteral("otp")})
{
}

ExtractionResult OfficeProcessor::extractFrom(const SourceFile &file) const
{
    const QString extension = lowerExtension(file.path());
    const QByteArray archive = file.bytes();
    QString text;
    if (wordNames().contains(extension)) {
        text = wordText(archive);
    } else if (excelNames().contains(extension)) {
        text = excelText(archive);
    } else if (presentationNames().contains(extension)) {
        text = PresentationPackage::text(archive, MaxCollectedUnits);
    } else if (canProcess(file.path())) { // the OpenDocument formats and their templates
        if (const std::optional<QByteArray> content =
                ZipEntry::read(archive, QStringLiteral("content.xml"), MaxPartBytes))
            text = XMLTextCollector::joinedText(*content, openDocumentMarkup(), MaxCollectedUnits);
    }
    return FileContext::make(file, UnicodeText::leftGraphemes(text, TextLimits::Document),
                             {{QStringLiteral("source"), extension}});
}
