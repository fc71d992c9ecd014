#pragma once

#include "ai/httpprovider.h"

/** OpenAI's chat completions API. */
class OpenAIProvider final : public HTTPProvider
{
public:
    explicit OpenAIProvider(ProviderEnvironment environment);

    [[nodiscard]] Request buildRequest(const Prompt &prompt) const override;

protected:
    [[nodiscard]] std::optional<QString> replyText(const QJsonObject &reply) const override;
    [[nodiscard]] std::pair<QStringList, QStringList> tokenPaths() const override
    {
        return {{QStringLiteral("usage"), QStringLiteral("prompt_tokens")},
                {QStringLiteral("usage"), QStringLiteral("completion_tokens")}};
    }
    [[nodiscard]] QString serviceName() const override { return QStringLiteral("OpenAI"); }
};
