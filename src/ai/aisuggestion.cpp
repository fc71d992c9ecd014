#include "aisuggestion.h"

AISuggestion AISuggestion::fromExtraction(const AIExtraction &extraction)
{
    AISuggestion suggestion;
    suggestion.m_confidence = extraction.confidence;
    suggestion.m_extraction = extraction;
    return suggestion;
}

AISuggestion AISuggestion::fromFallbackName(const QString &name)
{
    AISuggestion suggestion;
    suggestion.m_name = name;
    return suggestion;
}

AISuggestion AISuggestion::withReply(const QString &reply) const
{
    AISuggestion suggestion = *this;
    suggestion.m_reply = reply;
    return suggestion;
}

AISuggestion AISuggestion::withMasked(const std::optional<Privacy::MaskedPrompt> &masked) const
{
    AISuggestion suggestion = *this;
    suggestion.m_masked = masked;
    return suggestion;
}

AISuggestion AISuggestion::fromLocal(const LocalNaming &naming)
{
    AISuggestion suggestion = fromExtraction(naming.extraction);
    suggestion.m_sources = naming.sources;
    return suggestion;
}

AISuggestion AISuggestion::withFieldsFrom(const LocalNaming &invoice) const
{
    if (!m_extraction)
        return *this;
    AISuggestion suggestion = *this;
    AIExtraction &fields = *suggestion.m_extraction;
    const auto take = [&](const QString &field, auto member) {
        if (invoice.sources.value(field) != FieldSource::einvoice || !(invoice.extraction.*member))
            return;
        fields.*member = invoice.extraction.*member;
        suggestion.m_sources.insert(field, FieldSource::einvoice);
    };
    take(QStringLiteral("datum"), &AIExtraction::datum);
    take(QStringLiteral("absender"), &AIExtraction::absender);
    take(QStringLiteral("betrag"), &AIExtraction::betrag);
    return suggestion;
}
