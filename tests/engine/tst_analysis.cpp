#include "enginefixture.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString touch(const QString &path, const QByteArray &content = "Rechnung Telekom 49,99 EUR")
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
    return path;
}

QList<QUrl> urls(const QStringList &paths)
{
    QList<QUrl> result;
    for (const QString &path : paths)
        result << QUrl::fromLocalFile(path);
    return result;
}

QStringList names(const QList<RenameJob> &jobs)
{
    QStringList result;
    for (const RenameJob &job : jobs)
        result << job.originalName() + " -> " + job.suggestedName;
    return result;
}

} // namespace

class TestAnalysis final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void nothingToAnalyse();
    void foldersAreExpanded();
    void repeatedPathsOnce();
    void unconfiguredProviderStopsTheRun();
    void ollamaProbe_data();
    void ollamaProbe();
    void fourAtATimeInInputOrder();
    void failuresAreSummarised();
    void fallbackNamesAreUsedVerbatim();

private:
    void analyze(const QStringList &paths);

    QTemporaryDir m_dir;
    std::unique_ptr<EngineFixture> m_fx;
    LlmStub *m_llm = nullptr;
    AISettings *m_settings = nullptr;
    RenameRules *m_rules = nullptr;
    std::unique_ptr<RenameEngine> m_engine;
};

void TestAnalysis::init()
{
    QVERIFY(m_dir.isValid());
    m_fx = std::make_unique<EngineFixture>();
    m_llm = &m_fx->llm;
    m_settings = &m_fx->settings;
    m_rules = &m_fx->rules;
    m_engine = m_fx->makeEngine();
}

void TestAnalysis::cleanup()
{
    m_engine.reset();
    m_fx.reset();
    QDir(m_dir.path()).removeRecursively();
    QDir().mkpath(m_dir.path());
}

void TestAnalysis::analyze(const QStringList &paths)
{
    awaitTask(m_engine->analyze(urls(paths), std::nullopt));
    QVERIFY(!m_engine->isProcessing());
}

void TestAnalysis::nothingToAnalyse()
{
    analyze({});
    analyze({m_dir.filePath("fehlt.pdf"), m_dir.filePath("auch/nicht")});
    QVERIFY(m_engine->jobs().isEmpty());
    QCOMPARE(m_engine->totalCount(), 0);
    QCOMPARE(m_engine->skippedDuplicates(), 0);
    QCOMPARE(m_engine->error(), std::nullopt);
    QVERIFY(m_llm->server().requests().isEmpty());
}

void TestAnalysis::foldersAreExpanded()
{
    const QString root = m_dir.filePath("eingang");
    touch(root + "/b.txt");
    touch(root + "/a/tief/c.txt");
    touch(root + "/.versteckt.txt");
    touch(root + "/.git/config.txt");
    touch(root + "/Programm.app/Contents/info.txt");
    const QString hidden = root + "/.versteckt.txt";

    analyze({root, hidden});
    QCOMPARE(m_engine->totalCount(), 3);
    QStringList paths;
    for (const RenameJob &job : m_engine->jobs())
        paths << QDir(root).relativeFilePath(job.originalPath());
    QCOMPARE(paths, (QStringList{"a/tief/c.txt", "b.txt", ".versteckt.txt"}));
    QCOMPARE(m_engine->jobs().first().suggestedName, QString("2024-03-15_rechnung_mobilfunk_maerz.txt"));
}

void TestAnalysis::repeatedPathsOnce()
{
    const QString folder = m_dir.filePath("doppelt");
    const QString a = touch(folder + "/a.txt");
    touch(folder + "/b.txt");
    analyze({a, folder, a});
    QCOMPARE(names(m_engine->jobs()).size(), 2);
    QCOMPARE(m_engine->jobs().at(0).originalPath(), a);
    QCOMPARE(m_llm->server().requests().size(), 2);
}

void TestAnalysis::unconfiguredProviderStopsTheRun()
{
    awaitTask(m_settings->setApiKey(""));
    QSignalSpy processing(m_engine.get(), &RenameEngine::isProcessingChanged);
    analyze({touch(m_dir.filePath("a.pdf"))});
    QCOMPARE(m_engine->error(), QString("OpenAI nicht konfiguriert (API Key fehlt)"));
    QVERIFY(m_engine->jobs().isEmpty());
    QVERIFY(m_llm->server().requests().isEmpty());
    QCOMPARE(processing.count(), 2); // on, then off
}

void TestAnalysis::ollamaProbe_data()
{
    QTest::addColumn<QString>("endpointSuffix"); // "refused": nothing listens
    QTest::addColumn<int>("tagsStatus");
    QTest::addColumn<QString>("error");
    QTest::newRow("reachable, trailing slash") << "/" << 200 << "";
    QTest::newRow("404 names the endpoint as configured") << "/" << 404 << "Ollama nicht erreichbar: Nicht erreichbar unter %1/";
    QTest::newRow("refused") << "refused" << 200 << "Ollama nicht erreichbar: Connection refused";
    QTest::newRow("no URL") << "invalid" << 200 << "Ollama nicht erreichbar: Ungültiger Endpoint";
}

void TestAnalysis::ollamaProbe()
{
    QFETCH(QString, endpointSuffix);
    QFETCH(int, tagsStatus);
    QFETCH(QString, error);
    m_settings->setProvider(AIProviderType::ollama);
    QString endpoint = m_llm->baseUrl() + endpointSuffix;
    if (endpointSuffix == "refused") {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        endpoint = QString("http://127.0.0.1:%1").arg(closed.serverPort());
    } else if (endpointSuffix == "invalid") {
        endpoint = "kein endpoint";
    }
    m_settings->setEndpoint(endpoint);
    m_llm->setTagsStatus(tagsStatus);

    analyze({touch(m_dir.filePath("a.pdf"))});
    QCOMPARE(m_engine->error().value_or(""), error.arg(m_llm->baseUrl()));
    QCOMPARE(m_engine->jobs().size(), error.isEmpty() ? 1 : 0);
    if (endpointSuffix == "/") {
        const RecordedRequest probe = m_llm->server().requests().first();
        QCOMPARE(probe.method, QByteArray("GET"));
        QCOMPARE(probe.path, QString("/api/tags"));
    }
}

void TestAnalysis::fourAtATimeInInputOrder()
{
    QStringList files;
    for (int i = 1; i <= 9; ++i)
        files << touch(m_dir.filePath(QString("datei%1.txt").arg(i)));
    m_llm->setDelay(150);
    m_llm->setDelay("datei1.txt", 700); // the first file finishes last
    QSignalSpy progress(m_engine.get(), &RenameEngine::progressChanged);

    analyze(files);
    QCOMPARE(m_llm->server().maxInFlight(), 4);
    QCOMPARE(m_engine->processedCount(), 9);
    QCOMPARE(m_engine->jobs().size(), 9);
    for (int i = 0; i < 9; ++i)
        QCOMPARE(m_engine->jobs().at(i).originalPath(), files.at(i));
    QSet<QString> firstFour; // files start in list order; the fifth only once one of these is done
    for (int i = 0; i < 4; ++i)
        firstFour << LlmStub::fileNameIn(LlmStub::userPrompt(m_llm->server().requests().at(i)));
    QCOMPARE(firstFour, (QSet<QString>{"datei1.txt", "datei2.txt", "datei3.txt", "datei4.txt"}));
    QCOMPARE(progress.count(), 10); // the reset, then one per file
    QCOMPARE(m_engine->error(), std::nullopt);
}

void TestAnalysis::failuresAreSummarised()
{
    QStringList files;
    for (const char *name : {"a.txt", "b.txt", "c.txt", "d.txt", "e.txt"})
        files << touch(m_dir.filePath(name));
    m_llm->setFailure("b.txt", 500);
    m_llm->setFailure("d.txt", 429);
    analyze(files);
    QCOMPARE(m_engine->error(), QString("2 von 5 fehlgeschlagen"));
    const RenameJob failed = m_engine->jobs().at(1);
    QCOMPARE(failed.suggestedName, QString("b.txt"));
    QCOMPARE(failed.confidence, 0.0);
    QVERIFY(failed.approved);
}

void TestAnalysis::fallbackNamesAreUsedVerbatim()
{
    m_rules->setMaxLength(5);
    m_llm->setReply("scan.PDF", "GROSS Geschrieben");
    m_llm->setReply("brief.TXT", R"({"beschreibung": "Brief Amt", "confidence": 0.8})");
    analyze({touch(m_dir.filePath("scan.PDF")), touch(m_dir.filePath("brief.TXT"))});
    QCOMPARE(names(m_engine->jobs()), (QStringList{"scan.PDF -> GROSS Geschrieben.pdf", "brief.TXT -> brief.txt"}));
    QCOMPARE(m_engine->jobs().at(0).confidence, 0.3);
}

QTEST_GUILESS_MAIN(TestAnalysis)
#include "tst_analysis.moc"
