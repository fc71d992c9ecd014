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

AISuggestion AISuggestion::withMasked(const std::optional<Privacy::MaskResult> &masked) const
{
    AISuggestion suggestion = *this;
    suggestion.m_masked = masked;
    return suggestion;
}
