#include "htmlprocessor.h"

HTMLProcessor::HTMLProcessor()
    : ExtensionProcessor({QStringLiteral("html"), QStringLiteral("htm"), QStringLiteral("xhtml")})
{
}

ExtractionResult HTMLProcessor::extract(const QString &path) const
{
    // Not yet implemented: the file is described by its attributes only.
    return FileContext::make(path, QString(), MetadataMap());
}
