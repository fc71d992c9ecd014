#include "ai/promptcontract.h"
#include "enginefixture.h"
#include "extraction/filecontext.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <QTcpServer>

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
    void init();
    void cleanup();
    void wireFormats_data();
    void wireFormats();
    void endpointSlashes_data();
    void endpointSlashes();
    void failures_data();
    void failures();
    void replyWithoutJsonIsAFallbackName();
    void transportFailures();
    void concurrentCallsAreIndependent();
    void onDeviceProviderAlwaysFails();

private:
    SuggestionResult run(std::optional<AIProviderType> type, std::optional<int> timeoutMs = std::nullopt);
    void configure(AIProviderType type, const QString &endpoint, const QString &key = "K-123");

    std::unique_ptr<ProviderFixture> m_fx;
    LlmStub *m_llm = nullptr;
    AISettings *m_settings = nullptr;
    RenameRules *m_rules = nullptr;
};

void TestProviders::init()
{
    m_fx = std::make_unique<ProviderFixture>();
    m_llm = &m_fx->llm;
    m_settings = &m_fx->settings;
    m_rules = &m_fx->rules;
}

void TestProviders::cleanup()
{
    m_fx.reset();
}

void TestProviders::configure(AIProviderType type, const QString &endpoint, const QString &key)
{
    m_settings->setProvider(type);
    m_settings->setEndpoint(endpoint);
    awaitTask(m_settings->setApiKey(key));
}

SuggestionResult TestProviders::run(std::optional<AIProviderType> type, std::optional<int> timeoutMs)
{
    const std::unique_ptr<AIProvider> provider =
        makeProvider(type, m_fx->environment(timeoutMs));
    return awaitTask(provider->suggest(invoice(), QString("{datum}")));
}

void TestProviders::wireFormats_data()
{
    QTest::addColumn<AIProviderType>("type");
    QTest::addColumn<QString>("model"); // empty: the default
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("headers"); // "name: value"
    QTest::addColumn<QString>("bodyShape");   // keys of the body, sorted
    QTest::addColumn<QString>("sentModel");

    QTest::newRow("Claude") << AIProviderType::claude << "" << "/v1/messages" << ""
                            << QStringList{"x-api-key: K-123", "anthropic-version: 2023-06-01"}
                            << "max_tokens,messages,model,system" << "claude-sonnet-4-20250514";
    QTest::newRow("OpenAI") << AIProviderType::openai << "gpt-x" << "/v1/chat/completions" << ""
                            << QStringList{"authorization: Bearer K-123"} << "max_tokens,messages,model" << "gpt-x";
    QTest::newRow("Gemini") << AIProviderType::gemini << "gemini-2.0-flash"
                            << "/v1beta/models/gemini-2.0-flash:generateContent" << "key=K-123" << QStringList{}
                            << "contents,generationConfig" << "";
    QTest::newRow("Ollama, default model") << AIProviderType::ollama << "" << "/api/chat" << "" << QStringList{}
                                           << "messages,model,stream" << "llama3.2";
}

void TestProviders::wireFormats()
{
    QFETCH(AIProviderType, type);
    QFETCH(QString, model);
    QFETCH(QString, path);
    QFETCH(QString, query);
    QFETCH(QStringList, headers);
    QFETCH(QString, bodyShape);
    QFETCH(QString, sentModel);

    configure(type, m_llm->baseUrl());
    m_settings->setModel(model);
    m_rules->setCategories({"rechnung", "brief"});
    const SuggestionResult result = run(std::nullopt);
    QVERIFY2(result, qPrintable(result ? QString() : result.error().message));
    QCOMPARE(result->extraction()->beschreibung, QString("Mobilfunk Maerz"));
    QCOMPARE(result->confidence(), 0.9);

    QCOMPARE(m_llm->server().requests().size(), 1);
    const RecordedRequest request = m_llm->server().requests().first();
    QCOMPARE(request.method, QByteArray("POST"));
    QCOMPARE(request.path, path);
    QCOMPARE(request.query, query);
    QCOMPARE(request.headers.value("content-type"), QByteArray("application/json"));
    for (const QString &header : headers) {
        const QString name = header.section(": ", 0, 0);
        QCOMPARE(QString::fromUtf8(request.headers.value(name.toUtf8())), header.section(": ", 1));
    }
    if (type != AIProviderType::claude)
        QVERIFY(!request.headers.contains("x-api-key"));
    if (type != AIProviderType::openai)
        QVERIFY(!request.headers.contains("authorization"));

    const QJsonObject body = QJsonDocument::fromJson(request.body).object();
    QStringList keys = body.keys();
    keys.sort();
    QCOMPARE(keys.join(','), bodyShape);
    QCOMPARE(body.value("model").toString(), sentModel);
    const QString system = PromptContract::buildSystemPrompt({"rechnung", "brief"});
    const QString user = PromptContract::buildUserPrompt(invoice(), QString("{datum}"));
    switch (type) {
    case AIProviderType::claude:
        QCOMPARE(body["max_tokens"].toVariant(), QVariant(qlonglong(256)));
        QCOMPARE(body["system"].toString(), system);
        QCOMPARE(body["messages"].toArray(), (QJsonArray{QJsonObject{{"role", "user"}, {"content", user}}}));
        break;
    case AIProviderType::gemini:
        QCOMPARE(body["contents"][0]["parts"][0]["text"].toString(), system + "\n\n" + user);
        QCOMPARE(body["generationConfig"].toObject(), (QJsonObject{{"maxOutputTokens", 256}}));
        break;
    default:
        QCOMPARE(body["messages"].toArray(), (QJsonArray{QJsonObject{{"role", "system"}, {"content", system}},
                                                         QJsonObject{{"role", "user"}, {"content", user}}}));
        if (type == AIProviderType::ollama)
            QCOMPARE(body["stream"], QJsonValue(false));
    }
}

void TestProviders::endpointSlashes_data()
{
    QTest::addColumn<AIProviderType>("type");
    QTest::addColumn<QString>("endpoint");
    QTest::addColumn<QString>("url");
    QTest::newRow("Claude keeps it") << AIProviderType::claude << "http://h/" << "http://h//v1/messages";
    QTest::newRow("OpenAI drops one") << AIProviderType::openai << "http://h//" << "http://h//v1/chat/completions";
    QTest::newRow("Ollama drops one") << AIProviderType::ollama << "http://h:11434/" << "http://h:11434/api/chat";
    QTest::newRow("Gemini: model and key in the URL")
        << AIProviderType::gemini << "https://g/" << "https://g/v1beta/models/gemini-2.0-flash:generateContent?key=K";
}

void TestProviders::endpointSlashes()
{
    QFETCH(AIProviderType, type);
    QFETCH(QString, endpoint);
    QFETCH(QString, url);
    const ProviderEnvironment environment = m_fx->environment();
    const std::unique_ptr<AIProvider> provider = makeProvider(type, environment);
    const auto *http = dynamic_cast<const HttpProvider *>(provider.get());
    QVERIFY(http);
    const HttpProvider::Prompt prompt{"S", "U", "gemini-2.0-flash", endpoint, "K"};
    QCOMPARE(http->buildRequest(prompt).url, url);
}

void TestProviders::failures_data()
{
    QTest::addColumn<AIProviderType>("type");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("domain");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");

    const QByteArray longError = R"({"error": {"message": ")" + QByteArray(400, 'r') + R"("}})";
    QTest::newRow("OpenAI 429") << AIProviderType::openai << 429 << longError << "OpenAI" << 429
                                << "OpenAI API 429: " + QString::fromUtf8(longError.left(300));
    QTest::newRow("Ollama 404") << AIProviderType::ollama << 404 << QByteArray("model not found") << "Ollama" << 404
                                << "Ollama 404: model not found";
    QTest::newRow("Claude 401, body not UTF-8") << AIProviderType::claude << 401 << QByteArray("\xff\xfe") << "Claude"
                                                << 401 << "Claude API 401: ";
    QTest::newRow("empty choices") << AIProviderType::openai << 200 << QByteArray(R"({"choices": []})") << "OpenAI" << -1
                                   << "Ungültige Antwort";
    QTest::newRow("first Claude block without text")
        << AIProviderType::claude << 200 << QByteArray(R"({"content": [{"type": "tool_use"}, {"type": "text", "text": "x"}]})")
        << "Claude" << -1 << "Ungültige Antwort";
    QTest::newRow("Gemini parts not an array") << AIProviderType::gemini << 200
                                               << QByteArray(R"({"candidates": [{"content": {"parts": {"text": "x"}}}]})")
                                               << "Gemini" << -1 << "Ungültige Antwort";
    QTest::newRow("top level array") << AIProviderType::ollama << 200 << QByteArray("[1]") << "Ollama" << -1
                                     << "Ungültige Antwort";
}

void TestProviders::failures()
{
    QFETCH(AIProviderType, type);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, domain);
    QFETCH(int, code);
    QFETCH(QString, message);
    configure(type, m_llm->baseUrl());
    m_llm->setRawResponse(StubResponse{status, body});
    const SuggestionResult result = run(type);
    QVERIFY(!result);
    QCOMPARE(result.error().domain, domain);
    QCOMPARE(result.error().code, code);
    QCOMPARE(result.error().message, message);
}

void TestProviders::replyWithoutJsonIsAFallbackName()
{
    configure(AIProviderType::openai, m_llm->baseUrl());
    m_llm->setDefaultReply("Keine Ahnung");
    const SuggestionResult result = run(std::nullopt);
    QVERIFY(result);
    QVERIFY(!result->extraction());
    QCOMPARE(result->name(), QString("Keine Ahnung.pdf"));
    QCOMPARE(result->confidence(), 0.3);

    // A 200 that is not JSON at all (a proxy's HTML page) is the parser's failure, not the provider's.
    m_llm->setRawResponse(StubResponse{200, "<html>Bad gateway</html>", "text/html"});
    const SuggestionResult html = run(std::nullopt);
    QVERIFY(!html);
    QCOMPARE(html.error().domain, QString("JSON"));
}

void TestProviders::transportFailures()
{
    // Time-out, shortened for the test.
    configure(AIProviderType::gemini, m_llm->baseUrl(), "SECRET-KEY");
    m_llm->setDelay(3000);
    const SuggestionResult slow = run(std::nullopt, 200);
    QVERIFY(!slow);
    QCOMPARE(slow.error().domain, QString("Netzwerk"));
    QVERIFY2(slow.error().message.startsWith("Zeitüberschreitung"), qPrintable(slow.error().message));

    // Nothing listens: refused, and the key in Gemini's URL never shows in the message.
    QTcpServer unused;
    QVERIFY(unused.listen(QHostAddress::LocalHost));
    const quint16 closedPort = unused.serverPort();
    unused.close();
    configure(AIProviderType::gemini, QString("http://127.0.0.1:%1").arg(closedPort), "SECRET-KEY");
    const SuggestionResult refused = run(std::nullopt);
    QVERIFY(!refused);
    QCOMPARE(refused.error().domain, QString("Netzwerk"));
    QVERIFY(!refused.error().message.contains("SECRET-KEY"));

    // An endpoint no URL can be made of fails in the provider's domain.
    configure(AIProviderType::ollama, "text with spaces");
    const SuggestionResult invalid = run(std::nullopt);
    QCOMPARE(invalid.error().domain, QString("Ollama"));
    QCOMPARE(invalid.error().message, QString("Ungültiger Endpoint: text with spaces"));
}

void TestProviders::concurrentCallsAreIndependent()
{
    configure(AIProviderType::claude, m_llm->baseUrl());
    m_llm->setDelay(300);
    m_llm->setReply("a.pdf", R"({"beschreibung": "A"})");
    m_llm->setReply("b.pdf", R"({"beschreibung": "B"})");
    m_llm->setDelay("a.pdf", 600); // the first call finishes last
    m_llm->setDelay("c.pdf", 100);
    const std::unique_ptr<AIProvider> provider =
        makeProvider(std::nullopt, m_fx->environment());

    QList<QString> finished;
    auto one = [&](QString name) -> QCoro::Task<> {
        const FileContext context = invoice(name); // named: GCC 12 destroys temporaries in co_await twice
        const SuggestionResult result = co_await provider->suggest(context, std::nullopt);
        finished << (result ? result->extraction()->beschreibung : result.error().message);
    };
    auto both = [&]() -> QCoro::Task<bool> {
        auto a = one("a.pdf");
        auto b = one("b.pdf");
        auto c = one("c.pdf");
        co_await a;
        co_await b;
        co_await c;
        co_return true;
    };
    QVERIFY(awaitTask(both()));
    QCOMPARE(m_llm->server().maxInFlight(), 3);
    QCOMPARE(finished, (QList<QString>{"Mobilfunk Maerz", "B", "A"}));
}

void TestProviders::onDeviceProviderAlwaysFails()
{
    const SuggestionResult result = run(AIProviderType::apple);
    QVERIFY(!result);
    QCOMPARE(result.error().domain, QString("AppleML"));
    QCOMPARE(result.error().code, -1);
    QCOMPARE(result.error().message, QString("Apple Foundation Models erfordert macOS 26 oder neuer"));
    QVERIFY(m_llm->server().requests().isEmpty());
}

QTEST_GUILESS_MAIN(TestProviders)
#include "tst_providers.moc"
