#include "xmlprocessor.h"

#include "common/unicodetext.h"
#include "extraction/documents/einvoicereader.h"
#include "extraction/genericprocessor.h"

XMLProcessor::XMLProcessor()
    : ExtensionProcessor({QStringLiteral("xml")})
{
}

ExtractionResult XMLProcessor::extractFrom(const SourceFile &file) const
{
    ExtractionResult context = GenericProcessor().extractFrom(file);
    if (!context || file.size() > EInvoiceReader::MaxBytes)
        return context;
    // The reader stops at the root element of anything that is no invoice. Each grapheme is at
    // least one UTF-16 unit, so twice the limit leaves room for the summary before the text.
    EInvoiceReader::Reading reading;
    if (EInvoiceReader::read(file.bytes(), reading, 2 * TextLimits::Document) != EInvoiceReader::Status::invoice)
        return context;
    const QString text = EInvoiceReader::summary(reading.invoice) + QStringLiteral("\n\n") + reading.text;
    context->extractedText = UnicodeText::leftGraphemes(text, TextLimits::Document);
    context->metadata.set(MetadataMap::SourceKey, InvoiceSource);
    context->invoice = std::move(reading.invoice);
    return context;
}
