#include "officeprocessor.h"

OfficeProcessor::OfficeProcessor()
    : ExtensionProcessor({QStringLiteral("docx"), QStringLiteral("xlsx")})
{
}

ExtractionResult OfficeProcessor::extract(const QString &path) const
{
    // Not yet implemented: the file is described by its attributes only.
    return FileContext::make(path, QString(), MetadataMap());
}
