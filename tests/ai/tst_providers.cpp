#include "ai/promptcontract.h"
#include "common/networkerrors.h"
#include "enginefixture.h"
#include "extraction/filecontext.h"

namespace {

FileContext invoice(const QString &name = "scan.pdf")
{
    FileContext context;
    context.fileName = name;
    context.fileExtension = lowerExtension(name);
    context.extractedText = "Rechnung Telekom";
    return context;
}

} // namespace

class TestProviders final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { m_fx = std::make_unique<ProviderFixture>(); }
    void cleanup() { m_fx.reset(); }

    void wireFormats_data()
    {
        QTest::addColumn<AIProviderType>("type");
        QTest::addColumn<QString>("model"); // empty: the default
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("query");
        QTest::addColumn<QStringList>("headers"); // "name: value"
        QTest::addColumn<QJsonObject>("body");
        const auto row = [](const char *name, AIProviderType type, const QString &model, const QString &path,
                            const QString &query, const QStringList &headers, const QJsonObject &body) {
            QTest::newRow(name) << type << model << path << query << headers << body;
        };
        const QString system = PromptContract::buildSystemPrompt({"rechnung", "brief"});
        const QString user = PromptContract::buildUserPrompt(invoice(), QString("{datum}"));
        const QJsonObject userMessage{{"role", "user"}, {"content", user}};
        const QJsonArray chat{QJsonObject{{"role", "system"}, {"content", system}}, userMessage};
        const QJsonArray geminiContents{
            QJsonObject{{"parts", QJsonArray{QJsonObject{{"text", system + "\n\n" + user}}}}}};
        row("Claude", AIProviderType::claude, "", "/v1/messages", "",
            {"x-api-key: K-123", "anthropic-version: 2023-06-01"},
            {{"model", "claude-sonnet-4-20250514"},
             {"max_tokens", 256},
             {"system", system},
             {"messages", QJsonArray{userMessage}}});
        row("OpenAI", AIProviderType::openai, "gpt-x", "/v1/chat/completions", "", {"authorization: Bearer K-123"},
            {{"model", "gpt-x"}, {"max_tokens", 256}, {"messages", chat}});
        row("Gemini", AIProviderType::gemini, "gemini-2.0-flash", "/v1beta/models/gemini-2.0-flash:generateContent",
            "key=K-123", {},
            {{"contents", geminiContents}, {"generationConfig", QJsonObject{{"maxOutputTokens", 256}}}});
        row("Ollama, default model", AIProviderType::ollama, "", "/api/chat", "", {},
            {{"model", "llama3.2"}, {"stream", false}, {"messages", chat}});
    }

    void wireFormats()
    {
        QFETCH(AIProviderType, type);
        QFETCH(QString, model);
        QFETCH(QStringList, headers);
        configure(type, m_fx->llm.baseUrl());
        m_fx->settings.setModel(model);
        m_fx->rules.setCategories({"rechnung", "brief"});
        const SuggestionResult result = run(std::nullopt);
        QVERIFY2(result, qPrintable(result ? QString() : result.error().message));
        QCOMPARE(result->extraction()->beschreibung, "Mobilfunk Maerz");
        QCOMPARE(result->confidence(), 0.9);

        QCOMPARE(m_fx->llm.server().requests().size(), 1);
        const RecordedRequest request = m_fx->llm.server().requests().first();
        QCOMPARE(request.method, "POST");
        QTEST(request.path, "path");
        QTEST(request.query, "query");
        QCOMPARE(request.headers.value("content-type"), "application/json");
        for (const QString &header : headers)
            QCOMPARE(QString::fromUtf8(request.headers.value(header.section(": ", 0, 0).toUtf8())),
                     header.section(": ", 1));
        QCOMPARE(request.headers.contains("x-api-key"), type == AIProviderType::claude);
        QCOMPARE(request.headers.contains("authorization"), type == AIProviderType::openai);
        QTEST(QJsonDocument::fromJson(request.body).object(), "body");
    }

    void endpointSlashes_data()
    {
        QTest::addColumn<AIProviderType>("type");
        QTest::addColumn<QString>("endpoint");
        QTest::addColumn<QString>("url");
        const auto row = [](const char *name, AIProviderType type, const QString &endpoint, const QString &url) {
            QTest::newRow(name) << type << endpoint << url;
        };
        row("Claude keeps it", AIProviderType::claude, "http://h/", "http://h//v1/messages");
        row("OpenAI drops one", AIProviderType::openai, "http://h//", "http://h//v1/chat/completions");
        row("Ollama drops one", AIProviderType::ollama, "http://h:11434/", "http://h:11434/api/chat");
        row("Gemini: model and key in the URL", AIProviderType::gemini, "https://g/",
            "https://g/v1beta/models/gemini-2.0-flash:generateContent?key=K");
    }

    void endpointSlashes()
    {
        QFETCH(AIProviderType, type);
        QFETCH(QString, endpoint);
        const std::unique_ptr<AIProvider> provider = makeProvider(type, m_fx->environment());
        const auto *http = dynamic_cast<const HTTPProvider *>(provider.get());
        QVERIFY(http);
        QTEST(http->buildRequest({"S", "U", "gemini-2.0-flash", endpoint, "K"}).url, "url");
    }

    void failures_data()
    {
        QTest::addColumn<AIProviderType>("type");
        QTest::addColumn<int>("status");      // 0: no request at all
        QTest::addColumn<QByteArray>("body"); // the reply; with status 0 the endpoint
        QTest::addColumn<QString>("domain");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        const auto row = [](const char *name, AIProviderType type, int status, const QByteArray &body,
                            const QString &domain, int code, const QString &message) {
            QTest::newRow(name) << type << status << body << domain << code << message;
        };
        const QByteArray longError = "{\"error\": {\"message\": \"" + QByteArray(400, 'r') + "\"}}";
        const QString invalid = "Ungültige Antwort";
        row("OpenAI 429", AIProviderType::openai, 429, longError, "OpenAI", 429,
            "OpenAI API 429: " + QString::fromUtf8(longError.left(300)));
        row("Ollama 404", AIProviderType::ollama, 404, "model not found", "Ollama", 404, "Ollama 404: model not found");
        row("Claude 401, body not UTF-8", AIProviderType::claude, 401, "\xff\xfe", "Claude", 401, "Claude API 401: ");
        row("empty choices", AIProviderType::openai, 200, R"({"choices": []})", "OpenAI", -1, invalid);
        row("first Claude block without text", AIProviderType::claude, 200,
            R"({"content": [{"type": "tool_use"}, {"type": "text", "text": "x"}]})", "Claude", -1, invalid);
        row("Gemini parts not an array", AIProviderType::gemini, 200,
            R"({"candidates": [{"content": {"parts": {"text": "x"}}}]})", "Gemini", -1, invalid);
        row("top level array", AIProviderType::ollama, 200, "[1]", "Ollama", -1, invalid);
        // A 200 that is not JSON at all (a proxy's page) is the parser's failure, not the provider's.
        row("no JSON at all", AIProviderType::openai, 200, "<html>Bad gateway</html>", "JSON",
            QJsonParseError::IllegalValue, "Antwort ist kein JSON (Fehler bei Byte 1)");
        row("on-device provider", AIProviderType::apple, 0, "", "AppleML", -1,
            "Apple Foundation Models erfordert macOS 26 oder neuer");
        row("endpoint no URL can be made of", AIProviderType::ollama, 0, "text with spaces", "Ollama", -1,
            "Ungültiger Endpoint: text with spaces");
    }

    void failures()
    {
        QFETCH(AIProviderType, type);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        configure(type, status ? m_fx->llm.baseUrl() : QString(body));
        m_fx->llm.setRawResponse(StubResponse{status, body});
        const SuggestionResult result = run(type);
        QVERIFY(!result);
        QTEST(result.error().domain, "domain");
        QTEST(result.error().code, "code");
        QTEST(result.error().message, "message");
        QCOMPARE(m_fx->llm.server().requests().size(), status ? 1 : 0);
    }

    // Transport failures speak German, never Qt's English errorString(), and never show the key.
    void transportFailures_data()
    {
        QTest::addColumn<QString>("server"); // what answers at the endpoint
        QTest::addColumn<QString>("message");
        QTest::newRow("refused") << "closed port" << QString("Netzwerkfehler: Verbindung abgelehnt");
        QTest::newRow("dropped") << "drops the connection" << QString("Netzwerkfehler: Verbindung vom Server getrennt");
        QTest::newRow("time-out") << "never answers" << QString("Zeitüberschreitung: keine Antwort nach 0,2 s");
    }

    void transportFailures()
    {
        QFETCH(QString, server);
        QTcpServer raw;
        QVERIFY(raw.listen(QHostAddress::LocalHost));
        QString endpoint = QString("http://127.0.0.1:%1").arg(raw.serverPort());
        if (server == "closed port")
            raw.close();
        if (server == "drops the connection") {
            m_fx->llm.setRawResponse(StubResponse{200, {}, {}, 0, true});
            endpoint = m_fx->llm.baseUrl();
        }
        configure(AIProviderType::gemini, endpoint, "SECRET-KEY");
        const SuggestionResult result = run(std::nullopt, 200);
        QVERIFY(!result);
        QCOMPARE(result.error().domain, "Netzwerk");
        QTEST(result.error().message, "message");
    }

    void unknownTransportErrorNamesItsCode()
    {
        QCOMPARE(NetworkErrors::describe(QNetworkReply::NetworkError(999)), "Netzwerkfehler (Code 999)");
    }

    // Each provider keeps its own endpoint: a Claude key never goes to the server typed for OpenAI.
    void keyGoesOnlyToItsProvidersEndpoint()
    {
        LlmStub claudeServer;
        QVERIFY(claudeServer.listen());
        m_fx->settings.setProvider(AIProviderType::claude);
        m_fx->settings.setEndpoint(claudeServer.baseUrl());
        configure(AIProviderType::openai, m_fx->llm.baseUrl(), "sk-openai");
        m_fx->settings.setProvider(AIProviderType::claude);
        awaitTask(m_fx->settings.setApiKey("sk-ant-real"));

        QVERIFY(run(std::nullopt));
        QCOMPARE(m_fx->llm.server().requests().size(), 0);
        QCOMPARE(claudeServer.server().requests().size(), 1);
        QCOMPARE(claudeServer.server().requests().first().headers.value("x-api-key"), "sk-ant-real");
    }

    void concurrentCallsAreIndependent()
    {
        configure(AIProviderType::claude, m_fx->llm.baseUrl());
        m_fx->llm.setDelay(300);
        m_fx->llm.setReply("a.pdf", R"({"beschreibung": "A"})");
        m_fx->llm.setReply("b.pdf", R"({"beschreibung": "B"})");
        m_fx->llm.setDelay("a.pdf", 600); // the first call finishes last
        m_fx->llm.setDelay("c.pdf", 100);
        const std::unique_ptr<AIProvider> provider = makeProvider(std::nullopt, m_fx->environment());

        QList<QString> finished;
        auto one = [&](QString name) -> QCoro::Task<> {
            const FileContext context = invoice(name); // named: GCC 12 destroys temporaries in co_await twice
            const SuggestionResult result = co_await provider->suggest(context, std::nullopt);
            finished << (result ? result->extraction()->beschreibung : result.error().message);
        };
        std::vector<QCoro::Task<>> calls; // started at once, each awaited in turn
        for (const char *name : {"a.pdf", "b.pdf", "c.pdf"})
            calls.push_back(one(name));
        for (QCoro::Task<> &call : calls)
            awaitTask(std::move(call));
        QCOMPARE(m_fx->llm.server().maxInFlight(), 3);
        QCOMPARE(finished, (QList<QString>{"Mobilfunk Maerz", "B", "A"}));
    }

private:
    SuggestionResult run(std::optional<AIProviderType> type, std::optional<int> timeoutMs = std::nullopt)
    {
        const std::unique_ptr<AIProvider> provider = makeProvider(type, m_fx->environment(timeoutMs));
        return awaitTask(provider->suggest(invoice(), QString("{datum}")));
    }

    void configure(AIProviderType type, const QString &endpoint, const QString &key = "K-123")
    {
        m_fx->settings.setProvider(type);
        m_fx->settings.setEndpoint(endpoint);
        awaitTask(m_fx->settings.setApiKey(key));
    }

    std::unique_ptr<ProviderFixture> m_fx;
};

QTEST_GUILESS_MAIN(TestProviders)
#include "tst_providers.moc"
