#include "emailprocessor.h"

#include "extraction/documents/emailexcerpt.h"
#include "extraction/genericprocessor.h"

EmailProcessor::EmailProcessor()
    : ExtensionProcessor({QStringLiteral("eml")})
{
}

ExtractionResult EmailProcessor::extractFrom(const SourceFile &file) const
{
    // A message that is unreadable or not UTF-8 gives nothing, not even "source".
    const std::optional<QString> message = GenericProcessor::readTextPrefix(file);
    if (!message)
        return FileContext::make(file, QString(), MetadataMap());
    const EmailExcerpt excerpt = EmailExcerpt::fromMessage(*message);
    return FileContext::make(file, excerpt.text, excerpt.metadata);
}
