#include "ai/promptcontract.h"
#include "enginefixture.h"
#include "extraction/filecontext.h"
#include "privacy/privacyfilter.h"
#include "refusedport.h"

namespace {

FileContext context(const QString &name, const QString &text, const MetadataMap &metadata = {})
{
    FileContext c;
    c.fileName = name;
    c.fileExtension = lowerExtension(name);
    c.extractedText = text;
    c.metadata = metadata;
    return c;
}

FileContext invoice(const QString &name = "scan.pdf")
{
    return context(name, "Rechnung Telekom");
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
        QTest::addColumn<QStringList>("headers"); // "name: value"
        QTest::addColumn<QJsonObject>("body");
        const auto row = [](const char *name, AIProviderType type, const QString &model, const QString &path,
                            const QStringList &headers, const QJsonObject &body) {
            QTest::newRow(name) << type << model << path << headers << body;
        };
        const QString system = PromptContract::buildSystemPrompt({"rechnung", "brief"});
        const QString user = PromptContract::buildUserPrompt(invoice(), QString("{datum}"));
        const QJsonObject userMessage{{"role", "user"}, {"content", user}};
        const QJsonArray chat{QJsonObject{{"role", "system"}, {"content", system}}, userMessage};
        const QJsonArray geminiContents{
            QJsonObject{{"parts", QJsonArray{QJsonObject{{"text", system + "\n\n" + user}}}}}};
        row("Claude", AIProviderType::claude, "", "/v1/messages", {"x-api-key: K-123", "anthropic-version: 2023-06-01"},
            {{"model", "claude-sonnet-4-20250514"},
             {"max_tokens", 256},
             {"system", system},
             {"messages", QJsonArray{userMessage}}});
        row("OpenAI", AIProviderType::openai, "gpt-x", "/v1/chat/completions", {"authorization: Bearer K-123"},
            {{"model", "gpt-x"}, {"max_tokens", 256}, {"messages", chat}});
        row("Gemini", AIProviderType::gemini, "gemini-2.0-flash", "/v1beta/models/gemini-2.0-flash:generateContent",
            {"x-goog-api-key: K-123"},
            {{"contents", geminiContents}, {"generationConfig", QJsonObject{{"maxOutputTokens", 256}}}});
        row("Ollama, default model", AIProviderType::ollama, "", "/api/chat", {},
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

        QCOMPARE(m_fx->llm.server().requests().size(), 1);
        const RecordedRequest request = m_fx->llm.server().requests().first();
        QCOMPARE(request.method, "POST");
        QTEST(request.path, "path");
        QCOMPARE(request.query, QString()); // no key in the URL
        QCOMPARE(request.headers.value("content-type"), "application/json");
        for (const QString &header : headers)
            QCOMPARE(QString::fromUtf8(request.headers.value(header.section(": ", 0, 0).toUtf8())),
                     header.section(": ", 1));
        QCOMPARE(request.headers.contains("x-api-key"), type == AIProviderType::claude);
        QCOMPARE(request.headers.contains("authorization"), type == AIProviderType::openai);
        QTEST(QJsonDocument::fromJson(request.body).object(), "body");
    }

    // Every reply counts for its provider and month, with the tokens it states in its own fields.
    void usageAddsUp_data()
    {
        QTest::addColumn<AIProviderType>("type");
        QTest::addColumn<QByteArray>("reply"); // empty: the provider's own format, with counts
        QTest::addColumn<qint64>("tokens");
        for (const AIProviderType type :
             {AIProviderType::claude, AIProviderType::openai, AIProviderType::gemini, AIProviderType::ollama})
            QTest::newRow(qPrintable(rawValue(type)))
                << type << QByteArray() << qint64(2 * (LlmStub::PromptTokens + LlmStub::AnswerTokens));
        QTest::newRow("counts that are no numbers")
            << AIProviderType::openai
            << QByteArray(R"({"usage": {"prompt_tokens": "viele", "completion_tokens": null}})") << qint64(0);
    }

    void usageAddsUp()
    {
        QFETCH(AIProviderType, type);
        QFETCH(QByteArray, reply);
        configure(type, m_fx->llm.baseUrl());
        if (!reply.isEmpty())
            m_fx->llm.setRawResponse(StubResponse{200, reply});
        run(type);
        run(type);
        QCOMPARE(m_fx->ledger.usage(type).requests, 2);
        QTEST(m_fx->ledger.usage(type).tokens, "tokens");
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
        row("Gemini: the model in the URL, never the key", AIProviderType::gemini, "https://g/",
            "https://g/v1beta/models/gemini-2.0-flash:generateContent");
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
        // A refusal is a German sentence with the service's own words, never its JSON or HTML.
        row("OpenAI 429, message cut", AIProviderType::openai, 429, longError, "OpenAI", 429,
            "OpenAI meldet zu viele Anfragen oder ein erschöpftes Guthaben (HTTP 429): „" + QString(300, 'r') + "“");
        row("Ollama 404, error as text", AIProviderType::ollama, 404, R"({"error": "model 'x' not found"})", "Ollama",
            404, "Ollama kennt das Modell oder die Adresse nicht (HTTP 404): „model 'x' not found“");
        row("Claude 401, body not UTF-8", AIProviderType::claude, 401, "\xff\xfe", "Claude", 401,
            "Claude hat den API-Schlüssel abgelehnt (HTTP 401)");
        row("empty choices", AIProviderType::openai, 200, R"({"choices": []})", "OpenAI", -1, invalid);
        row("first Claude block without text", AIProviderType::claude, 200,
            R"({"content": [{"type": "tool_use"}, {"type": "text", "text": "x"}]})", "Claude", -1, invalid);
        row("Gemini parts not an array", AIProviderType::gemini, 200,
            R"({"candidates": [{"content": {"parts": {"text": "x"}}}]})", "Gemini", -1, invalid);
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

    // Passing trouble is tried again, three tries in all; a wait the service asks for is kept, up to
    // a minute, and ends at once on abort (awaitTask would give up long before 59 s). Replies:
    // "status[ Retry-After]", "drop"; "date+3" is an HTTP date.
    void retries_data()
    {
        QTest::addColumn<AIProviderType>("type");
        QTest::addColumn<QStringList>("replies");
        QTest::addColumn<int>("abortAfterMs"); // 0: never
        QTest::addColumn<int>("tries");        // -1: not checked
        QTest::addColumn<int>("waitsAtLeastMs");
        QTest::addColumn<QStringList>("notes"); // as announced, "" for "no more waits"; none: not checked
        QTest::addColumn<QString>("message");   // empty: a suggestion
        const auto row = [](const char *name, AIProviderType type, const QStringList &replies, int abortAfterMs,
                            int tries, int waitsAtLeastMs, const QStringList &notes, const QString &message) {
            QTest::newRow(name) << type << replies << abortAfterMs << tries << waitsAtLeastMs << notes << message;
        };
        const QString asked2 = "Anbieter bittet zu warten: 2 s";
        row("429 with Retry-After 2, then a reply", AIProviderType::claude, {"429 2", "200"}, 0, 2, 2000, {asked2, ""},
            "");
        row("503 with an HTTP date", AIProviderType::gemini, {"503 date+3", "200"}, 0, 2, 2000, {}, "");
        row("longer than a minute fails at once", AIProviderType::openai, {"429 120", "200"}, 0, 1, 0, {},
            "OpenAI bittet, 2 min zu warten (HTTP 429) – länger als die 60 s, die Namorix wartet");
        row("5xx backs off, three tries in all", AIProviderType::gemini, {"500", "529", "503", "200"}, 0, 3, 3000,
            {"Anbieter gestört, neuer Versuch in 1 s", "", "Anbieter gestört, neuer Versuch in 2 s", ""},
            "Gemini ist gerade gestört (HTTP 503)");
        // Qt itself may send a dropped request once more: how many reach the server is its business.
        row("dropped connection tried again", AIProviderType::ollama, QStringList(6, "drop"), 0, -1, 3000,
            {"Anbieter gestört, neuer Versuch in 1 s", "", "Anbieter gestört, neuer Versuch in 2 s", ""},
            "Netzwerkfehler: Verbindung vom Server getrennt");
        row("abort ends the wait", AIProviderType::openai, {"429 59", "200"}, 300, 1, 0,
            {"Anbieter bittet zu warten: 59 s", ""}, "Analyse abgebrochen");
    }

    void retries()
    {
        QFETCH(AIProviderType, type);
        QFETCH(QStringList, replies);
        QFETCH(int, abortAfterMs);
        QFETCH(QStringList, notes);
        QElapsedTimer clock; // from before the HTTP date is taken: a lower bound for the wait it asks
        clock.start();
        configure(type, m_fx->llm.baseUrl());
        QList<StubResponse> responses;
        for (const QString &reply : replies) {
            StubResponse response{reply.section(' ', 0, 0).toInt(), "<html>Service Unavailable</html>", "text/html"};
            response.dropConnection = reply == "drop";
            QString wait = reply.section(' ', 1);
            if (wait == "date+3")
                wait = QLocale::c().toString(QDateTime::currentDateTimeUtc().addSecs(3),
                                             "ddd, dd MMM yyyy HH:mm:ss 'GMT'");
            if (!wait.isEmpty())
                response.headers = {{"Retry-After", wait.toLatin1()}};
            if (response.status != 200)
                responses << response;
        }
        m_fx->llm.queueRawResponses(responses);

        const std::unique_ptr<AIProvider> provider = makeProvider(type, m_fx->environment());
        QStringList announced;
        provider->setWaitObserver([&](const std::optional<QString> &note) { announced << note.value_or(""); });
        if (abortAfterMs)
            QTimer::singleShot(abortAfterMs, [&] { provider->abort(); });
        const SuggestionResult result = awaitTask(provider->suggest(invoice(), std::nullopt));
        QTEST(result ? QString() : result.error().message, "message");
        QFETCH(int, tries);
        if (tries >= 0)
            QCOMPARE(m_fx->llm.server().requests().size(), tries);
        QFETCH(int, waitsAtLeastMs);
        QVERIFY2(clock.elapsed() >= waitsAtLeastMs, qPrintable(QString::number(clock.elapsed())));
        if (!notes.isEmpty())
            QCOMPARE(announced, notes);
    }

    // Transport failures speak German, never Qt's English errorString(), and never show the key.
    void transportFailures_data()
    {
        QTest::addColumn<QString>("server"); // what answers at the endpoint
        QTest::addColumn<QString>("message");
        QTest::newRow("refused") << "closed port" << QString("Netzwerkfehler: Verbindung abgelehnt");
        QTest::newRow("time-out") << "never answers" << QString("Zeitüberschreitung: keine Antwort nach 0,2 s");
    }

    void transportFailures()
    {
        QFETCH(QString, server);
        QTcpServer raw; // listens, and never answers
        const RefusedPort closed;
        QVERIFY(raw.listen(QHostAddress::LocalHost));
        const QString endpoint =
            QString("http://127.0.0.1:%1").arg(server == "closed port" ? closed.port() : raw.serverPort());
        configure(AIProviderType::gemini, endpoint, "SECRET-KEY");
        const SuggestionResult result = run(std::nullopt, 200);
        QVERIFY(!result);
        QCOMPARE(result.error().domain, "Netzwerk");
        QTEST(result.error().message, "message");
    }

    // The key and the document go to no other server than the one typed (scheme, host and port):
    // a redirect elsewhere fails naming the address; one to another path of the same server is followed.
    void redirects_data()
    {
        QTest::addColumn<AIProviderType>("type");
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("elsewhere");
        const auto row = [](const char *name, AIProviderType type, const QString &path, int status, bool elsewhere) {
            QTest::newRow(name) << type << path << status << elsewhere;
        };
        const QString gemini = "/v1beta/models/gemini-2.0-flash:generateContent";
        row("Claude 308 to another port", AIProviderType::claude, "/v1/messages", 308, true);
        row("Gemini 302 to another port", AIProviderType::gemini, gemini, 302, true);
        row("Ollama 307: the document stays too", AIProviderType::ollama, "/api/chat", 307, true);
        row("OpenAI 307 on the same server", AIProviderType::openai, "/v1/chat/completions", 307, false);
        row("Gemini 308 on the same server", AIProviderType::gemini, gemini, 308, false);
    }

    void redirects()
    {
        QFETCH(AIProviderType, type);
        QFETCH(QString, path);
        QFETCH(int, status);
        QFETCH(bool, elsewhere);
        LlmStub other;
        QVERIFY(other.listen());
        configure(type, m_fx->llm.baseUrl(), "SECRET-KEY");
        const QString target = (elsewhere ? other.baseUrl() : m_fx->llm.baseUrl() + "/moved") + path;
        m_fx->llm.queueRawResponses(
            {StubResponse{status, "", "text/plain", 0, false, {{"Location", target.toUtf8()}}}});
        const SuggestionResult result = run(type);
        QCOMPARE(other.server().connections(), 0);
        if (elsewhere) {
            QVERIFY(!result);
            QCOMPARE(result.error().code, status);
            QCOMPARE(result.error().message,
                     "Der Anbieter leitet auf eine andere Adresse um (" + target + "); " +
                         (type == AIProviderType::ollama ? "die Anfrage wird" : "der Schlüssel wird") +
                         " dorthin nicht gesendet.");
            QCOMPARE(m_fx->llm.server().requests().size(), 1);
            return;
        }
        QVERIFY2(result, qPrintable(result ? QString() : result.error().message));
        const QList<RecordedRequest> requests = m_fx->llm.server().requests();
        QCOMPARE(requests.size(), 2);
        QCOMPARE(requests[1].path, "/moved" + path);
        QCOMPARE(requests[1].body, requests[0].body);
        QCOMPARE(requests[1].headers.value(type == AIProviderType::gemini ? "x-goog-api-key" : "authorization"),
                 type == AIProviderType::gemini ? "SECRET-KEY" : "Bearer SECRET-KEY");
    }

    // Everything sent is masked by the same rules (which forms: tst_privacy): the file name, every
    // metadata value, the excerpt and the template; the suggestion keeps each part as sent, which the explanation
    // shows.
    void everythingSentIsMasked()
    {
        configure(AIProviderType::claude, m_fx->llm.baseUrl());
        m_fx->settings.setOwnDetails({"Erika Mustermann"});
        const std::unique_ptr<AIProvider> provider = makeProvider(std::nullopt, m_fx->environment());
        const QString nameTemplate = "{datum} für erika.mustermann@example.com";
        const FileContext file =
            context("Erika_Mustermann_DE89370400440532013000.txt", "Ruf mich an: +49 (0)30 1234567 oder 030/7654321",
                    MetadataMap{{"from", "Erika Mustermann <erika.mustermann@example.com>"},
                                {"subject", "Rückzahlung auf DE89 3704 0044 0532 0130 00, Karte 4111 1111 1111 1111"}});
        const SuggestionResult result = awaitTask(provider->suggest(file, nameTemplate));
        QVERIFY(result);

        const QString prompt = LlmStub::userPrompt(m_fx->llm.server().requests().first());
        for (const QString secret : {"Mustermann", "DE89", "0532", "example", "1234567", "7654321", "4111"})
            QVERIFY2(!prompt.contains(secret), qPrintable(prompt));
        const QString sentName = "[Name]_[IBAN].txt";
        const QString sentMetadata = "from: [Name] <[E-Mail]>, subject: Rückzahlung auf [IBAN], Karte [Kartennummer]";
        QVERIFY2(prompt.startsWith("Originaler Dateiname: " + sentName + "\n"), qPrintable(prompt));
        QVERIFY2(prompt.contains("\nMetadaten: " + sentMetadata + "\n"), qPrintable(prompt));
        QVERIFY2(prompt.endsWith("Namenstemplate: {datum} für [E-Mail]\n"), qPrintable(prompt));
        // The prompt holds exactly the parts the suggestion records as sent.
        const std::optional<Privacy::MaskedPrompt> &sent = result->masked();
        QVERIFY(sent);
        QCOMPARE(PromptContract::buildUserPrompt(file, nameTemplate, sent), prompt);
        QCOMPARE(sent->fileName.text, sentName);
        QCOMPARE(sent->metadata.text, sentMetadata);
        QCOMPARE(PromptContract::maskSummary(sent->spans()),
                 "9 Angaben maskiert: 2 Name, 2 IBAN, 2 E-Mail, 1 Kartennummer, 2 Telefon");

        // Switched off for a provider, it sends the file as it is.
        m_fx->settings.setMaskPersonalData(false);
        QVERIFY(!awaitTask(provider->suggest(file, std::nullopt))->masked());
        QVERIFY(LlmStub::userPrompt(m_fx->llm.server().requests().last()).contains(file.fileName));
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

    void categoriesGoIntoTheSystemPrompt()
    {
        const QString bare = PromptContract::buildSystemPrompt({});
        const QString listed = PromptContract::buildSystemPrompt({"rechnung", "brief"});
        QCOMPARE(listed.count("rechnung, brief"), 1);
        QCOMPARE(QString(listed).remove("rechnung, brief"), bare);
    }

    void userPrompt()
    {
        QCOMPARE(PromptContract::buildUserPrompt(context("README", ""), std::nullopt),
                 "Originaler Dateiname: README\nDateityp: \n");
        // The source entry is the app's own record: a PDF with nothing else has no metadata line.
        QCOMPARE(PromptContract::buildUserPrompt(context("a.pdf", "", {{"source", "pdfkit"}}), QString()),
                 "Originaler Dateiname: a.pdf\nDateityp: pdf\nNamenstemplate: \n");
        const FileContext scan = context("scan_0042.PDF", "Zeile 1\nZeile 2", {{"source", "ocr"}, {"k", "v"}});
        QCOMPARE(PromptContract::buildUserPrompt(scan, QString("{datum}_{kategorie}")),
                 "Originaler Dateiname: scan_0042.PDF\nDateityp: pdf\nMetadaten: k: v\n"
                 "Inhalt (Auszug):\nZeile 1\nZeile 2\nNamenstemplate: {datum}_{kategorie}\n");

        // The excerpt counts user-perceived characters: 2000 of them, each two code points here.
        const QString text = QString::fromUtf8("a\xcc\x88").repeated(2500);
        const QString prompt = PromptContract::buildUserPrompt(context("x.txt", text), std::nullopt);
        QVERIFY(prompt.endsWith("Inhalt (Auszug):\n" + text.left(4000) + "\n"));
        const QString exact(2000, 'x');
        QVERIFY(PromptContract::buildUserPrompt(context("x.txt", exact), std::nullopt).endsWith(exact + "\n"));
    }

    void parseExtraction_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("fields"); // datum|kategorie|beschreibung|absender|betrag, "-" absent; "": none
        QTest::addColumn<double>("confidence");
        const auto row = [](const char *name, const QString &reply, const QString &fields, double confidence) {
            QTest::newRow(name) << reply << fields << confidence;
        };
        const QString object = R"({"datum":"2024-03-15","kategorie":"rechnung","beschreibung":"Mobilfunk",)"
                               R"("absender":"Telekom","betrag":"49.99","confidence":0.85})";
        const QString full = "2024-03-15|rechnung|Mobilfunk|Telekom|49.99";
        row("prose around", "Hier ist das Ergebnis: " + object + " Ich hoffe, das hilft.", full, 0.85);
        row("closing brace first", "} nichts {", "", 0.3);
        row("only confidence", R"({"confidence": 1})", "", 0.3);
        row("nulls and string confidence",
            R"({"datum": null, "kategorie": null, "beschreibung": "Stromrechnung", "confidence": "hoch"})",
            "-|-|Stromrechnung|-|-", 0.5);
        row("category only", R"({"kategorie": "rechnung"})", "-|rechnung||-|-", 0.5);
        row("name only", R"({"name": "Rechnung März", "confidence": 0.7})", "-|-|Rechnung März|-|-", 0.7);
        row("text null stays text", R"({"datum": "null", "beschreibung": " x "})", "null|-| x |-|-", 0.5);
        row("broken JSON", R"({"beschreibung": "x",})", "", 0.3);
        row("integer confidence", R"({"datum": "x", "confidence": 1})", "x|-||-|-", 1.0);
        row("empty", "", "", 0.3);
    }

    void parseExtraction()
    {
        QFETCH(QString, reply);
        QFETCH(QString, fields);
        const auto [extraction, confidence] = PromptContract::parseExtraction(reply);
        QTEST(confidence, "confidence");
        QCOMPARE(extraction.has_value(), !fields.isEmpty());
        if (!extraction)
            return;
        auto show = [](const std::optional<QString> &v) { return v.value_or("-"); };
        QCOMPARE(QStringList({show(extraction->datum), show(extraction->kategorie), extraction->beschreibung,
                              show(extraction->absender), show(extraction->betrag)})
                     .join('|'),
                 fields);
        QTEST(extraction->confidence, "confidence");
    }

    void fallbackSuggestion_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("name");
        const auto row = [](const char *name, const QString &reply, const QString &extension, const QString &result) {
            QTest::newRow(name) << reply << extension << result;
        };
        row("empty reply", "", "pdf", "unnamed.pdf");
        row("own extension, other case", "Rechnung_Telekom_2024-03.PDF", "pdf", "Rechnung_Telekom_2024-03.pdf");
        row("known extension cut", "foto.JPG", "pdf", "foto.pdf");
        row("first line only", "  Brief an Amt\nweitere Zeile", "txt", "Brief an Amt.txt");
        row("forbidden characters", "a/b:c\\d\"e*f?g<h>i|j", "pdf", "a-b-c-defghi-j.pdf");
        row("hyphen runs and trimming", "--- ._Notiz--- -- .x", "md", "Notiz- - .x.md");
        row("empty extension keeps the dot", "Keine Ahnung", "", "Keine Ahnung.");
        row("cut to 80 characters", QString(100, 'x'), "pdf", QString(80, 'x') + ".pdf");
    }

    void fallbackSuggestion()
    {
        QFETCH(QString, reply);
        QFETCH(QString, extension);
        const AISuggestion suggestion = PromptContract::makeSuggestion(reply, extension);
        QVERIFY(!suggestion.extraction());
        QCOMPARE(suggestion.confidence(), 0.3);
        QTEST(suggestion.name(), "name");
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
