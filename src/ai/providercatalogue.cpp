#include "providercatalogue.h"

#include "common/stringtable.h"

#include <array>

namespace {

const std::array<ProviderFacts, 6> &table()
{
    static const std::array<ProviderFacts, 6> facts{{
        {AIProviderType::local, StringTable::text("provider.local.name"), false, false, true, true, true, {}, {}},
        {AIProviderType::claude, QStringLiteral("Claude"), true, true, false, true, true,
         QStringLiteral("claude-sonnet-4-20250514"), QStringLiteral("https://api.anthropic.com")},
        {AIProviderType::openai, QStringLiteral("OpenAI"), true, true, false, true, true, QStringLiteral("gpt-4o"),
         QStringLiteral("https://api.openai.com")},
        {AIProviderType::gemini, QStringLiteral("Gemini"), true, true, false, true, true,
         QStringLiteral("gemini-2.0-flash"), QStringLiteral("https://generativelanguage.googleapis.com")},
        {AIProviderType::ollama, QStringLiteral("Ollama"), false, false, false, true, true, QStringLiteral("llama3.2"),
         QStringLiteral("http://127.0.0.1:11434")},
        // The other platform's on-device model: it runs nowhere here, so nothing about it is "here".
        {AIProviderType::apple, QStringLiteral("Apple"), false, false, false, false, false,
         QStringLiteral("apple-on-device"), QString()},
    }};
    return facts;
}

} // namespace

const ProviderFacts &ProviderCatalogue::facts(AIProviderType type)
{
    for (const ProviderFacts &facts : table()) {
        if (facts.type == type)
            return facts;
    }
    Q_UNREACHABLE();
    return table().front();
}

QList<AIProviderType> ProviderCatalogue::offered()
{
    QList<AIProviderType> offered;
    for (const ProviderFacts &facts : table()) {
        if (facts.offered)
            offered << facts.type;
    }
    return offered;
}
