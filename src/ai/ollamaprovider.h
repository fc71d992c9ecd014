#pragma once

#include "ai/httpprovider.h"

/** A local Ollama server's chat API; no key. */
class OllamaProvider final : public HTTPProvider
{
public:
    explicit OllamaProvider(ProviderEnvironment environment);

    [[nodiscard]] Request buildRequest(const Prompt &prompt) const override;

protected:
    [[nodiscard]] std::optional<QString> replyText(const QJsonObject &reply) const override;
    [[nodiscard]] std::pair<QStringList, QStringList> tokenPaths() const override
    {
        return {{QStringLiteral("prompt_eval_count")}, {QStringLiteral("eval_count")}};
    }
    [[nodiscard]] QString serviceName() const override { return QStringLiteral("Ollama"); }
    [[nodiscard]] int timeoutMs() const override { return 60'000; } // local models are slow to load
};
