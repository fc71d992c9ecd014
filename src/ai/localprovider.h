#pragma once

#include "ai/aiprovider.h"

class RenameRules;

/**
 * The on-device namer as a provider: answers at once from the file's own content, sends nothing
 * anywhere and needs no key. The engine names with it directly (with what the user taught it);
 * this client serves every caller that asks a provider by its type.
 */
class LocalProvider final : public AIProvider
{
public:
    explicit LocalProvider(RenameRules &rules);

    [[nodiscard]] QCoro::Task<SuggestionResult> suggest(FileContext context,
                                                        std::optional<QString> nameTemplate) override;

private:
    RenameRules &m_rules;
};
