#include "automation/queuemanager.h"
#include "engine/analysisstarter.h"
#include "engineharness.h"
#include "refusedport.h"
#include "settings/generalflags.h"

// Analysis on one engine: what it asks and suggests, and how runs start, stop, take turns and end
// when their owner goes away.
class TestAnalysis final : public QObject, EngineHarness
{
    Q_OBJECT

private Q_SLOTS:
    void init() { QVERIFY(setUpEngine()); }
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
            touch(root + "/" + file, file);
        QVERIFY(m_store->insert(NamingTemplate{0, "Belege", "{absender}_{betrag}", {}, true, {}}));
        // A path named again, or again inside a named folder, keeps the place where it came first.
        analyze({root + "/b.txt", root, root + "/.versteckt.txt", root + "/b.txt"});
        // Asked for no template, as the window, hand-overs and scripts may: the default one goes along.
        QVERIFY(
            LlmStub::userPrompt(m_fx->llm.server().requests().at(2)).endsWith("Namenstemplate: {absender}_{betrag}\n"));
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
        const RefusedPort closed;
        m_fx->settings.setProvider(AIProviderType::ollama);
        m_fx->settings.setEndpoint(endpoint == "refused"   ? QString("http://127.0.0.1:%1").arg(closed.port())
                                   : endpoint == "invalid" ? QString("kein endpoint")
                                                           : m_fx->llm.baseUrl() + endpoint);
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
            files << touch(m_dir.filePath(QString("datei%1.txt").arg(i)), "Rechnung " + QByteArray::number(i));
        m_fx->llm.setDelay(150);
        m_fx->llm.setDelay("datei1.txt", 700); // the first file finishes last
        m_fx->llm.setFailure("datei8.txt", 500);
        m_fx->llm.setFailure("datei9.txt", 429);
        QSignalSpy progress(m_engine.get(), &RenameEngine::progressChanged);
        QList<std::optional<QString>> notes; // the 500 is tried again, and the window hears of the wait
        connect(m_engine.get(), &RenameEngine::waitNoteChanged, this, [&] { notes << m_engine->waitNote(); });

        analyze(files);
        QCOMPARE(notes.first(), "Anbieter gestört, neuer Versuch in 1 s");
        QCOMPARE(notes.last(), std::nullopt);
        QCOMPARE(m_fx->llm.askedFiles().count("datei8.txt"), HTTPProvider::Tries);
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
        QVERIFY(!failed.approved); // nothing to apply: ticked, it would only be counted

        // Tried again after "select all", it takes the new result: a failed row holds nothing of the user's.
        m_engine->setAllApproved(true);
        m_fx->llm.clearFailure("datei8.txt");
        m_fx->llm.clearFailure("datei9.txt");
        analyze({files[7], files[8]});
        QCOMPARE(m_engine->jobs().size(), 9);
        QCOMPARE(m_engine->jobs().at(7).suggestedName, "2024-03-15_rechnung_mobilfunk_maerz.txt");
        QCOMPARE(m_engine->error(), std::nullopt);
    }

    // A reply without the fields gives its first line as the name, unticked: prose is no name to
    // apply with one click.
    void fallbackNamesAreUsedVerbatim()
    {
        m_fx->rules.setMaxLength(5);
        m_fx->llm.setReply("scan.PDF", "GROSS Geschrieben");
        m_fx->llm.setReply("brief.TXT", R"({"beschreibung": "Brief Amt", "confidence": 0.8})");
        analyze({touch(m_dir.filePath("scan.PDF"), "Scan"), touch(m_dir.filePath("brief.TXT"), "Brief")});
        QCOMPARE(m_engine->jobs().at(0).suggestedName, "GROSS Geschrieben.pdf");
        QCOMPARE(m_engine->jobs().at(0).confidence, 0.3);
        QVERIFY(!m_engine->jobs().at(0).approved);
        QCOMPARE(m_engine->jobs().at(1).suggestedName, "brief.txt");
        QVERIFY(m_engine->jobs().at(1).approved);
    }

    // A cloud service gets personal data masked, the local model by default as it is; both
    // checked against the text as it is. (That every part sent is masked: tst_providers.)
    void personalDataIsMaskedForCloudProviders()
    {
        for (const AIProviderType provider : {AIProviderType::openai, AIProviderType::ollama}) {
            m_fx->settings.setProvider(provider);
            m_fx->settings.setEndpoint(m_fx->llm.baseUrl());
            analyze({touch(m_dir.filePath(rawValue(provider) + ".txt"), "Vom 15.03.2024\nDE89370400440532013000")});
            const QString sent = LlmStub::userPrompt(m_fx->llm.server().requests().last());
            QCOMPARE(sent.contains("Vom 15.03.2024\n[IBAN]\n"), provider != AIProviderType::ollama);
            QCOMPARE(sent.contains("DE89370400440532013000"), provider == AIProviderType::ollama);
            QCOMPARE(m_engine->jobs().last().explanation->report.fields.first().passage, "15.03.2024");
        }
    }

    // The fields are kept by the file's bytes and what shapes the question: the same content
    // again, under any name, is answered without a request and still checked against its text;
    // prose and failures are not kept; another model asks again; cleared, it asks again.
    void repliesAreKeptByContentAndSettings()
    {
        const QString first = touch(m_dir.filePath("rechnung.txt"), "Rechnung vom 15.03.2024");
        m_fx->llm.setReply("prosa.txt", "Keine Ahnung");
        m_fx->llm.setFailure("kaputt.txt", 400);
        const QStringList others{touch(m_dir.filePath("prosa.txt"), "Prosa"),
                                 touch(m_dir.filePath("kaputt.txt"), "Kaputt")};
        analyze(QStringList{first} + others);

        const QString copy = m_dir.filePath("kopie/scan.txt");
        QVERIFY(QDir().mkpath(m_dir.filePath("kopie")) && QFile::copy(first, copy));
        analyze(QStringList{first, copy} + others);
        QStringList asked = m_fx->llm.askedFiles(); // in the order the lanes got to them
        asked.sort();
        QCOMPARE(asked, (QStringList{"kaputt.txt", "kaputt.txt", "prosa.txt", "prosa.txt", "rechnung.txt"}));
        QCOMPARE(jobNames(), (QStringList{"rechnung.txt", "prosa.txt", "kaputt.txt", "scan.txt"}));
        for (const RenameJob &job : {m_engine->jobs().first(), m_engine->jobs().last()}) {
            QVERIFY(job.explanation->fromCache);
            QCOMPARE(job.suggestedName, "2024-03-15_rechnung_mobilfunk_maerz.txt");
            QCOMPARE(job.explanation->report.fields.first().passage, "15.03.2024");
            QVERIFY(job.explanation->masked); // what the cloud provider was sent the first time
        }
        QVERIFY(!m_engine->jobs().at(1).explanation->fromCache);

        m_fx->settings.setModel("gpt-anders");
        analyze({copy});
        QCOMPARE(m_fx->llm.askedFiles().last(), "scan.txt");
        QCOMPARE(m_store->clearCachedReplies(), 2);
        m_fx->settings.setModel({});
        analyze({copy});
        QCOMPARE(m_fx->llm.askedFiles().size(), 7);
        QVERIFY(!m_engine->jobs().last().explanation->fromCache);
    }

    void cancelEndsTheRunWithWhatIsDone()
    {
        // One fast file, the rest hang at the provider past awaitTask's patience: cancel must not wait.
        const QList<QUrl> files = makeFiles("c", 12);
        m_fx->llm.setDelay(60'000);
        m_fx->llm.setDelay("c00.txt", 0);
        QCoro::Task<QList<RenameJob>> run = m_engine->analyze(files, std::nullopt);
        QTRY_COMPARE(m_engine->processedCount(), 1);
        QTRY_COMPARE(m_fx->llm.server().inFlight(), 4); // the free lane took the next file

        m_engine->cancel();
        awaitTask(std::move(run));
        QCOMPARE(m_engine->error(), QString("Analyse abgebrochen"));
        QCOMPARE(jobNames(), QStringList{"c00.txt"});
        // No further request of it goes out: the next run's is the next one asked.
        m_fx->llm.setDelay("d00.txt", 0);
        awaitTask(m_engine->analyze(makeFiles("d", 1), std::nullopt));
        QCOMPARE(m_fx->llm.askedFiles().mid(5), QStringList{"d00.txt"});
    }

    void cancelReachesRunsWaitingTheirTurn()
    {
        m_fx->llm.setDelay(300);
        QCoro::Task<QList<RenameJob>> first = m_engine->analyze(makeFiles("a", 2), std::nullopt);
        QCoro::Task<QList<RenameJob>> second = m_engine->analyze(makeFiles("b", 2), std::nullopt);
        QTRY_VERIFY(m_fx->llm.server().requests().size() >= 1);
        m_engine->cancel();
        awaitTask(std::move(first));
        awaitTask(std::move(second));
        QVERIFY(!m_engine->isProcessing());
        QCOMPARE(m_engine->error(), QString("Analyse abgebrochen"));
        for (const QString &asked : m_fx->llm.askedFiles())
            QVERIFY(!asked.startsWith('b'));

        // A run started after the cancel is not affected by it.
        m_fx->llm.setDelay(0);
        awaitTask(m_engine->analyze(makeFiles("d", 1), std::nullopt));
        QCOMPARE(m_engine->jobs().size(), 1);
        QCOMPARE(m_engine->error(), std::nullopt);
    }

    // The safeguards every face starts runs through: the terms first, a question above 500 files.
    void starterWaitsForTheTermsAndAsksForMany()
    {
        GeneralFlags::hasAcceptedLegal.write(m_fx->defaults, false);
        AnalysisStarter starter(*m_engine, m_fx->defaults);
        QSignalSpy asked(&starter, &AnalysisStarter::confirmationNeeded);
        QSignalSpy started(&starter, &AnalysisStarter::started);
        for (int i = 0; i <= AnalysisStarter::ConfirmAbove; ++i)
            touch(m_dir.filePath(QString("viele/%1.txt").arg(i)), "x");
        const QList<QUrl> many{QUrl::fromLocalFile(m_dir.filePath("viele"))};

        starter.start(makeFiles("frueh", 1)); // before the terms: kept, in order
        starter.start(many);
        QCOMPARE(starter.heldRequests(), 2);
        QVERIFY(started.isEmpty() && asked.isEmpty());
        GeneralFlags::acceptLegal(m_fx->defaults, QDateTime::currentDateTimeUtc());
        QTRY_COMPARE(asked.size(), 1);
        QCOMPARE(starter.openQuestion()->count, AnalysisStarter::ConfirmAbove + 1);
        QTRY_COMPARE(started.size(), 1);                      // the small request went ahead, its count may come second
        QTRY_COMPARE(jobNames(), QStringList{"frueh00.txt"}); // "started" may come before the run is under way

        starter.confirm(false);
        starter.start(many);
        QTRY_COMPARE(asked.size(), 2);
        QSignalSpy withdrawn(&starter, &AnalysisStarter::questionWithdrawn);
        starter.stop();
        QCOMPARE(withdrawn.size(), 1);
        starter.confirm(true); // too late: nothing open, and a run starts only there
        QCOMPARE(started.size(), 1);
        QCOMPARE(m_fx->llm.server().requests().size(), 1);
    }

    // Above 50 files to a cloud provider the question states the estimate, to a local one none is
    // asked; once the month's budget is spent any run to a cloud provider asks first, and may go on.
    // The run is of the files counted: the folder is not walked again.
    void starterStatesTheCostOfACloudRun()
    {
        AnalysisStarter starter(*m_engine, m_fx->defaults);
        QSignalSpy asked(&starter, &AnalysisStarter::confirmationNeeded);
        QSignalSpy started(&starter, &AnalysisStarter::started);
        for (int i = 0; i <= AnalysisStarter::EstimateAbove; ++i)
            touch(m_dir.filePath(QString("kosten/%1.txt").arg(i)), QByteArray(i == 0 ? 100 : 3000, 'x'));
        const QList<QUrl> folder{QUrl::fromLocalFile(m_dir.filePath("kosten"))};
        starter.start(folder);
        QTRY_COMPARE(asked.size(), 1);
        QCOMPARE(starter.openQuestion()->count, 51);
        QCOMPARE(starter.openQuestion()->estimate->describe(), "≈ 51 Dateien, ≈ 49.301 Tokens, ≈ 0,13 €");
        QCOMPARE(starter.openQuestion()->budgetReached, std::nullopt);
        touch(m_dir.filePath("kosten/0-spaet.txt"), "nach der Frage");
        starter.confirm(true);
        QTRY_COMPARE(m_engine->jobs().size(), 51); // published at once, at the run's end
        QCOMPARE(jobNames().first(), "0.txt");
        QVERIFY(!jobNames().contains("0-spaet.txt"));

        m_fx->settings.setProvider(AIProviderType::ollama);
        m_fx->settings.setEndpoint(m_fx->llm.baseUrl());
        starter.start(folder);
        QTRY_COMPARE(started.size(), 2);
        QTRY_VERIFY(!m_engine->isProcessing());
        QCOMPARE(asked.size(), 1);

        m_fx->settings.setProvider(AIProviderType::openai);
        m_fx->ledger.setMonthlyBudget(0.01);
        m_fx->ledger.addUsage(AIProviderType::openai, 10'000, 0);
        starter.start(makeFiles("budget", 1));
        QTRY_COMPARE(asked.size(), 2);
        QVERIFY(!starter.openQuestion()->estimate);
        QCOMPARE(starter.openQuestion()->budgetReached, m_fx->ledger.budgetReached());
        starter.confirm(true);
        QTRY_COMPARE(started.size(), 3);
    }

    void overlappingRunsTakeTurns()
    {
        m_fx->llm.setDelay(150);
        QSignalSpy processing(m_engine.get(), &RenameEngine::isProcessingChanged);
        QList<QStringList> published;
        connect(m_engine.get(), &RenameEngine::jobsChanged, this, [&] {
            if (!m_engine->jobs().isEmpty())
                published << jobNames();
        });
        QCoro::Task<QList<RenameJob>> first = m_engine->analyze(makeFiles("a", 5), std::nullopt);
        QCoro::Task<QList<RenameJob>> second = m_engine->analyze(makeFiles("b", 2), std::nullopt);
        awaitTask(std::move(first));
        QVERIFY(m_engine->isProcessing()); // the second run is still to come
        const QList<RenameJob> own = awaitTask(std::move(second));

        // Each run adds its results to the review and returns only its own.
        const QStringList firstNames{"a00.txt", "a01.txt", "a02.txt", "a03.txt", "a04.txt"};
        QCOMPARE(published.size(), 2);
        QCOMPARE(published.at(0), firstNames);
        QCOMPARE(published.at(1), firstNames + QStringList({"b00.txt", "b01.txt"}));
        QCOMPARE(own.size(), 2);
        QCOMPARE(own.last().originalName(), "b01.txt");
        QCOMPARE(processing.size(), 2); // true once, false once: one stretch of work
        QVERIFY(!m_engine->isProcessing());
        QStringList asked = m_fx->llm.askedFiles();
        for (QString &name : asked)
            name.truncate(1);
        QCOMPARE(asked.join(QString()), "aaaaabb");
    }

    void applyWaitsForTheRunningAnalysis()
    {
        m_fx->llm.setDelay(100);
        const QList<QUrl> files = makeFiles("f", 3);
        QCoro::Task<QList<RenameJob>> run = m_engine->analyze(files, std::nullopt);
        const QList<RenameRecord> records = awaitTask(m_engine->applyApproved());
        awaitTask(std::move(run));
        QCOMPARE(records.size(), 3);
        QVERIFY(QFile::exists(m_dir.filePath("2024-03-15_rechnung_mobilfunk_maerz.txt")));
    }

    void ownerGoneMidRunEndsQuietly_data()
    {
        QTest::addColumn<int>("waitForRequests");
        QTest::newRow("during the walk") << 0;
        QTest::newRow("with requests in flight") << 2;
    }

    void ownerGoneMidRunEndsQuietly()
    {
        QFETCH(int, waitForRequests);
        m_fx->llm.setDelay(200);
        QCoro::Task<QList<RenameJob>> run = m_engine->analyze(makeFiles("g", 6), std::nullopt);
        QTRY_VERIFY(m_fx->llm.server().requests().size() >= waitForRequests);
        m_engine.reset();
        QTest::qWait(600); // replies, aborts and workers resume into the gone engine's run
        QCoro::Task<QList<RenameJob>> dropped = std::move(run);
        Q_UNUSED(dropped);

        // The same for a queue whose batch is under way on its own engine.
        m_engine = m_fx->makeEngine();
        auto queue = std::make_unique<QueueManager>(
            m_fx->defaults, [](const QString &, const QString &, const QList<DesktopNotifier::Action> &) {});
        queue->setEngine(m_engine.get());
        queue->enqueue(makeFiles("q", 3));
        QTRY_VERIFY(m_fx->llm.server().requests().size() >= waitForRequests + 1);
        queue.reset();
        m_engine.reset();
        QTest::qWait(600);
    }
};

QTEST_GUILESS_MAIN(TestAnalysis)
#include "tst_analysis.moc"
