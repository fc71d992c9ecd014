#include "automation/folderwatcher.h"
#include "automation/queuemanager.h"
#include "automation/watchedfolders.h"
#include "automation/watchrouter.h"
#include "engine/analysisstarter.h"
#include "engineharness.h"
#include "exiftags.h"
#include "settings/generalflags.h"

#include <QtConcurrent>

#include <utime.h>

using namespace std::chrono_literals;

namespace {

WatchedFolders::Change switchedOn(bool active)
{
    WatchedFolders::Change change;
    change.active = active;
    return change;
}

/** The names reported, sorted, one entry per report of a file. */
QStringList namesIn(const QList<QList<QUrl>> &reports)
{
    QStringList names;
    for (const QList<QUrl> &files : reports) {
        for (const QUrl &url : files)
            names << url.fileName();
    }
    names.sort();
    return names;
}

} // namespace

class TestFolderWatcher final : public QObject, EngineHarness
{
    Q_OBJECT

    std::unique_ptr<FolderWatcher> watcher;
    std::unique_ptr<RenameEngine> queueEngine;
    std::unique_ptr<QueueManager> queue;
    std::unique_ptr<AnalysisStarter> starter;
    std::unique_ptr<WatchRouter> router;
    QStringList notes;          ///< the queue's notification bodies
    QList<QList<QUrl>> reports; ///< the watcher's reports where no router takes them

    QString folder(const QString &name)
    {
        const QString path = m_dir.filePath(name);
        QDir().mkpath(path);
        return path;
    }

    QString watchFolder(const QString &name)
    {
        watcher->setOnFilesDetected([this](const QList<QUrl> &files) { reports << files; });
        watcher->watch(folder(name));
        return folder(name);
    }

    /**
     * The names reported (namesIn()) once `marker`, made now in a watched folder, is too: files settle in
     * the order of their last change, so what the watcher was to report of earlier changes has come.
     */
    QStringList reportedUntil(const QString &marker)
    {
        touch(marker);
        if (!QTest::qWaitFor([&] { return namesIn(reports).contains(QFileInfo(marker).fileName()); }))
            qWarning("the marker %s was not reported", qPrintable(marker)); // the caller's comparison fails
        return namesIn(reports);
    }

    /** A new folder with a watched-folder record for it; `name` may end in a slash. */
    QString addFolder(const QString &name, bool autoRename, std::optional<QString> templateName = {})
    {
        m_store->insert(WatchedFolder{0, folder(name), true, autoRename, templateName, {}, {}}).value();
        return folder(name);
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(setUpEngine());
        reports.clear();
        watcher = std::make_unique<FolderWatcher>();
        watcher->setSettleInterval(300ms); // the product waits 2 s; only the two-session case needs that
        notes.clear();
        queue = std::make_unique<QueueManager>(
            m_fx->defaults,
            [this](const QString &, const QString &body, const QList<DesktopNotifier::Action> &) { notes << body; });
        // The queue on an engine of its own, as in the app: the review list stays the window's.
        queueEngine = m_fx->makeEngine();
        queueEngine->setStore(m_store.get());
        queue->setEngine(queueEngine.get());
        GeneralFlags::autoRenameVerifiedOnly.write(m_fx->defaults, true);
        starter = std::make_unique<AnalysisStarter>(*m_engine, m_fx->defaults);
        router = std::make_unique<WatchRouter>(*watcher, *queue, *starter, *m_store);
    }

    void cleanup()
    {
        router.reset();
        starter.reset();
        watcher.reset();
        // No provider reply may be pending when the engine goes.
        QTRY_VERIFY_WITH_TIMEOUT(!queue->isRunning() && queue->pendingCount() == 0 && !m_engine->isProcessing() &&
                                     !queueEngine->isProcessing(),
                                 30000);
        queue.reset();
        queueEngine.reset();
        tearDownEngine();
    }

    void reportsOnlyFinishedFreshRegularTopLevelFilesWhileWatched()
    {
        const QString path = watchFolder("scan");
        const QString outside = folder("outside");
        utimbuf past{time(nullptr) - 60, time(nullptr) - 60};
        QCOMPARE(utime(QFile::encodeName(touch(outside + "/old.pdf")), &past), 0);
        touch(outside + "/target.pdf");
        QCOMPARE(symlink("target.pdf", QFile::encodeName(outside + "/link.pdf")), 0);
        QDir().mkpath(outside + "/folder.pdf");

        watcher->watch(path); // a second watch changes nothing
        watcher->watch(m_dir.filePath("does-not-exist"));
        QCOMPARE(watcher->watchedPaths(), QStringList{path});

        // Moved in: one with its old dates kept, a symbolic link, a folder.
        for (const char *name : {"/old.pdf", "/link.pdf", "/folder.pdf"})
            QCOMPARE(rename(QFile::encodeName(outside + name), QFile::encodeName(path + name)), 0);
        // Made in place: a link, a FIFO written through and closed, a subfolder with a file, a hidden
        // file, an empty placeholder.
        QCOMPARE(symlink("new.pdf", QFile::encodeName(path + "/here-link.pdf")), 0);
        QCOMPARE(mkfifo(QFile::encodeName(path + "/pipe.pdf"), 0600), 0);
        const int fifo = open(QFile::encodeName(path + "/pipe.pdf"), O_RDWR | O_NONBLOCK);
        QVERIFY(fifo >= 0);
        QCOMPARE(::write(fifo, "x", 1), 1);
        close(fifo);
        touch(path + "/sub/deep.pdf");
        touch(path + "/.hidden.pdf");
        touch(path + "/placeholder.pdf", "");
        touch(path + "/new.pdf");
        QCOMPARE(FolderWatcher::freshEntries(path), QList<QUrl>{QUrl::fromLocalFile(path + "/new.pdf")});

        QCOMPARE(reportedUntil(path + "/zuletzt.pdf"), (QStringList{"new.pdf", "zuletzt.pdf"}));

        watcher->unwatch(path);
        QVERIFY(watcher->watchedPaths().isEmpty());
        reports.clear();
        touch(path + "/after.pdf");
        watcher->watch(folder("other"));
        QCOMPARE(reportedUntil(folder("other") + "/zuletzt.pdf"), QStringList{"zuletzt.pdf"});
        watcher->unwatch(folder("other"));
        reports.clear();

        // Deleted while watched: it drops out, and can be watched again once it is back.
        watcher->watch(path);
        touch(path + "/pending.pdf"); // still settling when its folder goes
        QVERIFY(QDir(path).removeRecursively());
        QTRY_VERIFY(!watcher->isWatching(path));
        folder("scan");
        watcher->watch(path);
        QVERIFY(watcher->isWatching(path));
        touch(path + "/back.pdf");
        QTRY_COMPARE(namesIn(reports), QStringList{"back.pdf"});
    }

    void anOverflowedEventQueueRescansTheFolder()
    {
        const int limit = contentOf("/proc/sys/fs/inotify/max_queued_events").trimmed().toInt();
        if (limit > 200000)
            QSKIP("the inotify queue limit is too high to overflow quickly");
        const QString path = folder("flood");
        const QByteArray read = QFile::encodeName(touch(path + "/read.pdf"));
        utimbuf past{time(nullptr) - 60, time(nullptr) - 60};
        QCOMPARE(utime(read, &past), 0);
        watchFolder("flood");

        // Every open and close is an event; while the loop does not run they overflow the queue,
        // and the events of the file written afterwards are lost.
        for (int i = 0; i <= limit / 2; ++i)
            close(open(read, O_RDONLY));
        touch(path + "/new.pdf");
        QTRY_COMPARE(namesIn(reports), QStringList{"new.pdf"});
        QCOMPARE(reports.size(), 1);
    }

    void aFileOpenForWritingIsNotHandedOnBeforeItIsClosed()
    {
        const QString path = watchFolder("open");

        // One file open since its creation, one closed and at once reopened to append.
        QFile download(path + "/download.pdf");
        QVERIFY(download.open(QIODevice::WriteOnly));
        download.write("Anfang");
        download.flush();
        touch(path + "/scan.pdf", "Seite 1");
        QTest::qWait(100);
        QFile scan(path + "/scan.pdf");
        QVERIFY(scan.open(QIODevice::Append));
        QCOMPARE(reportedUntil(path + "/fertig.pdf"), QStringList{"fertig.pdf"});

        reports.clear();
        download.write(" Ende");
        scan.write(" Seite 2");
        download.close();
        scan.close();
        QTRY_VERIFY(!reports.isEmpty());
        QCOMPARE(reports.first().size(), 2); // both settled together
        QCOMPARE(reportedUntil(path + "/zuletzt.pdf"), (QStringList{"download.pdf", "scan.pdf", "zuletzt.pdf"}));
    }

    void aFileWrittenInTwoSessionsIsRenamedOnceWhole()
    {
        watcher->setSettleInterval(FolderWatcher::DefaultSettleInterval);
        const QString path = addFolder("sessions", true);
        router->start();
        m_fx->llm.setReply("notiz.txt", LlmStub::letterReply("Notiz"));

        touch(path + "/notiz.txt", "Erster Teil vom 15.03.2024.");
        QTest::qWait(1000);
        QFile file(path + "/notiz.txt");
        QVERIFY(file.open(QIODevice::Append) && file.write(" Zweiter Teil."));
        file.close();

        const QString renamed = path + "/2024-03-15_brief_notiz.txt";
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(renamed), 15000);
        QTRY_VERIFY_WITH_TIMEOUT(!queue->isRunning() && queue->pendingCount() == 0, 10000);
        QCOMPARE(QDir(path).entryList(QDir::Files), QStringList{"2024-03-15_brief_notiz.txt"});
        QCOMPARE(contentOf(renamed), "Erster Teil vom 15.03.2024. Zweiter Teil.");
        const QList<RecordedRequest> asked = m_fx->llm.server().requests();
        QCOMPARE(asked.size(), 1);
        QVERIFY(LlmStub::userPrompt(asked.front()).contains("Erster Teil vom 15.03.2024. Zweiter Teil."));
    }

    void routesToTheQueueOrToTheReview()
    {
        QVERIFY(m_store->insert(NamingTemplate{0, "Rechnungen", "{datum}_{absender}_{beschreibung}", "", false, {}}));
        const QString automatic = addFolder("auto", true, QString("Rechnungen"));
        const QString review = addFolder("review", false);
        const QString slashed = addFolder("slashed/", true).chopped(1);
        router->start();
        const QStringList watched = watcher->watchedPaths();
        QCOMPARE(QSet<QString>(watched.begin(), watched.end()), (QSet<QString>{automatic, review, slashed + "/"}));

        // Automatic: in the queue within a second, then renamed, the folder's template asked for.
        m_fx->llm.setReply("scan.txt", LlmStub::letterReply("Automatisch"));
        QSignalSpy pending(queue.get(), &QueueManager::pendingURLsChanged);
        touch(automatic + "/scan.txt", "Brief vom 15.03.2024");
        QTRY_VERIFY(!pending.isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(automatic + "/2024-03-15_brief_automatisch.txt"), 10000);
        const QString prompt = LlmStub::userPrompt(m_fx->llm.server().requests().first());
        QVERIFY2(prompt.contains("{datum}_{absender}_{beschreibung}"), qPrintable(prompt));
        QVERIFY(!QFile::exists(automatic + "/scan.txt"));

        // Review: the file joins the window's review, which keeps the user's edit; nothing moves.
        // (That the window stays in the section the user is in: tst_mainwindow.)
        RenameJob mine;
        mine.originalURL = QUrl::fromLocalFile(review + "/eigene.pdf");
        m_engine->setJobs({mine});
        QVERIFY(m_engine->editJob(mine.id, QString("von-hand.pdf"), false));
        for (const QString &dir : {review, slashed}) {
            touch(dir + "/letter.pdf");
            QTRY_VERIFY_WITH_TIMEOUT(
                std::ranges::any_of(m_engine->jobs(),
                                    [&](const RenameJob &job) { return job.originalPath() == dir + "/letter.pdf"; }),
                5000);
            QCOMPARE(m_engine->jobs().front().suggestedName, "von-hand.pdf");
            QVERIFY(!m_engine->jobs().front().approved);
            QVERIFY(QFile::exists(dir + "/letter.pdf"));
            QCOMPARE(queue->pendingCount(), 0);
        }
    }

    // With the setting off the queue renames them all: aBurstIsRenamedExactlyOnce, whose files hold no text.
    void unverifiedSuggestionsWaitForReview()
    {
        const QString path = addFolder("auto", true);
        router->start();

        m_fx->llm.setReply("belegt.txt", LlmStub::letterReply("Belegt"));
        m_fx->llm.setReply("erfunden.txt", LlmStub::letterReply("Erfunden"));
        m_fx->llm.setReply("ersatz.txt", "Sorry, I cannot do that.");
        touch(path + "/belegt.txt", "Rechnung vom 15.03.2024");
        touch(path + "/erfunden.txt", "Rechnung ohne Datum");
        touch(path + "/ersatz.txt", "Notiz");
        // A photo without text, taken on another day than the model claims.
        m_fx->llm.setReply("IMG_9999.jpg", LlmStub::letterReply("Erfunden"));
        QImage photo(64, 48, QImage::Format_RGB32);
        photo.fill(Qt::darkGreen);
        QVERIFY(photo.save(m_dir.filePath("photo.jpg")));
        writeExif(m_dir.filePath("photo.jpg"), {{"Exif.Photo.DateTimeOriginal", "2023:07:01 12:00:00"}});
        QVERIFY(QFile::rename(m_dir.filePath("photo.jpg"), path + "/IMG_9999.jpg"));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path + "/2024-03-15_brief_belegt.txt"), 10000);
        // Left in place for the window's review, unticked and marked, without a second request to the
        // provider (the review keeps the user's edits: routesTo…).
        QTRY_VERIFY_WITH_TIMEOUT(!queue->isRunning() && queue->pendingCount() == 0 && m_engine->jobs().size() == 3 &&
                                     !m_engine->isProcessing(),
                                 10000);
        int held = 0; // the files may arrive in one batch or in several
        for (const QString &note : notes.filter("eine Prüfung"))
            held += note.section(' ', 0, 0).toInt();
        QCOMPARE(held, 3);
        QStringList reviewed = jobNames();
        reviewed.sort();
        QCOMPARE(reviewed, (QStringList{"IMG_9999.jpg", "erfunden.txt", "ersatz.txt"}));
        for (const QString &name : reviewed) {
            QCOMPARE(m_fx->llm.askedFiles().count(name), 1);
            QVERIFY(QFile::exists(path + "/" + name));
        }
        QVERIFY(std::ranges::none_of(m_engine->jobs(), &RenameJob::approved));
        const QHash<QString, QString> expectedMarks{
            {"erfunden.txt", "datum"}, {"ersatz.txt", "name"}, {"IMG_9999.jpg", "datum"}};
        for (const RenameJob &job : m_engine->jobs())
            QCOMPARE(job.unverifiedFields().join(','), expectedMarks.value(job.originalName()));
    }

    // What arrived while Namorix was not watching is taken at the watch's start; what lay there
    // before the folder was added, and what Namorix itself renamed, is not.
    void watchedFoldersCatchUp()
    {
        const QString path = folder("downloads");
        touch(path + "/alt.txt", "Brief vom 15.03.2024: alt");
        QTest::qWait(200); // beyond the kernel clock's margin
        const WatchedFolder added = WatchedFolders::add(*m_store, path, true).value();
        for (const QString name : {"neu", "danach", "wieder"})
            m_fx->llm.setReply(name + ".txt", LlmStub::letterReply(name));
        touch(path + "/neu.txt", "Brief vom 15.03.2024: neu"); // while no app ran
        router->start();
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path + "/2024-03-15_brief_neu.txt"), 10000);

        // As after a crash: the stamp from before that rename, the watch begun again.
        QVERIFY(m_store->markWatched({added.id}, added.addedAt));
        watcher->unwatch(path);
        touch(path + "/danach.txt", "Brief vom 15.03.2024: danach");
        router->syncWatchers();
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path + "/2024-03-15_brief_danach.txt"), 10000);

        // Switched off and on again: what came meanwhile.
        QVERIFY(WatchedFolders::change(*m_store, path, switchedOn(false)));
        QVERIFY(!watcher->isWatching(path));
        touch(path + "/wieder.txt", "Brief vom 15.03.2024: wieder");
        QVERIFY(WatchedFolders::change(*m_store, path, switchedOn(true)));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path + "/2024-03-15_brief_wieder.txt"), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!queue->isRunning() && queue->pendingCount() == 0, 10000);
        QVERIFY(QFile::exists(path + "/alt.txt"));
        QCOMPARE(m_fx->llm.askedFiles(), (QStringList{"neu.txt", "danach.txt", "wieder.txt"}));

        // "Vorhandene Dateien jetzt umbenennen": what lay there before too, not Namorix's own results.
        m_fx->llm.setReply("alt.txt", LlmStub::letterReply("alt"));
        router->takeExisting(path);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path + "/2024-03-15_brief_alt.txt"), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!queue->isRunning() && queue->pendingCount() == 0, 10000);
        QCOMPARE(m_fx->llm.askedFiles(), (QStringList{"neu.txt", "danach.txt", "wieder.txt", "alt.txt"}));
    }

    // How long the loop stalls meanwhile: bench_engine.
    void aBurstIsRenamedExactlyOnce()
    {
        constexpr int Count = 500;
        GeneralFlags::autoRenameVerifiedOnly.write(m_fx->defaults, false); // the files hold no text to check
        const QString path = addFolder("burst", true);
        router->start();
        for (int i = 0; i < Count; ++i)
            m_fx->llm.setReply(QString("drop-%1.pdf").arg(i), LlmStub::letterReply(QString("Beleg %1").arg(i)));

        qsizetype renamedCount = 0;
        connect(queue.get(), &QueueManager::batchFinished, this,
                [&](const QList<RenameRecord> &records) { renamedCount += records.size(); });
        QFuture<void> dropping = QtConcurrent::run([path] {
            for (int i = 0; i < Count; ++i) {
                touch(path + QString("/drop-%1.pdf").arg(i), QByteArray::number(i));
                if (i % 50 == 49)
                    QThread::msleep(200);
            }
        });
        QTRY_VERIFY_WITH_TIMEOUT(dropping.isFinished(), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(renamedCount, qsizetype(Count), 120000);
        QTRY_VERIFY_WITH_TIMEOUT(!queue->isRunning() && queue->pendingCount() == 0, 60000);

        const QStringList names = QDir(path).entryList(QDir::Files);
        QCOMPARE(names.size(), Count);
        QSet<QByteArray> contents;
        for (const QString &name : names) {
            QVERIFY2(name.startsWith("2024-03-15_brief_beleg_"), qPrintable(name));
            contents << contentOf(path + "/" + name);
        }
        QCOMPARE(contents.size(), Count);
        QSet<QString> originals;
        const QList<RenameRecord> records = m_store->fetchRecords().value();
        for (const RenameRecord &record : records)
            originals << record.originalName;
        QCOMPARE(originals.size(), Count);
    }
};

QTEST_MAIN(TestFolderWatcher)
#include "tst_folderwatcher.moc"
