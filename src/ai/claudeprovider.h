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
    [[nodiscard]] QString serviceName() const override { return QStringLiteral("Claude"); }
};
