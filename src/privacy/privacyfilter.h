#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

/**
 * Masks personal identifiers in a text before it leaves the machine, and says what it masked.
 * Pure functions: no state, safe on any thread.
 */
namespace Privacy {

enum class Kind { Iban, CardNumber, TaxId, SocialInsurance, Email, Phone, Name, Address };

struct MaskOptions {
    /**
     * The user's own names and address lines, matched case-insensitively as whole words with any
     * white space or commas between the words. An entry with a digit or a street word (…straße,
     * …weg, …platz, Street, Road, …) is an address, any other a name.
     */
    QStringList ownDetails;
};

/** One masked identifier: where it stood in the original and where its placeholder stands. */
struct MaskedSpan {
    Kind kind = Kind::Name;
    qsizetype start = 0; ///< in the original text
    qsizetype length = 0;
    qsizetype maskedStart = 0; ///< of the placeholder in the masked text
    QString placeholder;

    friend bool operator==(const MaskedSpan &, const MaskedSpan &) = default;
};

struct MaskResult {
    QString text;
    QList<MaskedSpan> spans; ///< in text order, never overlapping
    [[nodiscard]] qsizetype count(Kind kind) const;

    friend bool operator==(const MaskResult &, const MaskResult &) = default;
};

/**
 * Where the stretch of the original at `start` with `length` stands in the masked text; nullopt
 * when it overlaps a masked span, which the masked text does not hold.
 */
[[nodiscard]] std::optional<qsizetype> maskedPosition(const QList<MaskedSpan> &spans, qsizetype start,
                                                      qsizetype length);

/** The typed placeholder that stands for `kind` in a masked text, e.g. "[IBAN]". */
[[nodiscard]] QString placeholder(Kind kind);

/**
 * `text` with IBANs, card numbers, German tax IDs and social insurance numbers (each only with
 * valid check digits), e-mail addresses, phone numbers and the user's own details replaced by
 * their placeholders. Dates, amounts and other reference numbers stay as they are.
 */
[[nodiscard]] MaskResult mask(const QString &text, const MaskOptions &options = {});

/** `mask` for a file name, whose underscores stand for spaces ("Erika_Mustermann_030_1234567.pdf"). */
[[nodiscard]] MaskResult maskFileName(const QString &name, const MaskOptions &options = {});

/**
 * What one request carries from a file, each part as it was sent and what was masked in it: one
 * record for the prompt, the reply's explanation and the explain endpoint.
 */
struct MaskedPrompt {
    MaskResult fileName;
    MaskResult metadata; ///< the "Metadaten" line, without its label
    MaskResult excerpt;
    std::optional<MaskResult> nameTemplate;

    /** Every masked span, part by part in the order they are sent. */
    [[nodiscard]] QList<MaskedSpan> spans() const;

    friend bool operator==(const MaskedPrompt &, const MaskedPrompt &) = default;
};

} // namespace Privacy
