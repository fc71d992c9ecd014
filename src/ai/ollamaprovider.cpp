#include "ollamaprovider.h"

#include <QJsonArray>

OllamaProvider::OllamaProvider(ProviderEnvironment environment)
    : HTTPProvider(AIProviderType::ollama, environment)
{
}

HTTPProvider::Request OllamaProvider::buildRequest(const Prompt &prompt) const
{
    return Request{
        withoutTrailingSlash(prompt.endpoint) + QStringLiteral("/api/chat"),
        {},
        QJsonObject{{QStringLiteral("model"), prompt.model},
                    {QStringLiteral("stream"), false},
                    {QStringLiteral("messages"), chatMessages(prompt)}},
    };
}

std::optional<QString> OllamaProvider::replyText(const QJsonObject &reply) const
{
    return textAtPath(reply, {QStringLiteral("message"), QStringLiteral("content")});
}
