#include "pdfprocessor.h"

#include "common/unicodetext.h"
#include "extraction/documents/einvoicereader.h"
#include "extraction/documents/pdfpagetext.h"
#include "extraction/textrecognizer.h"

#include <QImage>
#include <QRegularExpression>

#include <poppler-qt6.h>

#include <cmath>

namespace {

constexpr int MaxTextPages = 10;
// Below this many characters (trimmed) the text layer is too thin and page 1 is recognised.
constexpr qsizetype MinTextLayerLength = 50;
// The resolution the recognition models are trained on; larger pages are rendered at a lower
// one, so that the longer edge stays within what the recogniser takes.
constexpr double RecognitionDpi = 300.0;

std::unique_ptr<Poppler::Document> openDocument(const QByteArray &bytes)
{
    // Damaged files are normal input here; Poppler's complaints about them are noise.
    static const bool quiet = [] {
        Poppler::setDebugErrorFunction([](const QString &, const QVariant &) {}, QVariant());
        return true;
    }();
    Q_UNUSED(quiet);
    if (bytes.isEmpty())
        return nullptr;
    std::unique_ptr<Poppler::Document> document = Poppler::Document::loadFromData(bytes);
    if (!document || document->isLocked())
        return nullptr;
    return document;
}

// Poppler's words carry their reading-order neighbours; its plain page text pads the physical
// layout with spaces and interleaves columns line by line.
QString pageText(const Poppler::Page &page)
{
    const std::vector<std::unique_ptr<Poppler::TextBox>> boxes = page.textList();
    std::vector<PDFPageText::Word> words;
    words.reserve(boxes.size());
    for (const std::unique_ptr<Poppler::TextBox> &box : boxes)
        words.push_back({box->text(), box->hasSpaceAfter(), box->nextWord() == nullptr});
    return PDFPageText::compose(words);
}

QString pdfText(Poppler::Document &document)
{
    QString text;
    const int pages = std::min(document.numPages(), MaxTextPages);
    for (int i = 0; i < pages; ++i) {
        const std::unique_ptr<Poppler::Page> page = document.page(i);
        if (!page)
            continue;
        const QString content = pageText(*page);
        if (content.isEmpty())
            continue;
        text += content;
        text += u'\n';
    }
    return text;
}

QString ocrFallback(Poppler::Document &document)
{
    const std::unique_ptr<Poppler::Page> page = document.page(0);
    if (!page)
        return {};
    const QSizeF points = page->pageSizeF();
    if (!(points.width() > 0 && points.height() > 0))
        return {};
    const double longEdge = std::max(points.width(), points.height());
    const double dpi = std::min(RecognitionDpi, TextRecognizer::MaxLongEdge * 72.0 / longEdge);
    document.setPaperColor(Qt::white);
    document.setRenderHint(Poppler::Document::Antialiasing);
    document.setRenderHint(Poppler::Document::TextAntialiasing);
    QImage rendered = page->renderToImage(dpi, dpi);
    // The recogniser reads a picture at the resolution it states.
    rendered.setDotsPerMeterX(int(std::lround(dpi / 0.0254)));
    rendered.setDotsPerMeterY(int(std::lround(dpi / 0.0254)));
    return TextRecognizer::recognize(rendered);
}

// How hybrid-invoice standards name their XML, compared lower-cased: Factur-X and ZUGFeRD 2.1 on,
// ZUGFeRD 2.0 and 1.0 ("ZUGFeRD-invoice.xml"), the XRechnung profile of ZUGFeRD. Any other XML
// attachment is tried after these, in case its root is an invoice.
const QStringList &invoiceAttachmentNames()
{
    static const QStringList names{QStringLiteral("factur-x.xml"), QStringLiteral("zugferd-invoice.xml"),
                                   QStringLiteral("xrechnung.xml")};
    return names;
}

// A PDF can carry any number of attachments; only this many are looked at.
constexpr qsizetype MaxAttachmentsTried = 16;

std::optional<EInvoice> embeddedInvoice(const Poppler::Document &document)
{
    if (!document.hasEmbeddedFiles())
        return std::nullopt;
    QList<std::pair<qsizetype, Poppler::EmbeddedFile *>> candidates; // rank, file
    for (Poppler::EmbeddedFile *file : document.embeddedFiles()) {
        if (!file || !file->isValid())
            continue;
        const QString name = file->name().toLower();
        const qsizetype known = invoiceAttachmentNames().indexOf(name);
        if (known >= 0 || name.endsWith(u".xml"))
            candidates.append({known >= 0 ? known : invoiceAttachmentNames().size(), file});
    }
    std::ranges::stable_sort(candidates, {}, &std::pair<qsizetype, Poppler::EmbeddedFile *>::first);
    candidates.resize(std::min(candidates.size(), MaxAttachmentsTried));
    for (const auto &[rank, file] : candidates) {
        // The stated size is checked before the stream is inflated; a stream that lies about it
        // is held by the helper's memory limit.
        if (file->size() > EInvoiceReader::MaxBytes)
            continue;
        EInvoiceReader::Reading reading;
        if (EInvoiceReader::read(file->data(), reading) != EInvoiceReader::Status::invoice)
            continue;
        reading.invoice.attachmentName = file->name();
        return reading.invoice;
    }
    return std::nullopt;
}

qsizetype lettersAndDigits(QStringView word)
{
    return std::count_if(word.cbegin(), word.cend(), [](QChar c) { return c.isLetterOrNumber(); });
}

// The letters and digits of the recognised words that the text layer does not hold. What
// recognition adds around a layer's words is edges and marks ("< minimal )" over "minimal") or
// the same words misread; only words of a scan under a thin layer (a stamp, a page number) count.
qsizetype lettersBeyondLayer(const QString &recognized, const QString &layer)
{
    const QString known = layer.toCaseFolded();
    qsizetype beyond = 0;
    static const QRegularExpression space(QStringLiteral("\\s+"));
    for (const QString &token : recognized.split(space, Qt::SkipEmptyParts)) {
        const qsizetype count = lettersAndDigits(token);
        if (count < 2)
            continue;
        qsizetype first = 0, last = token.size();
        while (!token[first].isLetterOrNumber())
            ++first;
        while (!token[last - 1].isLetterOrNumber())
            --last;
        if (!known.contains(QStringView(token).sliced(first, last - first).toString().toCaseFolded()))
            beyond += count;
    }
    return beyond;
}

FileContext textLayerContext(const SourceFile &file, Poppler::Document &document)
{
    const MetadataMap fromTextLayer{{QStringLiteral("source"), QStringLiteral("pdfkit")}};
    const QString text = pdfText(document);
    if (UnicodeText::graphemeCount(text.trimmed()) >= MinTextLayerLength)
        return FileContext::make(file, UnicodeText::leftGraphemes(text, TextLimits::Document), fromTextLayer);

    // Perhaps a scan: recognition wins only when its words beyond the layer's outweigh the layer.
    const QString recognized = ocrFallback(document);
    if (lettersBeyondLayer(recognized, text) > lettersAndDigits(text))
        return FileContext::make(file, UnicodeText::leftGraphemes(recognized, TextLimits::Document),
                                 {{QStringLiteral("source"), QStringLiteral("ocr")}});
    return FileContext::make(file, UnicodeText::leftGraphemes(text, TextLimits::Document), fromTextLayer);
}

} // namespace

PDFProcessor::PDFProcessor()
    : ExtensionProcessor({QStringLiteral("pdf")})
{
}

ExtractionResult PDFProcessor::extractFrom(const SourceFile &file) const
{
    // Poppler reads the mapped file in place; the mapping outlives the document.
    const std::unique_ptr<Poppler::Document> document = openDocument(file.bytes());
    if (!document)
        return FileContext::make(file, QString(), {{QStringLiteral("source"), QStringLiteral("pdfkit")}});
    FileContext context = textLayerContext(file, *document);
    context.invoice = embeddedInvoice(*document);
    return context;
}
