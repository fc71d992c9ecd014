#include "claudeprovider.h"

#include <QJsonArray>

ClaudeProvider::ClaudeProvider(ProviderEnvironment environment)
    : HTTPProvider(AIProviderType::claude, environment)
{
}

HTTPProvider::Request ClaudeProvider::buildRequest(const Prompt &prompt) const
{
    return Request{
        prompt.endpoint + QStringLiteral("/v1/messages"),
        {{"x-api-key", prompt.apiKey.toUtf8()}, {"anthropic-version", "2023-06-01"}},
        QJsonObject{
            {QStringLiteral("model"), prompt.model},
            {QStringLiteral("max_tokens"), 256},
            {QStringLiteral("system"), prompt.system},
            {QStringLiteral("messages"), QJsonArray{QJsonObject{{QStringLiteral("role"), QStringLiteral("user")},
                                                                {QStringLiteral("content"), prompt.user}}}}},
    };
}

std::optional<QString> ClaudeProvider::replyText(const QJsonObject &reply) const
{
    return textAtPath(reply, {QStringLiteral("content"), QStringLiteral("[0]"), QStringLiteral("text")});
}
