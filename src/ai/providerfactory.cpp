#include "providerfactory.h"

#include "ai/aisettings.h"
#include "ai/appleprovider.h"
#include "ai/claudeprovider.h"
#include "ai/geminiprovider.h"
#include "ai/localprovider.h"
#include "ai/ollamaprovider.h"
#include "ai/openaiprovider.h"

std::unique_ptr<AIProvider> makeProvider(std::optional<AIProviderType> type, ProviderEnvironment environment)
{
    switch (type.value_or(environment.settings.provider())) {
    case AIProviderType::local:
        return std::make_unique<LocalProvider>(environment.rules);
    case AIProviderType::claude:
        return std::make_unique<ClaudeProvider>(environment);
    case AIProviderType::openai:
        return std::make_unique<OpenAIProvider>(environment);
    case AIProviderType::gemini:
        return std::make_unique<GeminiProvider>(environment);
    case AIProviderType::ollama:
        return std::make_unique<OllamaProvider>(environment);
    case AIProviderType::apple:
        break;
    }
    return std::make_unique<AppleMLProvider>();
}
