#include "binaryofficeprocessor.h"

#include "common/unicodetext.h"
#include "extraction/documents/binaryoffice.h"
#include "extraction/documents/htmlcharset.h"
#include "extraction/documents/htmlprocessor.h"
#include "extraction/documents/rtfreader.h"
#include "extraction/documents/xmltextcollector.h"
#include "extraction/genericprocessor.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-utils.h>

#include <memory>

namespace {

// Real streams stay well below this; a size the container claims is not trusted beyond it.
constexpr gsf_off_t MaxStreamBytes = 64 * 1024 * 1024;
// Enough UTF-16 units for the excerpt's grapheme clusters.
constexpr qsizetype MaxReadUnits = 64 * 1024;

struct ObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T> using Owned = std::unique_ptr<T, ObjectUnref>;

// The compound file is parsed from the mapped bytes: no file is opened, which the helper's lock would refuse.
Owned<GsfInfile> openCompoundFile(const QByteArray &bytes)
{
    static const bool initialised = (gsf_init(), true);
    Q_UNUSED(initialised);
    if (bytes.isEmpty())
        return nullptr;
    const Owned<GsfInput> input(
        gsf_input_memory_new(reinterpret_cast<const guint8 *>(bytes.constData()), bytes.size(), false));
    return Owned<GsfInfile>(input ? gsf_infile_msole_new(input.get(), nullptr) : nullptr);
}

// The stream `name` at the top of the compound file; empty when missing or unreadable.
QByteArray stream(GsfInfile *file, const char *name)
{
    const Owned<GsfInput> child(gsf_infile_child_by_name(file, name));
    if (!child)
        return {};
    const gsf_off_t size = std::min(gsf_input_size(child.get()), MaxStreamBytes);
    QByteArray bytes(qsizetype(std::max<gsf_off_t>(size, 0)), Qt::Uninitialized);
    if (bytes.isEmpty() || !gsf_input_read(child.get(), size, reinterpret_cast<guint8 *>(bytes.data())))
        return {};
    return bytes;
}

// Office 2003's XML formats ("XML-Kalkulationstabelle", "Word 2003 XML") under the old names.
bool isOfficeXml(QByteArrayView bytes)
{
    const QByteArrayView start = bytes.first(std::min<qsizetype>(bytes.size(), 4096));
    return start.trimmed().startsWith("<?xml") && (start.contains("urn:schemas-microsoft-com:office:spreadsheet") ||
                                                   start.contains("schemas.microsoft.com/office/word/2003/wordml"));
}

const XMLTextMarkup &officeXmlMarkup()
{
    static const XMLTextMarkup markup{{QStringLiteral("Data"), QStringLiteral("ss:Data"), QStringLiteral("w:t")},
                                      {QStringLiteral("Cell"), QStringLiteral("ss:Cell"), QStringLiteral("w:p")},
                                      {QStringLiteral("w:tab"), QStringLiteral("w:br")}};
    return markup;
}

// A file under these names that is no compound file. Web applications and banks export tables as
// HTML or Office 2003 XML under ".xls"; Graphviz graphs (.dot) and gettext templates (.pot) are
// plain text, and so are letters saved as ".doc" by old editors, in their Windows code page.
QString textOfAnotherFormat(const SourceFile &file, const QByteArray &bytes)
{
    const QByteArray start = bytes.left(GenericProcessor::MaxTextBytes);
    // Before HTML: a spreadsheet's "<Table>" is no HTML table.
    if (isOfficeXml(bytes))
        return XMLTextCollector::joinedText(start, officeXmlMarkup(), MaxReadUnits);
    if (HTMLProcessor::looksLikeHtml(bytes))
        return HTMLProcessor::page(start, start.size() == bytes.size()).text;
    if (std::optional<QString> text = GenericProcessor::readTextPrefix(file))
        return *std::move(text);
    return HTMLCharset::decodeUndeclared(start, start.size() == bytes.size());
}

} // namespace

BinaryOfficeProcessor::BinaryOfficeProcessor()
    : ExtensionProcessor({QStringLiteral("doc"), QStringLiteral("dot"), QStringLiteral("xls"), QStringLiteral("xlt"),
                          QStringLiteral("ppt"), QStringLiteral("pps"), QStringLiteral("pot")})
{
}

ExtractionResult BinaryOfficeProcessor::extractFrom(const SourceFile &file) const
{
    const QString extension = lowerExtension(file.path());
    const QByteArray bytes = file.bytes();
    QString text;
    const bool word = extension == u"doc" || extension == u"dot";
    if (word)
        text = RTFReader::plainText(bytes, MaxReadUnits);
    const Owned<GsfInfile> compound = text.isEmpty() ? openCompoundFile(bytes) : nullptr;
    if (compound && word) {
        text = BinaryOffice::wordText(stream(compound.get(), "WordDocument"), stream(compound.get(), "0Table"),
                                      stream(compound.get(), "1Table"), MaxReadUnits);
    } else if (compound && (extension == u"xls" || extension == u"xlt")) {
        QByteArray workbook = stream(compound.get(), "Workbook");
        if (workbook.isEmpty())
            workbook = stream(compound.get(), "Book"); // Excel 5 and 95
        text = BinaryOffice::workbookText(workbook, MaxReadUnits);
    } else if (compound) {
        text = BinaryOffice::presentationText(stream(compound.get(), "PowerPoint Document"),
                                              stream(compound.get(), "Current User"), MaxReadUnits);
    }
    if (text.isEmpty() && !compound)
        text = textOfAnotherFormat(file, bytes);
    return FileContext::make(file, UnicodeText::leftGraphemes(text, TextLimits::Document),
                             {{QStringLiteral("source"), extension}});
}
