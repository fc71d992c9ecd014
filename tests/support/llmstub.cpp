#include "llmstub.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QByteArray json(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace

LlmStub::LlmStub(QObject *parent)
    : QObject(parent)
{
    m_server.setHandler([this](const RecordedRequest &request) { return answer(request); });
}

QStringList LlmStub::askedFiles() const
{
    QStringList names;
    for (const RecordedRequest &request : m_server.requests())
        names << fileNameIn(userPrompt(request));
    return names;
}

QString LlmStub::letterReply(const QString &description)
{
    return QString(R"({"datum":"2024-03-15","kategorie":"brief","beschreibung":"%1","confidence":0.9})")
        .arg(description);
}

QString LlmStub::userPrompt(const RecordedRequest &request)
{
    const QJsonObject body = QJsonDocument::fromJson(request.body).object();
    if (body.contains("contents")) // Gemini: system and user prompt in one part
        return body["contents"][0]["parts"][0]["text"].toString();
    const QJsonArray messages = body["messages"].toArray();
    for (const QJsonValue &message : messages) {
        if (message["role"].toString() == "user")
            return message["content"].toString();
    }
    return {};
}

QString LlmStub::fileNameIn(const QString &userPrompt)
{
    static const QString marker = "Originaler Dateiname: ";
    const qsizetype start = userPrompt.indexOf(marker);
    if (start < 0)
        return {};
    const qsizetype end = userPrompt.indexOf('\n', start);
    return userPrompt.mid(start + marker.size(), end < 0 ? -1 : end - start - marker.size());
}

StubResponse LlmStub::answer(const RecordedRequest &request)
{
    if (request.method == "GET" && request.path == "/api/tags")
        return StubResponse{m_tagsStatus, json({{"models", QJsonArray{QJsonObject{{"name", "llama3.2:latest"}}}}})};

    const QString fileName = fileNameIn(userPrompt(request));
    const int delay = m_delays.value(fileName, m_defaultDelayMs);
    if (!m_queued.isEmpty())
        return m_queued.takeFirst();
    if (m_raw) {
        StubResponse raw = *m_raw;
        raw.delayMs = delay;
        return raw;
    }
    if (m_failures.contains(fileName))
        return StubResponse{m_failures.value(fileName), json({{"error", "scripted failure"}}), "application/json",
                            delay};
    const QString text = m_replies.value(fileName, m_defaultReply);
    QJsonObject reply;
    if (request.path.endsWith("/v1/messages")) {
        reply = {{"content", QJsonArray{QJsonObject{{"type", "text"}, {"text", text}}}},
                 {"usage", QJsonObject{{"input_tokens", PromptTokens}, {"output_tokens", AnswerTokens}}}};
    } else if (request.path.endsWith("/v1/chat/completions")) {
        reply = {
            {"choices", QJsonArray{QJsonObject{{"message", QJsonObject{{"role", "assistant"}, {"content", text}}}}}},
            {"usage", QJsonObject{{"prompt_tokens", PromptTokens}, {"completion_tokens", AnswerTokens}}}};
    } else if (request.path.contains("/v1beta/models/") && request.path.endsWith(":generateContent")) {
        const QJsonObject content{{"parts", QJsonArray{QJsonObject{{"text", text}}}}, {"role", "model"}};
        reply = {
            {"candidates", QJsonArray{QJsonObject{{"content", content}}}},
            {"usageMetadata", QJsonObject{{"promptTokenCount", PromptTokens}, {"candidatesTokenCount", AnswerTokens}}}};
    } else if (request.path.endsWith("/api/chat")) {
        reply = {{"message", QJsonObject{{"role", "assistant"}, {"content", text}}},
                 {"done", true},
                 {"prompt_eval_count", PromptTokens},
                 {"eval_count", AnswerTokens}};
    } else {
        return StubResponse{404, json({{"error", "unknown path"}}), "application/json", delay};
    }
    return StubResponse{200, json(reply), "application/json", delay};
}
