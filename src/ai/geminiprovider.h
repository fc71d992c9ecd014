#pragma once

#include "ai/httpprovider.h"

/** Google's generateContent API; the model travels in the URL, the key in the "x-goog-api-key" header. */
class GeminiProvider final : public HTTPProvider
{
public:
    explicit GeminiProvider(ProviderEnvironment environment);

    [[nodiscard]] Request buildRequest(const Prompt &prompt) const override;

protected:
    [[nodiscard]] std::optional<QString> replyText(const QJsonObject &reply) const override;
    [[nodiscard]] std::pair<QStringList, QStringList> tokenPaths() const override
    {
        return {{QStringLiteral("usageMetadata"), QStringLiteral("promptTokenCount")},
                {QStringLiteral("usageMetadata"), QStringLiteral("candidatesTokenCount")}};
    }
    [[nodiscard]] QString serviceName() const override { return QStringLiteral("Gemini"); }
};
