#pragma once

#include "common/rawenum.h"

/** The language-model providers, in the order pickers and the REST API list them. */
enum class AIProviderType { claude, openai, gemini, ollama, apple };

template <> struct RawEnumTraits<AIProviderType> {
    static constexpr RawEnumTable<AIProviderType, 5> cases{{
        {AIProviderType::claude, "Claude"},
        {AIProviderType::openai, "OpenAI"},
        {AIProviderType::gemini, "Gemini"},
        {AIProviderType::ollama, "Ollama"},
        {AIProviderType::apple, "Apple"},
    }};
};
