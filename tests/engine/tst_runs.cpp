#include "automation/queuemanager.h"
#include "engine/analysisstarter.h"
#include "engineharness.h"
#include "settings/generalflags.h"

// How analysis runs on one engine start, stop, take turns and end when their owner goes away.
class TestRuns final : public QObject, EngineHarness
{
    Q_OBJECT

private Q_SLOTS:
    void init() { QVERIFY(setUpEngine()); }
    void cleanup() { tearDownEngine(); }

    void cancelEndsTheRunWithWhatIsDone()
    {
        // One fast file, the rest hang at the provider: cancel must not wait for them.
        const QList<QUrl> files = makeFiles("c", 12);
        m_fx->llm.setDelay(20'000);
        m_fx->llm.setDelay("c00.txt", 0);
        QCoro::Task<QList<RenameJob>> run = m_engine->analyze(files, std::nullopt);
        QTRY_COMPARE(m_engine->processedCount(), 1);
        QTRY_COMPARE(m_fx->llm.server().inFlight(), 4); // the free lane took the next file

        QElapsedTimer clock;
        clock.start();
        m_engine->cancel();
        awaitTask(std::move(run), 5000);
        QVERIFY2(clock.elapsed() < 5000, "the run waited for requests in flight");
        QVERIFY(!m_engine->isProcessing());
        QCOMPARE(m_engine->error(), QString("Analyse abgebrochen"));
        QCOMPARE(jobNames(), QStringList{"c00.txt"});
        QTest::qWait(300);
        QCOMPARE(m_fx->llm.server().requests().size(), 5); // and no further request goes out
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
        AnalysisStarter starter(*m_engine, m_fx->defaults);
        QSignalSpy asked(&starter, &AnalysisStarter::confirmationNeeded);
        QSignalSpy started(&starter, &AnalysisStarter::started);
        for (int i = 0; i <= AnalysisStarter::ConfirmAbove; ++i)
            touch(m_dir.filePath(QString("viele/%1.txt").arg(i)), "x");
        const QList<QUrl> many{QUrl::fromLocalFile(m_dir.filePath("viele"))};

        starter.start(makeFiles("frueh", 1)); // before the terms: kept, in order
        starter.start(many);
        QTest::qWait(100);
        QCOMPARE(starter.heldRequests(), 2);
        QVERIFY(started.isEmpty() && asked.isEmpty());
        GeneralFlags::acceptLegal(m_fx->defaults, QDateTime::currentDateTimeUtc());
        QTRY_COMPARE(asked.size(), 1);
        QCOMPARE(asked.first().first().value<qsizetype>(), AnalysisStarter::ConfirmAbove + 1);
        QCOMPARE(started.size(), 1); // the small request went ahead
        QTRY_VERIFY(!m_engine->isProcessing());
        QCOMPARE(jobNames(), QStringList{"frueh00.txt"});

        starter.confirm(false);
        starter.start(many);
        QTRY_COMPARE(asked.size(), 2);
        QSignalSpy withdrawn(&starter, &AnalysisStarter::questionWithdrawn);
        starter.stop();
        QCOMPARE(withdrawn.size(), 1);
        starter.confirm(true); // too late: nothing open
        QTest::qWait(100);
        QCOMPARE(started.size(), 1);
        QCOMPARE(m_fx->llm.server().requests().size(), 1);
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
        for (const QUrl &file : files)
            QVERIFY(!QFile::exists(file.toLocalFile()));
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
        auto queue = std::make_unique<QueueManager>([](const QString &, const QString &) {});
        queue->setEngine(m_engine.get());
        queue->enqueue(makeFiles("q", 3));
        QTRY_VERIFY(m_fx->llm.server().requests().size() >= waitForRequests + 1);
        queue.reset();
        m_engine.reset();
        QTest::qWait(600);
    }
};

QTEST_GUILESS_MAIN(TestRuns)
#include "tst_runs.moc"
