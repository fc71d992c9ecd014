#include "engine/filemoves.h"
#include "engine/filework.h"
#include "engine/renamebatch.h"
#include "engine/reviewkeeper.h"
#include "engine/undo.h"
#include "engineharness.h"
#include "oldschema.h"

namespace {

RenameJob job(const QString &path, const QString &name, bool approved = true)
{
    RenameJob job;
    job.originalURL = QUrl::fromLocalFile(path);
    job.suggestedName = name;
    job.confidence = 0.8;
    job.approved = approved;
    return job;
}

int setTimes(const QString &path, const struct timespec *times) // access and modification
{
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0);
}

RenameRecord record(const QString &original, const QString &renamed, bool reverted = false,
                    const QDateTime &when = QDateTime::currentDateTimeUtc())
{
    const QString from = QFileInfo(original).fileName(), to = QFileInfo(renamed).fileName();
    return {0, original, renamed, from, to, when, "OpenAI", 0.9, reverted, {}};
}

} // namespace

class TestApply final : public QObject, EngineHarness
{
    Q_OBJECT

private Q_SLOTS:
    void init() { QVERIFY(setUpEngine()); }
    void cleanup() { tearDownEngine(); }

    void freeNamesNeverOverwriteAndKeepDatesAndProvider()
    {
        const QString a = touch(path("a.pdf"), "A"), b = touch(path("b.pdf"), "B"), c = touch(path("c"), "C");
        touch(path("Rechnung.pdf"), "old");
        touch(path("Notiz"), "old note");
        const QString d = touch(path("quelle.txt"), "D");
        touch(path("X.txt"));
        for (int n = 2; n < 100; ++n) // every numbered name taken: a random suffix
            touch(path(QString("X-%1.txt").arg(n)));
        const struct timespec times[2] = {{1600000000, 123456789}, {1500000000, 987654321}};
        QCOMPARE(setTimes(a, times), 0);
        m_fx->settings.setProvider(AIProviderType::gemini); // switched between analysis and applying

        const QList<RenameRecord> records =
            apply({job(a, "Rechnung.pdf"), job(b, "Rechnung.pdf"), job(c, "Notiz"), job(d, "X.txt")});
        QCOMPARE(records.size(), 4);
        QCOMPARE(QStringList({records[0].newName, records[1].newName, records[2].newName}),
                 QStringList({"Rechnung-2.pdf", "Rechnung-3.pdf", "Notiz-2."}));
        QVERIFY2(QRegularExpression("^X-[0-9A-F]{6}\\.txt$").match(records[3].newName).hasMatch(),
                 qPrintable(records[3].newName));
        QCOMPARE((QByteArrayList{contentOf(path("Rechnung.pdf")), contentOf(path("Rechnung-2.pdf")),
                                 contentOf(path("Rechnung-3.pdf")), contentOf(records[3].newPath)}),
                 (QByteArrayList{"old", "A", "B", "D"}));
        QCOMPARE(m_store->fetchRecords()->size(), 4);
        QCOMPARE(m_engine->error(), std::nullopt);

        const auto after = FileMoves::modificationTime(path("Rechnung-2.pdf")).value();
        QCOMPARE(std::pair(after.seconds, after.nanoseconds), std::pair(qint64(1500000000), qint64(987654321)));
        QCOMPARE(
            std::tuple(records[0].providerUsed, records[0].originalPath, records[0].confidence, records[0].reverted),
            std::tuple(QString("Gemini"), a, 0.8, false));
    }

    void namesLongerThanTheFileSystemAllowsAreCutAtCharacters()
    {
        // 80 characters of Hindi are 960 bytes; a name may have 255.
        const QString syllable = QString::fromUtf8("\u0915\u094D\u0937\u093F"); // one character, four code points
        const QString name = syllable.repeated(80) + ".pdf";
        const QList<RenameRecord> records = apply({job(touch(path("a.pdf")), name), job(touch(path("b.pdf")), name)});
        QCOMPARE(records.size(), 2);
        for (const QString suffix : {".pdf", "-2.pdf"}) {
            const QString renamed = records.at(suffix == QString(".pdf") ? 0 : 1).newName;
            const QString base = renamed.chopped(suffix.size());
            QVERIFY2(renamed.endsWith(suffix) && renamed.toUtf8().size() <= 255, qPrintable(renamed));
            QCOMPARE(base, syllable.repeated(base.size() / syllable.size())); // whole characters only
            QVERIFY(renamed.toUtf8().size() + 12 > 255);                      // and not shorter than needed
            QVERIFY(QFile::exists(path(renamed)));
        }
    }

    void skippedAndRefusedJobs()
    {
        const QString same = touch(path("gleich.txt")), unapproved = touch(path("nein.txt"));
        const QString sneaky = touch(path("boese.txt"), "bleibt");
        const QList<RenameRecord> records =
            apply({job(same, "gleich.txt"), job(unapproved, "ja.txt", false), job(sneaky, "../ausbruch.txt"),
                   job(sneaky, ".."), job(sneaky, QString("a") + QChar(0) + "b")});
        QVERIFY(records.isEmpty());
        QCOMPARE(m_engine->error(), QString("Ungültiger Dateiname: a") + QChar(0) + "b");
        QCOMPARE(contentOf(sneaky), "bleibt");
        QVERIFY(!QFile::exists(m_dir.filePath("ausbruch.txt")));
        QVERIFY(QFile::exists(unapproved));
        QVERIFY(m_store->fetchRecords()->isEmpty()); // a file gone meanwhile: tst_apiendtoend

        // No rename without history.
        m_engine->setStore(nullptr);
        QVERIFY(apply({job(same, "b.txt")}).isEmpty());
        QVERIFY(QFile::exists(same));
        QVERIFY(m_engine->error().has_value());
    }

    // The review list outlives the engine: rows, edits, ticks and what each file was at its analysis;
    // a file changed meanwhile is still refused, a file gone leaves the list.
    void reviewComesBackAfterARestart()
    {
        m_fx->llm.setReply("notiz.txt", LlmStub::letterReply("Notiz"));
        const QString kept = touch(path("gleich.txt")), changed = touch(path("geaendert.txt")),
                      gone = touch(path("weg.txt")), unsure = touch(path("notiz.txt"), "ohne Datum");
        analyze({kept, changed, gone, unsure});
        QVERIFY(m_engine->editJob(m_engine->jobs().at(0).id, QString("von_hand.txt"), false));
        QList<RenameJob> before = m_engine->jobs();
        {
            ReviewKeeper keeper(*m_engine, *m_store);
            keeper.flush();
        }
        m_engine = m_fx->makeEngine();
        m_engine->setStore(m_store.get());
        QVERIFY(QFile::remove(gone));
        touch(changed, "ein anderes Dokument");
        ReviewKeeper keeper(*m_engine, *m_store);
        keeper.restore();
        before.removeAt(2);
        QCOMPARE(m_engine->jobs().size(), 3);
        for (qsizetype i = 0; i < before.size(); ++i) {
            const RenameJob &was = before[i], &is = m_engine->jobs()[i];
            QCOMPARE(is.id, was.id);
            QCOMPARE(is.suggestedName, was.suggestedName);
            QCOMPARE(is.approved, was.approved);
            QCOMPARE(is.editedByUser, was.editedByUser);
            QCOMPARE(is.unverified, was.unverified);
            QCOMPARE(is.analysed, was.analysed);
        }
        QVERIFY(!m_engine->jobs()[2].unverified.isEmpty()); // "ohne Datum": the date is not in it

        m_engine->setAllApproved(true);
        const QList<RenameRecord> records = awaitTask(m_engine->applyApproved());
        QCOMPARE(records.size(), 2);
        QCOMPARE(m_engine->lastApplyFailures().value(0).reason, "Datei seit der Analyse verändert: geaendert.txt");
        QVERIFY(QFile::exists(path("von_hand.txt")) && QFile::exists(changed));
        keeper.flush();
        QCOMPARE(m_store->reviewRows()->size(), 1); // the refused row stays for the user
    }

    void filesChangedSinceTheAnalysisKeepTheirNames()
    {
        const QString same = touch(path("gleich.txt")), replaced = touch(path("ersetzt.txt"));
        const QString grown = touch(path("wachsend.txt"));
        analyze({same, replaced, grown});
        QVERIFY(QFile::remove(replaced));
        touch(replaced, "ein anderes Dokument");
        QFile appended(grown);
        QVERIFY(appended.open(QIODevice::Append) && appended.write(", zweite Seite") > 0);
        appended.close();

        const QList<RenameRecord> records = awaitTask(m_engine->applyApproved());
        QCOMPARE(records.size(), 1);
        QCOMPARE(records.first().originalName, "gleich.txt");
        QStringList reasons;
        for (const auto &failure : m_engine->lastApplyFailures())
            reasons << failure.reason;
        QCOMPARE(reasons, (QStringList{"Datei seit der Analyse verändert: ersetzt.txt",
                                       "Datei seit der Analyse verändert: wachsend.txt"}));
        QCOMPARE(jobNames(), (QStringList{"ersetzt.txt", "wachsend.txt"})); // the failed rows stay, marked
        QCOMPARE(m_engine->jobs().first().applyFailure, reasons.first());
        QCOMPARE(contentOf(replaced), "ein anderes Dokument");
        QCOMPARE(contentOf(grown), "Rechnung Telekom vom 15.03.2024 49,99 EUR, zweite Seite");
    }

    void revertMovesOnlyTheRenamedFile_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("refusal"); // none: reverted
        const QString other = "An diesem Namen liegt inzwischen eine andere Datei: " + path("rechnung.pdf"), none;
        QTest::newRow("unchanged") << "none" << none;
        QTest::newRow("former name taken")
            << "former taken" << QString("Eine Datei mit diesem Namen existiert bereits");
        // Another file renamed onto it, a rewrite or a touch fail the same ctime and identity checks as
        // this one; the ctime alone: tst_crashsafety.
        QTest::newRow("deleted, new file written (inode reused or not)") << "written" << other;
        QTest::newRow("record of the schema before identities") << "old schema" << none;
    }

    void revertMovesOnlyTheRenamedFile()
    {
        QFETCH(QString, change);
        QFETCH(QString, refusal);
        const QString file = touch(path("scan.pdf"), "S"), renamed = path("rechnung.pdf");
        const struct timespec past[2] = {{1500000000, 0}, {1500000000, 0}}; // unlike any new file's time
        QCOMPARE(setTimes(file, past), 0);
        RenameRecord record = apply({job(file, "rechnung.pdf")}).first();
        QCOMPARE(record.identity, FileChecks::identity(renamed));

        if (change == "former taken") {
            touch(file, "Neue Datei");
        } else if (change == "written") { // same size: a reused inode differs in its time alone
            QVERIFY(QFile::remove(renamed));
            touch(renamed, "N");
        } else if (change == "old schema") {
            m_engine->setStore(nullptr);
            m_store.reset();
            QVERIFY(downgradeStore(m_dir.filePath("db/namorix.sqlite"), 2));
            m_store = std::move(ObjectStore::open(m_dir.filePath("db/namorix.sqlite")).value());
            m_engine->setStore(m_store.get());
            record = m_store->fetchRecord(record.id).value();
            QCOMPARE(record.identity, std::nullopt);
        }
        const QByteArrayList before = {contentOf(file), contentOf(renamed)};
        const auto there = FileChecks::identity(renamed);

        const auto reverted = Undo::revert(m_store.get(), record);
        QCOMPARE(reverted ? QString() : reverted.error().message(), refusal);
        QCOMPARE(record.reverted, refusal.isEmpty());
        QCOMPARE(m_store->fetchRecord(record.id)->reverted, refusal.isEmpty());
        if (refusal.isEmpty()) {
            QCOMPARE(contentOf(file), "S");
            QVERIFY(record.revertedAt);
        } else { // nothing moved
            QCOMPARE((QByteArrayList{contentOf(file), contentOf(renamed)}), before);
            QCOMPARE(FileChecks::identity(renamed), there);
        }
        // A renamed file that is gone: tst_historyview reverts one through the history.
    }

    void revertLastUndoesTheNewestBatch()
    {
        QCOMPARE(Undo::revertLast(m_store.get())->reverted, 0); // empty history
        const RenameRecord older = apply({job(touch(path("alt.txt"), "0"), "frueher.txt")}).first();
        const QList<RenameRecord> batch =
            apply({job(touch(path("a.txt"), "A"), "eins.txt"), job(touch(path("b.txt"), "B"), "zwei.txt"),
                   job(touch(path("c.txt"), "C"), "drei.txt")});
        QCOMPARE((QList<qint64>{batch[0].batch, batch[1].batch, batch[2].batch}), QList<qint64>(3, batch[0].id));
        QVERIFY(older.batch != batch.first().batch);
        QCOMPARE((*m_store->lastBatch())->files, 3);
        QVERIFY(QFile::remove(path("zwei.txt"))); // replaced meanwhile
        touch(path("zwei.txt"), "N");

        const Undo::Outcome undone = Undo::revertLast(m_store.get()).value();
        QCOMPARE(undone.reverted, 2);
        QCOMPARE(undone.failures.size(), 1);
        QCOMPARE(undone.failures.first().second.message(),
                 "An diesem Namen liegt inzwischen eine andere Datei: " + path("zwei.txt"));
        QCOMPARE(undone.lastReverted->originalName, "a.txt"); // newest first
        QCOMPARE((QByteArrayList{contentOf(path("a.txt")), contentOf(path("zwei.txt")), contentOf(path("c.txt")),
                                 contentOf(path("frueher.txt"))}),
                 (QByteArrayList{"A", "N", "C", "0"}));
        QCOMPARE((*m_store->lastBatch())->files, 1); // the refused one is still to undo

        // Newest first within a batch: a name the newer record freed is the older one's new name.
        const QDateTime now = QDateTime::currentDateTimeUtc();
        const QList<qint64> chain =
            m_store
                ->insert({record(path("x1.txt"), path("x2.txt"), false, now.addSecs(-2)),
                          record(path("x2.txt"), touch(path("x3.txt"), "X"), false, now.addSecs(-1))})
                .value();
        QCOMPARE(Undo::revertBatch(m_store.get(), chain.first())->reverted, 2);
        QCOMPARE(contentOf(path("x1.txt")), "X");
    }

    void historyFiltersAnalysis()
    {
        QList<QUrl> urls;
        for (const char *name : {"a.txt", "b.txt", "c.txt", "d.txt", "e.txt", "f.txt"})
            urls << QUrl::fromLocalFile(touch(path(name), name));
        QVERIFY(m_store->insert(record(path("alt.txt"), path("a.txt"))));
        QVERIFY(m_store->insert(record(path("b.txt"), path("x.txt"), true))); // reverted: no longer blocks

        m_fx->llm.setFailure("c.txt", 500);
        m_fx->llm.setFailure("d.txt", 500);
        awaitTask(m_engine->analyze(urls, std::nullopt));
        QCOMPARE(m_engine->totalCount(), 5);
        QCOMPARE(m_engine->skippedDuplicates(), 1);
        QCOMPARE(m_engine->error(), "2 von 5 fehlgeschlagen. 1 übersprungen (bereits in History)");
        QCOMPARE(m_engine->shownError(), "2 von 5 fehlgeschlagen. 1 übersprungen (schon umbenannt, steht im Verlauf)");

        QVERIFY(m_store->insert(record(path("alt2.txt"), path("b.txt"))));
        const QStringList reviewed = jobNames();
        awaitTask(m_engine->analyze(urls.first(2), std::nullopt));
        QCOMPARE(m_engine->error(), "2 Dateien übersprungen (bereits umbenannt)");
        QCOMPARE(jobNames(), reviewed); // a run that adds nothing leaves the review as it was
    }

    void interruptedRenamesAreSettled()
    {
        // A crash between the history write and the move, one between the move and the
        // confirmation, one before a move whose destination another program took meanwhile, and
        // one whose planned file is gone and whose new name holds another.
        const QString moved = touch(path("schon-neu.txt"));
        QVERIFY(m_store->insertPending(record(touch(path("nicht.txt")), path("nie.txt"))));
        QVERIFY(m_store->insertPending(record(path("schon.txt"), moved)));
        QVERIFY(m_store->insertPending(record(touch(path("bleibt.txt")), touch(path("fremd.txt")))));
        RenameRecord replaced = record(path("weg.txt"), touch(path("anders.txt")));
        replaced.identity = FileChecks::identity(touch(path("geplant.txt")));
        QVERIFY(m_store->insertPending(replaced));
        QVERIFY(m_store->fetchRecords()->isEmpty()); // half-done renames are no history yet

        QVERIFY(Undo::settleInterruptedRenames(*m_store));
        const QList<RenameRecord> history = *m_store->fetchRecords();
        QCOMPARE(history.size(), 1);
        QCOMPARE(history.first().newPath, moved);
    }

    void bigBatchesLeaveTheLoopFreeAndStopBetweenFiles()
    {
        constexpr int Files = 1000;
        QList<RenameJob> jobs;
        for (int i = 0; i < Files; ++i)
            jobs << job(touch(path(QString("f%1.txt").arg(i)), QByteArray::number(i)), QString("n%1.txt").arg(i));

        // A loop blocked by the moves would not turn until they are done; this one sees them part-way.
        // (How long it stalls: bench_engine.)
        m_engine->setJobs(jobs);
        bool partWay = false;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout,
                [&] { partWay |= QFile::exists(path("n0.txt")) && QFile::exists(path("f999.txt")); });
        ticker.start(0);
        const QList<RenameRecord> records = awaitTask(m_engine->applyApproved());
        ticker.stop();
        QCOMPARE(records.size(), Files);
        QVERIFY(partWay);
        QCOMPARE(m_store->fetchRecords()->size(), Files);

        // A stop takes back some; each record tells where its file is, wherever the stop fell.
        FileWork &work = m_engine->fileWork();
        QString said;
        const auto stopEarly = connect(&work, &FileWork::progressChanged, [&work, &said] {
            if (work.done() > 0 && said.isEmpty()) {
                said = work.progressText();
                work.stop();
            }
        });
        const Undo::Outcome undone = awaitTask(work.revertBatch(m_store.get(), records.first().batch)).value();
        // Progress reaches this thread queued: on an idle machine the worker may be through first.
        QVERIFY2(QRegularExpression("^([1-9][0-9]{0,2}|1\\.000) von 1\\.000 Umbenennungen rückgängig gemacht$")
                     .match(said)
                     .hasMatch(),
                 qPrintable(said));
        QCOMPARE(undone.reverted + undone.stopped, Files);
        QVERIFY(undone.failures.isEmpty());
        QCOMPARE(Undo::describe(undone).contains("angehalten"), undone.stopped > 0);
        const QList<RenameRecord> after = m_store->fetchRecords().value();
        for (const RenameRecord &record : after)
            QCOMPARE(QFile::exists(record.originalPath), record.reverted);

        // Stopped before the 101st move: those renamed and recorded, no pending record left, the rest untouched.
        QList<RenameJob> more;
        QList<qsizetype> all;
        for (int i = 0; i < 200; ++i) {
            more << job(touch(path(QString("g%1.txt").arg(i)), "G"), QString("m%1.txt").arg(i));
            all << i;
        }
        const RenameBatch::Outcome part =
            RenameBatch::run(m_store.get(), more, all, "Ollama", [](int done, int) { return done < 100; });
        QCOMPARE(std::pair(part.records.size(), part.stopped), std::pair(qsizetype(100), 100));
        RecordQuery batch;
        batch.batch = part.records.first().batch;
        QCOMPARE(m_store->fetchRecords(batch)->size(), 100);
        for (int i = 0; i < 200; ++i) {
            const bool moved = i < 100;
            QCOMPARE(std::pair(QFile::exists(path(QString("m%1.txt").arg(i))),
                               QFile::exists(path(QString("g%1.txt").arg(i)))),
                     std::pair(moved, !moved));
        }
        const auto settled = Undo::settleInterruptedRenames(*m_store).value();
        QCOMPARE(std::pair(settled.confirmed, settled.removed), std::pair(0, 0));

        // Through the engine: the jobs a stop kept from moving stay in the review, and it says so.
        said.clear();
        m_engine->setJobs(more.mid(100));
        const QList<RenameRecord> someMore = awaitTask(m_engine->applyApproved());
        disconnect(stopEarly);
        const int kept = m_engine->lastApplyStopped();
        QCOMPARE(std::pair(someMore.size() + kept, m_engine->jobs().size()),
                 std::pair(qsizetype(100), qsizetype(kept)));
        for (const RenameJob &left : m_engine->jobs())
            QVERIFY(QFile::exists(left.originalPath()) && !left.applyFailure);
        QCOMPARE(m_engine->error().value_or("").startsWith(QString("Angehalten: %1 Datei").arg(kept)), kept > 0);

        // Each owner stops its own: the window's stop ends its undo (waiting on the one worker
        // behind a script's renames) and leaves the script's batch, the API's file work, running.
        FileWork apiWork;
        QList<RenameJob> scripted;
        QList<qsizetype> listed;
        for (int i = 0; i < 200; ++i) {
            scripted << job(touch(path(QString("s%1.txt").arg(i)), "S"), QString("t%1.txt").arg(i));
            listed << i;
        }
        QCoro::Task<RenameBatch::Outcome> scriptRenames = apiWork.apply(m_store.get(), scripted, listed, "Ollama");
        QCoro::Task<std::expected<Undo::Outcome, NamorixError>> windowUndo =
            work.revertBatch(m_store.get(), part.records.first().batch);
        work.stop();
        const RenameBatch::Outcome script = awaitTask(std::move(scriptRenames));
        const Undo::Outcome window = awaitTask(std::move(windowUndo)).value();
        QCOMPARE(std::pair(script.records.size(), script.stopped), std::pair(qsizetype(200), 0));
        QCOMPARE(std::pair(window.reverted, window.stopped), std::pair(0, 100));
        QVERIFY(QFile::exists(path("t199.txt")) && QFile::exists(path("m0.txt")));
    }

private:
    QString path(const QString &name) const { return m_dir.filePath("files/" + name); }

    QList<RenameRecord> apply(const QList<RenameJob> &jobs)
    {
        m_engine->setJobs(jobs);
        const QList<RenameRecord> records = awaitTask(m_engine->applyApproved());
        // What was renamed leaves the review; what failed stays with its reason, the rest untouched.
        for (const RenameJob &left : m_engine->jobs())
            [&] { QVERIFY(left.applyFailure || !left.approved || left.suggestedName == left.originalName()); }();
        return records;
    }
};

QTEST_GUILESS_MAIN(TestApply)
#include "tst_apply.moc"
