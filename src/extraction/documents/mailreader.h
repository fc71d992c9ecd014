#pragma once

#include "extraction/metadatamap.h"

#include <QByteArrayView>
#include <QString>

/**
 * An e-mail message read as a mail program shows it, through GMime: headers with their encoded
 * words decoded (any charset; raw 8-bit headers as UTF-8, else Windows-1252), the body from the
 * text/plain parts or, where an alternative has none with text, from its text/html part through
 * the HTML reader, transfer encodings and charsets undone, flowed paragraphs rejoined. The new
 * text comes first; quoted replies (lines starting with ">" and their "… schrieb:" line, an
 * Outlook-style original below the reply) and signatures ("-- ") follow it. A forwarded
 * message stays where it is: it is what the mail is about. Attachments are listed by name and
 * type; their content is never read. An mbox file gives its first message.
 */
namespace MailReader {

struct Mail {
    /** The header lines (formatMetadata), a blank line, then the body; cut to 4000 characters. */
    QString text;
    /** "source" = "eml", then "subject", "from", "to", "date" and "attachments" when present. */
    MetadataMap metadata;
};

/** At most this many attachments are named; the rest are counted ("und 3 weitere"). */
inline constexpr int MaxListedAttachments = 20;

/** Reads `message`, a whole message file; anything readable gives at least "source". */
[[nodiscard]] Mail read(QByteArrayView message);

} // namespace MailReader
