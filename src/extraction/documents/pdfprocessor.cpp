#include "pdfprocessor.h"

PDFProcessor::PDFProcessor()
    : ExtensionProcessor({QStringLiteral("pdf")})
{
}

ExtractionResult PDFProcessor::extract(const QString &path) const
{
    // Not yet implemented: the file is described by its attributes only.
    return FileContext::make(path, QString(), MetadataMap());
}
