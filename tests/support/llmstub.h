#pragma once

#include "stubhttpserver.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

/**
 * A loopback stand-in for the language-model providers: answers the Claude, OpenAI, Gemini and
 * Ollama chat formats (and Ollama's /api/tags) with scripted reply texts. The reply is chosen by
 * the original file name found in the user prompt ("Originaler Dateiname: …"), else the default.
 * Every request is recorded by server(); its in-flight counter shows concurrency.
 */
class LlmStub final : public QObject
{
    Q_OBJECT

public:
    /** The token counts every formatted reply states, in its provider's own fields. */
    static constexpr int PromptTokens = 1200;
    static constexpr int AnswerTokens = 34;

    explicit LlmStub(QObject *parent = nullptr);

    bool listen(quint16 port = 0) { return m_server.listen(port); }
    [[nodiscard]] QString baseUrl() const { return m_server.baseUrl(); }
    [[nodiscard]] StubHttpServer &server() { return m_server; }

    void setReply(const QString &fileName, const QString &text) { m_replies.insert(fileName, text); }
    void setDelay(int milliseconds) { m_defaultDelayMs = milliseconds; }
    void setDelay(const QString &fileName, int milliseconds) { m_delays.insert(fileName, milliseconds); }
    /** Answers every chat request with exactly this (status, body) instead of a formatted reply. */
    void setRawResponse(std::optional<StubResponse> response) { m_raw = std::move(response); }
    /** Answers the next chat requests with these, in order, before anything else. */
    void queueRawResponses(const QList<StubResponse> &responses) { m_queued += responses; }
    /** Answers requests about this file with an error status instead of a reply. */
    void setFailure(const QString &fileName, int status) { m_failures.insert(fileName, status); }
    void clearFailure(const QString &fileName) { m_failures.remove(fileName); }
    void setTagsStatus(int status) { m_tagsStatus = status; }

    /** The file names the recorded requests asked about, in order. */
    [[nodiscard]] QStringList askedFiles() const;
    /** A reply naming a letter of 2024-03-15 with this description. */
    [[nodiscard]] static QString letterReply(const QString &description);
    /** The user prompt of a recorded request, whatever the wire format. */
    [[nodiscard]] static QString userPrompt(const RecordedRequest &request);
    /** The file name a prompt names, or empty. */
    [[nodiscard]] static QString fileNameIn(const QString &userPrompt);

private:
    StubResponse answer(const RecordedRequest &request);

    StubHttpServer m_server;
    QString m_defaultReply =
        R"({"datum":"2024-03-15","kategorie":"rechnung","beschreibung":"Mobilfunk Maerz","confidence":0.9})";
    QHash<QString, QString> m_replies;
    QHash<QString, int> m_delays;
    QHash<QString, int> m_failures;
    int m_defaultDelayMs = 0;
    std::optional<StubResponse> m_raw;
    QList<StubResponse> m_queued;
    int m_tagsStatus = 200;
};
