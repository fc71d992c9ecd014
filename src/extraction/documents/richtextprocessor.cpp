#include "richtextprocessor.h"

RichTextProcessor::RichTextProcessor()
    : ExtensionProcessor({QStringLiteral("rtf"), QStringLiteral("rtfd")})
{
}

ExtractionResult RichTextProcessor::extract(const QString &path) const
{
    // Not yet implemented: the file is described by its attributes only.
    return FileContext::make(path, QString(), MetadataMap());
}
