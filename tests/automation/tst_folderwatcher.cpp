#include "automation/folderwatcher.h"
#include "automation/queuemanager.h"
#include "automation/watchrouter.h"
#include "enginefixture.h"
#include "settings/navigationstate.h"
#include "store/objectstore.h"

#include <QDir>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtConcurrent>

#include <utime.h>

namespace {

void write(const QString &path, const QByteArray &content = "Inhalt")
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

QString reply(const QString &description)
{
    return QString(R"({"datum":"2024-03-15","kategorie":"brief","beschreibung":"%1","confidence":0.9})").arg(description);
}

} // namespace

class TestFolderWatcher final : public QObject
{
    Q_OBJECT

    EngineFixture fixture;
    QTemporaryDir root;
    std::unique_ptr<ObjectStore> store;
    std::unique_ptr<RenameEngine> engine;
    NavigationState navigation;
    std::unique_ptr<FolderWatcher> watcher;
    std::unique_ptr<QueueManager> queue;
    std::unique_ptr<WatchRouter> router;

    QString folder(const QString &name)
    {
        const QString path = root.filePath(name);
        QDir().mkpath(path);
        return path;
    }

    WatchedFolder addFolder(const QString &path, bool autoRename, std::optional<QString> templateName = {})
    {
        WatchedFolder record{0, path, true, autoRename, templateName, QDateTime::currentDateTimeUtc()};
        record.id = store->insert(record).value();
        return record;
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(root.isValid());
        store = std::move(ObjectStore::open(root.filePath("store.sqlite")).value());
        engine = fixture.makeEngine();
        engine->setStore(store.get());
        watcher = std::make_unique<FolderWatcher>();
        queue = std::make_unique<QueueManager>([](const QString &, const QString &) {});
        queue->setEngine(engine.get());
        router = std::make_unique<WatchRouter>(*watcher, *queue, *engine, *store, navigation);
    }

    void cleanup()
    {
        router.reset();
        queue.reset();
        watcher.reset();
        engine.reset();
        store.reset();
        QDir(root.path()).removeRecursively();
        QDir().mkpath(root.path());
    }

    void reportsOnlyFreshVisibleTopLevelEntries()
    {
        const QString path = folder("scan");
        const QString old = root.filePath("old.pdf");
        write(old);
        utimbuf past{time(nullptr) - 60, time(nullptr) - 60};
        QCOMPARE(utime(old.toLocal8Bit(), &past), 0);
        QDir().mkpath(path + "/sub");
        write(path + "/sub/deep.pdf");
        QTest::qWait(200); // the subfolder's own change has passed before the watch starts

        QList<QList<QUrl>> reports;
        watcher->setOnFilesDetected([&](const QList<QUrl> &files) { reports << files; });
        watcher->watch(path);
        watcher->watch(path); // a second watch changes nothing
        watcher->watch(root.filePath("does-not-exist"));
        QCOMPARE(watcher->watchedPaths(), QStringList{path});

        QVERIFY(QFile::rename(old, path + "/old.pdf")); // moved in with its dates kept
        write(path + "/.hidden.pdf");
        write(path + "/new.pdf");
        QTRY_VERIFY_WITH_TIMEOUT(!reports.isEmpty(), 1000);
        QTest::qWait(200);
        QSet<QString> reported;
        for (const QList<QUrl> &files : reports) {
            for (const QUrl &url : files)
                reported << QFileInfo(url.toLocalFile()).fileName();
        }
        // The subfolder was modified less than five seconds ago, so it counts as fresh itself.
        QVERIFY2((reported - QSet<QString>{"sub"}) == QSet<QString>{"new.pdf"},
                 qPrintable(QStringList(reported.values()).join(", ")));

        watcher->unwatch(path);
        QVERIFY(watcher->watchedPaths().isEmpty());
        reports.clear();
        write(path + "/after.pdf");
        QTest::qWait(300);
        QVERIFY(reports.isEmpty());
    }

    void routesToTheQueueOrToTheReview()
    {
        const QString automatic = folder("auto");
        const QString review = folder("review");
        const QString slashed = folder("slashed");
        addFolder(automatic, true);
        addFolder(review, false);
        addFolder(slashed + "/", true);
        router->start();
        const QStringList watched = watcher->watchedPaths();
        QCOMPARE(QSet<QString>(watched.begin(), watched.end()), (QSet<QString>{automatic, review, slashed + "/"}));

        // Automatic: in the queue within a second, then renamed.
        fixture.llm.setReply("scan.pdf", reply("Automatisch"));
        QSignalSpy pending(queue.get(), &QueueManager::pendingURLsChanged);
        QElapsedTimer clock;
        clock.start();
        write(automatic + "/scan.pdf");
        QTRY_VERIFY_WITH_TIMEOUT(!pending.isEmpty(), 1000);
        qInfo("file reached the queue after %lld ms", clock.elapsed());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(automatic + "/2024-03-15_brief_automatisch.pdf"), 10000);
        QVERIFY(!QFile::exists(automatic + "/scan.pdf"));

        // Review: the files section is selected and the engine analyses the file, nothing moves.
        for (const QString &dir : {review, slashed}) {
            navigation.setSelectedTab(SidebarItem::history);
            write(dir + "/letter.pdf");
            QTRY_VERIFY_WITH_TIMEOUT(!engine->jobs().isEmpty()
                                         && engine->jobs().front().originalURL.toLocalFile() == dir + "/letter.pdf",
                                     5000);
            QCOMPARE(navigation.selectedTab(), SidebarItem::files);
            QVERIFY(QFile::exists(dir + "/letter.pdf"));
            QCOMPARE(queue->pendingCount(), 0);
        }
    }

    void followsTheActiveFoldersAndTheirTemplates()
    {
        const QString path = folder("invoices");
        store->insert(NamingTemplate{0, "Rechnungen", "{datum}_{absender}_{beschreibung}", "", false,
                                     QDateTime::currentDateTimeUtc()})
            .value();
        WatchedFolder record = addFolder(path, true, QString("Rechnungen"));
        router->start();
        QVERIFY(watcher->isWatching(path));

        record.isActive = false;
        QVERIFY(store->save(record));
        QVERIFY(!watcher->isWatching(path));
        record.isActive = true;
        QVERIFY(store->save(record));
        QVERIFY(watcher->isWatching(path));

        QString prompt;
        connect(&fixture.llm.server(), &StubHttpServer::requestReceived, queue.get(),
                [&](const RecordedRequest &request) { prompt = LlmStub::userPrompt(request); });
        write(path + "/invoice.pdf");
        QTRY_VERIFY_WITH_TIMEOUT(!prompt.isEmpty(), 5000);
        QVERIFY2(prompt.contains("{datum}_{absender}_{beschreibung}"), qPrintable(prompt));
    }

    void aBurstIsRenamedExactlyOnceWhileTheLoopStaysResponsive()
    {
        constexpr int Count = 500;
        const QString path = folder("burst");
        addFolder(path, true);
        router->start();
        for (int i = 0; i < Count; ++i)
            fixture.llm.setReply(QString("drop-%1.pdf").arg(i), reply(QString("Beleg %1").arg(i)));

        // The longest time the event loop did not run, sampled by a 5 ms timer.
        QElapsedTimer sinceTick;
        qint64 longestStall = 0;
        QTimer ticker;
        ticker.setInterval(5);
        connect(&ticker, &QTimer::timeout, this, [&] {
            longestStall = std::max(longestStall, sinceTick.restart());
        });
        sinceTick.start();
        ticker.start();

        // Counted from the queue's reports, so that polling adds no work to the loop measured.
        qsizetype renamedCount = 0;
        connect(queue.get(), &QueueManager::batchFinished, this,
                [&](const QList<RenameRecord> &records) { renamedCount += records.size(); });
        QElapsedTimer clock;
        clock.start();
        QFuture<void> dropping = QtConcurrent::run([path] {
            for (int i = 0; i < Count; ++i) {
                QFile file(path + QString("/drop-%1.pdf").arg(i));
                file.open(QIODevice::WriteOnly);
                file.write(QByteArray::number(i));
                file.close();
                if (i % 50 == 49)
                    QThread::msleep(200);
            }
        });
        QTRY_VERIFY_WITH_TIMEOUT(dropping.isFinished(), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(renamedCount, qsizetype(Count), 120000);
        QTRY_VERIFY_WITH_TIMEOUT(!queue->isRunning() && queue->pendingCount() == 0, 60000);
        ticker.stop();
        qInfo("burst of %d files renamed in %lld ms; longest event-loop stall %lld ms (target < 100)", Count,
              clock.elapsed(), longestStall);

        const QStringList names = QDir(path).entryList(QDir::Files);
        QCOMPARE(names.size(), Count);
        QSet<QByteArray> contents;
        for (const QString &name : names) {
            QVERIFY2(name.startsWith("2024-03-15_brief_beleg_"), qPrintable(name));
            QFile file(path + "/" + name);
            QVERIFY(file.open(QIODevice::ReadOnly));
            contents << file.readAll();
        }
        QCOMPARE(contents.size(), Count);
        QSet<QString> originals;
        const QList<RenameRecord> records = store->fetchRecords().value();
        for (const RenameRecord &record : records)
            originals << record.originalName;
        QCOMPARE(originals.size(), Count);
    }
};

QTEST_MAIN(TestFolderWatcher)
#include "tst_folderwatcher.moc"
