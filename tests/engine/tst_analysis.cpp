#include "engineharness.h"

class TestAnalysis final : public QObject, EngineHarness
{
    Q_OBJECT

private Q_SLOTS:
    void init() { QVERIFY(setUpEngine(false)); }
    void cleanup() { tearDownEngine(); }

    void nothingToAnalyse()
    {
        analyze({});
        analyze({m_dir.filePath("fehlt.pdf"), m_dir.filePath("auch/nicht")});
        QVERIFY(m_engine->jobs().isEmpty());
        QCOMPARE(m_engine->totalCount(), 0);
        QCOMPARE(m_engine->skippedDuplicates(), 0);
        QCOMPARE(m_engine->error(), std::nullopt);
        QVERIFY(m_fx->llm.server().requests().isEmpty());
    }

    void foldersAreExpandedAndPathsTakenOnce()
    {
        const QString root = m_dir.filePath("eingang");
        for (const char *file :
             {"b.txt", "a/tief/c.txt", ".versteckt.txt", ".git/config.txt", "Programm.app/Contents/info.txt"})
            touch(root + "/" + file);
        // A path named again, or again inside a named folder, keeps the place where it came first.
        analyze({root + "/b.txt", root, root + "/.versteckt.txt", root + "/b.txt"});
        QCOMPARE(m_engine->totalCount(), 3);
        QCOMPARE(m_fx->llm.server().requests().size(), 3);
        QCOMPARE(jobNames(), (QStringList{"b.txt", "c.txt", ".versteckt.txt"}));
        QCOMPARE(m_engine->jobs().first().suggestedName, "2024-03-15_rechnung_mobilfunk_maerz.txt");
        QCOMPARE(m_engine->error(), std::nullopt);
    }

    void unconfiguredProviderStopsTheRun()
    {
        awaitTask(m_fx->settings.setApiKey(""));
        QSignalSpy processing(m_engine.get(), &RenameEngine::isProcessingChanged);
        analyze({touch(m_dir.filePath("a.pdf"))});
        QCOMPARE(m_engine->error(), "OpenAI nicht eingerichtet (API-Schlüssel fehlt)");
        QVERIFY(m_engine->jobs().isEmpty());
        QVERIFY(m_fx->llm.server().requests().isEmpty());
        QCOMPARE(processing.count(), 2); // on, then off
    }

    void ollamaProbe_data()
    {
        QTest::addColumn<QString>("endpoint"); // appended to the stub's URL; "refused": nothing listens
        QTest::addColumn<int>("tagsStatus");
        QTest::addColumn<QString>("error");
        QTest::newRow("reachable, trailing slash") << "/" << 200 << "";
        QTest::newRow("404 names the endpoint as configured")
            << "/" << 404 << "Ollama nicht erreichbar: Nicht erreichbar unter %1/";
        QTest::newRow("refused") << "refused" << 200 << "Ollama nicht erreichbar: Verbindung abgelehnt";
        QTest::newRow("no URL") << "invalid" << 200 << "Ollama nicht erreichbar: Ungültiger Endpoint";
    }

    void ollamaProbe()
    {
        QFETCH(QString, endpoint);
        QFETCH(int, tagsStatus);
        QFETCH(QString, error);
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        m_fx->settings.setProvider(AIProviderType::ollama);
        m_fx->settings.setEndpoint(endpoint == "refused"   ? QString("http://127.0.0.1:%1").arg(closed.serverPort())
                                   : endpoint == "invalid" ? QString("kein endpoint")
                                                           : m_fx->llm.baseUrl() + endpoint);
        closed.close();
        m_fx->llm.setTagsStatus(tagsStatus);

        analyze({touch(m_dir.filePath("a.pdf"))});
        QCOMPARE(m_engine->error().value_or(""), error.arg(m_fx->llm.baseUrl()));
        QCOMPARE(m_engine->jobs().size(), error.isEmpty() ? 1 : 0);
        if (endpoint == "/") {
            const RecordedRequest probe = m_fx->llm.server().requests().first();
            QCOMPARE(probe.method + " " + probe.path.toUtf8(), "GET /api/tags");
        }
    }

    void fourAtATimeInOrderFailuresCounted()
    {
        QStringList files;
        for (int i = 1; i <= 9; ++i)
            files << touch(m_dir.filePath(QString("datei%1.txt").arg(i)));
        m_fx->llm.setDelay(150);
        m_fx->llm.setDelay("datei1.txt", 700); // the first file finishes last
        m_fx->llm.setFailure("datei8.txt", 500);
        m_fx->llm.setFailure("datei9.txt", 429);
        QSignalSpy progress(m_engine.get(), &RenameEngine::progressChanged);

        analyze(files);
        QCOMPARE(m_fx->llm.server().maxInFlight(), 4);
        QCOMPARE(m_engine->processedCount(), 9);
        QCOMPARE(m_engine->jobs().size(), 9);
        // Files start in list order; the fifth only once one of these is done.
        const QStringList asked = m_fx->llm.askedFiles();
        QCOMPARE(QSet<QString>(asked.begin(), asked.begin() + 4),
                 (QSet<QString>{"datei1.txt", "datei2.txt", "datei3.txt", "datei4.txt"}));
        QCOMPARE(progress.count(), 10); // the reset, then one per file
        QCOMPARE(m_engine->error(), "2 von 9 fehlgeschlagen");
        // In list order although the first file finished last; a failed file keeps its name there.
        const RenameJob failed = m_engine->jobs().at(7);
        QCOMPARE(failed.suggestedName, "datei8.txt");
        QCOMPARE(failed.confidence, 0.0);
        QVERIFY(failed.approved);
    }

    // A reply without the fields gives its first line as the name, unticked: prose is no name to
    // apply with one click.
    void fallbackNamesAreUsedVerbatim()
    {
        m_fx->rules.setMaxLength(5);
        m_fx->llm.setReply("scan.PDF", "GROSS Geschrieben");
        m_fx->llm.setReply("brief.TXT", R"({"beschreibung": "Brief Amt", "confidence": 0.8})");
        analyze({touch(m_dir.filePath("scan.PDF")), touch(m_dir.filePath("brief.TXT"))});
        QCOMPARE(m_engine->jobs().at(0).suggestedName, "GROSS Geschrieben.pdf");
        QCOMPARE(m_engine->jobs().at(0).confidence, 0.3);
        QVERIFY(!m_engine->jobs().at(0).approved);
        QCOMPARE(m_engine->jobs().at(1).suggestedName, "brief.txt");
        QVERIFY(m_engine->jobs().at(1).approved);
    }
};

QTEST_GUILESS_MAIN(TestAnalysis)
#include "tst_analysis.moc"
