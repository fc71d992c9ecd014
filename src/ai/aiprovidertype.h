#pragma once

#include "common/rawenum.h"

/**
 * The providers that find a file's fields, in the order pickers and the REST API list them: the
 * on-device namer first (it needs nothing), then the language-model services.
 */
enum class AIProviderType { local, claude, openai, gemini, ollama, apple };

template <> struct RawEnumTraits<AIProviderType> {
    static constexpr RawEnumTable<AIProviderType, 6> cases{{
        {AIProviderType::local, "Lokal"},
        {AIProviderType::claude, "Claude"},
        {AIProviderType::openai, "OpenAI"},
        {AIProviderType::gemini, "Gemini"},
        {AIProviderType::ollama, "Ollama"},
        {AIProviderType::apple, "Apple"},
    }};
};
