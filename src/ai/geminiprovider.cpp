#include "geminiprovider.h"

#include <QJsonArray>

GeminiProvider::GeminiProvider(ProviderEnvironment environment)
    : HTTPProvider(AIProviderType::gemini, environment)
{
}

HTTPProvider::Request GeminiProvider::buildRequest(const Prompt &prompt) const
{
    const QJsonObject part{{QStringLiteral("text"), prompt.system + QStringLiteral("\n\n") + prompt.user}};
    return Request{
        withoutTrailingSlash(prompt.endpoint) + QStringLiteral("/v1beta/models/") + prompt.model +
            QStringLiteral(":generateContent"),
        // In a header, not the URL: URLs end up in logs, proxies and error messages.
        {{QByteArrayLiteral("x-goog-api-key"), prompt.apiKey.toUtf8()}},
        QJsonObject{{QStringLiteral("contents"), QJsonArray{QJsonObject{{QStringLiteral("parts"), QJsonArray{part}}}}},
                    {QStringLiteral("generationConfig"), QJsonObject{{QStringLiteral("maxOutputTokens"), 256}}}},
    };
}

std::optional<QString> GeminiProvider::replyText(const QJsonObject &reply) const
{
    return textAtPath(reply, {QStringLiteral("candidates"), QStringLiteral("[0]"), QStringLiteral("content"),
                              QStringLiteral("parts"), QStringLiteral("[0]"), QStringLiteral("text")});
}
