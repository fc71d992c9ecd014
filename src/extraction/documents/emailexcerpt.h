#pragma once

#include "extraction/metadatamap.h"

#include <QString>

/**
 * What an e-mail message file contributes to its context: the headers subject, from, to and
 * date (keys lower-cased, values as written; encoded words stay encoded) and the start of the
 * body without MIME boundaries and part headers, "Content-" lines, parts that are neither text
 * nor containers, attachments, and encoded blocks (long lines without a space, base64 runs).
 */
struct EmailExcerpt {
    /** The header lines found (formatMetadata), a blank line, then the trimmed body; cut to 4000 characters. */
    QString text;
    /** "source" = "eml" and the headers found. */
    MetadataMap metadata;

    /** Body lines are read until their text exceeds this many characters. */
    static constexpr qsizetype MaxBodyLength = 2000;

    [[nodiscard]] static EmailExcerpt fromMessage(const QString &message);
};
