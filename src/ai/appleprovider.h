#pragma once

#include "ai/aiprovider.h"

/**
 * The on-device model of another platform, offered for completeness. It exists nowhere on
 * Linux, so every call fails at once without contacting anything.
 */
class AppleMLProvider final : public AIProvider
{
public:
    [[nodiscard]] QCoro::Task<SuggestionResult> suggest(FileContext context,
                                                        std::optional<QString> nameTemplate) override;
};
