#include "openaiprovider.h"

#include <QJsonArray>

OpenAIProvider::OpenAIProvider(ProviderEnvironment environment)
    : HTTPProvider(AIProviderType::openai, environment)
{
}

HTTPProvider::Request OpenAIProvider::buildRequest(const Prompt &prompt) const
{
    return Request{
        withoutTrailingSlash(prompt.endpoint) + QStringLiteral("/v1/chat/completions"),
        {{"Authorization", "Bearer " + prompt.apiKey.toUtf8()}},
        QJsonObject{{QStringLiteral("model"), prompt.model},
                    {QStringLiteral("max_tokens"), 256},
                    {QStringLiteral("messages"), chatMessages(prompt)}},
    };
}

std::optional<QString> OpenAIProvider::replyText(const QJsonObject &reply) const
{
    return textAtPath(reply, {QStringLiteral("choices"), QStringLiteral("[0]"), QStringLiteral("message"),
                              QStringLiteral("content")});
}
