#pragma once

#include "ai/httpprovider.h"

/** Anthropic's messages API. The endpoint is used as given, a trailing "/" included. */
class ClaudeProvider final : public HTTPProvider
{
public:
    explicit ClaudeProvider(ProviderEnvironment environment);

    [[nodiscard]] Request buildRequest(const Prompt &prompt) const override;

protected:
    [[nodiscard]] std::optional<QString> replyText(const QJsonObject &reply) const override;
    [[nodiscard]] std::pair<QStringList, QStringList> tokenPaths() const override
    {
        return {{QStringLiteral("usage"), QStringLiteral("input_tokens")},
                {QStringLiteral("usage"), QStringLiteral("output_tokens")}};
    }
    [[nodiscard]] QString serviceName() const override { return QStringLiteral("Claude"); }
};
