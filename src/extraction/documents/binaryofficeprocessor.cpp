#include "binaryofficeprocessor.h"

#include "common/unicodetext.h"
#include "extraction/documents/binaryoffice.h"
#include "extraction/documents/htmlprocessor.h"
#include "extraction/documents/rtfreader.h"
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
    // Web applications export tables as HTML under ".xls" and ".doc"; Graphviz graphs (.dot) and
    // gettext templates (.pot) share these extensions as plain text.
    if (text.isEmpty() && !compound && HTMLProcessor::looksLikeHtml(bytes))
        text = HTMLProcessor::page(bytes.left(GenericProcessor::MaxTextBytes),
                                   bytes.size() <= GenericProcessor::MaxTextBytes)
                   .text;
    else if (text.isEmpty() && !compound)
        text = GenericProcessor::readTextPrefix(file).value_or(QString());
    return FileContext::make(file, UnicodeText::leftGraphemes(text, TextLimits::Document),
                             {{QStringLiteral("source"), extension}});
}
