#pragma once

#include "extraction/einvoice.h"
#include "extraction/metadatamap.h"

#include <QDateTime>
#include <QString>
#include <QUrl>

#include <optional>

class SourceFile;

/** Text limits in grapheme clusters, applied by the processors at the source. */
namespace TextLimits {
inline constexpr qsizetype Document = 4000;  ///< documents, the generic path, the companion shortcut
inline constexpr qsizetype ImageText = 2000; ///< text recognised in a picture
} // namespace TextLimits

/**
 * The extracted content of one file: name, extension, size and dates, a bounded excerpt of its
 * readable text, and processor-specific metadata ("source" names what produced the text).
 */
struct FileContext {
    /** The source of a recording: its text is our summary of its tags, not text of the file's own. */
    static inline const QString MediaSource = QStringLiteral("avfoundation");

    QUrl url;                              ///< the file as handed in (a local file URL)
    QString fileName;                      ///< last path component, extension included ("Scan 12.PDF")
    QString fileExtension;                 ///< lower-cased, without the dot; empty when there is none
    qint64 fileSize = 0;                   ///< bytes; 0 when the attributes cannot be read
    std::optional<QDateTime> creationDate; ///< birth time, where the file system keeps one
    std::optional<QDateTime> modificationDate;
    QString extractedText; ///< already cut by the processor; may be empty
    MetadataMap metadata;
    std::optional<EInvoice> invoice; ///< the invoice data the file carries, when it is an e-invoice

    /**
     * The one way every processor builds its result: name and extension from `path`, size and
     * dates from the file system. Never fails: unreadable attributes give 0 and no dates.
     */
    [[nodiscard]] static FileContext make(const QString &path, const QString &extractedText,
                                          const MetadataMap &metadata);
    /** The same for an open file: size and dates through its descriptor, the path only named. */
    [[nodiscard]] static FileContext make(const SourceFile &file, const QString &extractedText,
                                          const MetadataMap &metadata);

    [[nodiscard]] QString path() const { return url.toLocalFile(); }
    [[nodiscard]] bool isMediaSummary() const { return metadata.value(MetadataMap::SourceKey) == MediaSource; }
};

/** Lower-cased extension of a path as the processor table compares it ("report.PDF" → "pdf"). */
[[nodiscard]] QString lowerExtension(const QString &path);
