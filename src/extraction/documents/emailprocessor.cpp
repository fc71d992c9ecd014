#include "emailprocessor.h"

#include "extraction/documents/emailexcerpt.h"
#include "extraction/genericprocessor.h"

EmailProcessor::EmailProcessor()
    : ExtensionProcessor({QStringLiteral("eml")})
{
}

ExtractionResult EmailProcessor::extract(const QString &path) const
{
    // A message that is unreadable or not UTF-8 gives nothing, not even "source".
    const std::optional<QString> message = GenericProcessor::readTextPrefix(path);
    if (!message)
        return FileContext::make(path, QString(), MetadataMap());
    const EmailExcerpt excerpt = EmailExcerpt::fromMessage(*message);
    return FileContext::make(path, excerpt.text, excerpt.metadata);
}
