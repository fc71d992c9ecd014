#include "emailprocessor.h"

#include "extraction/documents/mailreader.h"

namespace {

// Beyond this only attachments follow; a truncated message still parses.
constexpr qsizetype MaxMessageBytes = 64 * 1024 * 1024;

} // namespace

EmailProcessor::EmailProcessor()
    : ExtensionProcessor({QStringLiteral("eml"), QStringLiteral("mbox")})
{
}

ExtractionResult EmailProcessor::extractFrom(const SourceFile &file) const
{
    // An unreadable message gives nothing, not even "source".
    if (!file.isOpen())
        return FileContext::make(file, QString(), MetadataMap());
    const QByteArray bytes = file.bytes();
    const MailReader::Mail mail =
        MailReader::read(QByteArrayView(bytes).first(std::min(bytes.size(), MaxMessageBytes)));
    return FileContext::make(file, mail.text, mail.metadata);
}
