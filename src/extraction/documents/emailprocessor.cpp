#include "emailprocessor.h"

EmailProcessor::EmailProcessor()
    : ExtensionProcessor({QStringLiteral("eml")})
{
}

ExtractionResult EmailProcessor::extract(const QString &path) const
{
    // Not yet implemented: the file is described by its attributes only.
    return FileContext::make(path, QString(), MetadataMap());
}
