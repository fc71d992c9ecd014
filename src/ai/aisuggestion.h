#pragma once

#include "ai/local/localnamer.h"
#include "naming/aiextraction.h"
#include "privacy/privacyfilter.h"

#include <QString>

#include <optional>

/**
 * What a provider hands back for one file: the extracted fields or, when the reply held no
 * usable JSON object, a ready-made fallback file name. The two constructors keep the
 * invariants: with an extraction the name is empty and the confidence is the extraction's;
 * without one the confidence is 0.3.
 */
class AISuggestion final
{
public:
    static constexpr double FallbackConfidence = 0.3;

    [[nodiscard]] static AISuggestion fromExtraction(const AIExtraction &extraction);
    [[nodiscard]] static AISuggestion fromFallbackName(const QString &name);
    /** The on-device namer's fields, with where each came from. */
    [[nodiscard]] static AISuggestion fromLocal(const LocalNaming &naming);

    /** Complete fallback file name with extension; empty whenever extraction() is present. */
    [[nodiscard]] const QString &name() const { return m_name; }
    [[nodiscard]] double confidence() const { return m_confidence; }
    [[nodiscard]] const std::optional<AIExtraction> &extraction() const { return m_extraction; }
    /** The model's reply text this suggestion was read from; empty when not recorded. */
    [[nodiscard]] const QString &reply() const { return m_reply; }
    [[nodiscard]] AISuggestion withReply(const QString &reply) const;
    /** What the prompt carried from the file, when personal data was masked in it; nullopt when sent as it is. */
    [[nodiscard]] const std::optional<Privacy::MaskedPrompt> &masked() const { return m_masked; }
    [[nodiscard]] AISuggestion withMasked(const std::optional<Privacy::MaskedPrompt> &masked) const;

    /** Where each filled field came from; a field not listed came from the model. */
    [[nodiscard]] const QHash<QString, FieldSource> &sources() const { return m_sources; }
    [[nodiscard]] FieldSource source(const QString &field) const { return m_sources.value(field, FieldSource::model); }
    /**
     * The suggestion with the e-invoice's fields in place of the model's (they are the file's own
     * data); unchanged without an extraction.
     */
    [[nodiscard]] AISuggestion withFieldsFrom(const LocalNaming &invoice) const;

    friend bool operator==(const AISuggestion &, const AISuggestion &) = default;

private:
    AISuggestion() = default;

    QString m_name;
    double m_confidence = FallbackConfidence;
    std::optional<AIExtraction> m_extraction;
    QString m_reply;
    std::optional<Privacy::MaskedPrompt> m_masked;
    QHash<QString, FieldSource> m_sources;
};
