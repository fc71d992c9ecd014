#pragma once

#include "naming/aiextraction.h"
#include "privacy/privacyfilter.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace Grounding {

enum class Status { verified, unverified, notCheckable };

/** One field of a reply measured against the file's text. */
struct FieldCheck {
    QString field; ///< the reply key: "datum", "betrag", "absender", "kategorie"; "name" for a fallback name
    Status status = Status::notCheckable;
    QString reason;          ///< German; set when unverified
    QString passage;         ///< the supporting text as found; empty when none
    qsizetype position = -1; ///< where `passage` starts in the checked text; -1 when unknown

    friend bool operator==(const FieldCheck &, const FieldCheck &) = default;
};

/**
 * What a reply's fields are checked against: what the prompt carried from the file. A picture or
 * recording without text of its own has only its capture date.
 */
struct Evidence {
    QString text = {}; ///< the excerpt, a line feed and the metadata line; empty when the file gave no text of its own
    std::optional<QDate> captureDate = std::nullopt; ///< when the picture or recording was made, as its metadata says
    QString captureStamp = {};                       ///< that moment as the metadata writes it
};

/** Where a field of the reply stands in a file name. */
struct FieldSpan {
    QString field;
    qsizetype start = 0;
    qsizetype length = 0; ///< 0 for a field the user took out of the name: text typed there is that field again

    friend bool operator==(const FieldSpan &, const FieldSpan &) = default;
};

/** A stretch of a file name that comes from an unverified field. */
struct NameMark {
    qsizetype start = 0;
    qsizetype length = 0;
    QString reason; ///< German, the field's reason

    friend bool operator==(const NameMark &, const NameMark &) = default;
};

/** The result for one reply: one entry per field the reply filled. */
struct Report {
    QList<FieldCheck> fields;

    [[nodiscard]] QList<FieldCheck> unverified() const;
    [[nodiscard]] QStringList unverifiedFields() const;
};

/**
 * Why a name is what it is: what the prompt carried from the file, what came back, and how each
 * field fared. Kept in memory with the job only; documents may be private.
 */
struct Explanation {
    QString excerpt;      ///< the text excerpt, unmasked; empty when the file gave none
    QString metadataLine; ///< the "Metadaten" line as sent, without its label; empty when none
    std::optional<QString> nameTemplate;
    QString rawReply;                       ///< the model's reply text
    std::optional<AIExtraction> extraction; ///< the fields read from the reply; absent for a fallback name
    QString fileExtension;                  ///< as the name builder got it
    Evidence evidence;                      ///< what the fields were checked against
    /** One entry per field, for the values in `builtName`: as the model gave them, or as the user typed them. */
    Report report;
    QString builtName;      ///< the name as built, or as the user edited it; spans and marks hold for it only
    QList<FieldSpan> spans; ///< where the fields stand in `builtName`
    QList<NameMark> marks;  ///< where unverified fields show in `builtName`
    /// File name, metadata line, excerpt and template as sent when personal data was masked; absent when sent as it is.
    std::optional<Privacy::MaskedPrompt> masked;
    /// The reply was kept from an earlier analysis of the same content: nothing was sent this time.
    bool fromCache = false;
    /// Named on the device (the on-device namer or the file's e-invoice): nothing was sent anywhere.
    bool onDevice = false;
    /// The provider that named the file, as the history records it ("Lokal" when named on the device).
    QString namedBy;
    /// Where each field came from; a field not listed came from the model.
    QHash<QString, FieldSource> sources;
    /// What the document gives of its issuer: what a sender the user corrects is recognised by next time.
    QStringList senderIdentifiers;

    /** Where `field` came from: the model unless the namer or the e-invoice gave it. */
    [[nodiscard]] FieldSource source(const QString &field) const { return sources.value(field, FieldSource::model); }
    /** The value `field` ("datum", "kategorie", "beschreibung", "absender", "betrag") was given; none when empty. */
    [[nodiscard]] std::optional<QString> value(const QString &field) const
    {
        if (!extraction)
            return std::nullopt;
        const AIExtraction &e = *extraction;
        const std::optional<QString> found = field == u"datum"          ? e.datum
                                             : field == u"kategorie"    ? e.kategorie
                                             : field == u"absender"     ? e.absender
                                             : field == u"betrag"       ? e.betrag
                                             : field == u"beschreibung" ? std::optional<QString>(e.beschreibung)
                                                                        : std::nullopt;
        return found && !found->isEmpty() ? found : std::nullopt;
    }
};

} // namespace Grounding
