#include "extraction/documents/einvoicereader.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    constexpr qsizetype MaxText = 4096;
    const QByteArray xml(reinterpret_cast<const char *>(data), qsizetype(size));
    EInvoiceReader::Reading reading;
    const EInvoiceReader::Status status = EInvoiceReader::read(xml, reading, MaxText);
    if (status != EInvoiceReader::Status::invoice)
        return 0;
    // Text and fields stay bounded whatever the input (fields: 200 grapheme clusters, each a few units at most).
    const EInvoice &invoice = reading.invoice;
    if (reading.text.size() > MaxText || invoice.number.size() > 200 * 16 || invoice.sellerName.size() > 200 * 16)
        std::abort();
    // A truncated document never gives an invoice.
    EInvoiceReader::Reading cut;
    if (xml.size() > 1 && EInvoiceReader::read(xml.left(xml.lastIndexOf('>')), cut) == EInvoiceReader::Status::invoice)
        std::abort();
    (void)EInvoiceReader::summary(invoice);
    return 0;
}
