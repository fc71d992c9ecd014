// Runs on a private session bus (with-session-bus.sh), where the test itself is the
// notification service.
#include "automation/desktopnotifier.h"
#include "automation/queuemanager.h"
#include "enginefixture.h"
#include "notificationrecorder.h"
#include "store/objectstore.h"

#include <QDBusConnection>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestQueueManager final : public QObject
{
    Q_OBJECT

    EngineFixture fixture;
    QTemporaryDir dir;
    std::unique_ptr<ObjectStore> store;
    std::unique_ptr<RenameEngine> engine;
    NotificationRecorder recorder;
    QDBusConnection serviceBus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "notification-service");

    QList<QUrl> files(const QString &prefix, int count)
    {
        QList<QUrl> urls;
        for (int i = 0; i < count; ++i) {
            const QString name = QString("%1-%2.txt").arg(prefix).arg(i, 2, 10, QChar('0'));
            QFile file(dir.filePath(name));
            file.open(QIODevice::WriteOnly);
            file.write(name.toUtf8() + " vom 15.03.2024");
            fixture.llm.setReply(
                name, QString(R"({"datum":"2024-03-15","kategorie":"brief","beschreibung":"%1 neu","confidence":0.9})")
                          .arg(prefix + QString::number(i)));
            urls << QUrl::fromLocalFile(file.fileName());
        }
        return urls;
    }

    /** Waits until the queue is idle with nothing pending or paused. */
    void waitIdle(QueueManager &queue)
    {
        QTRY_VERIFY_WITH_TIMEOUT(!queue.isRunning() && (queue.pendingCount() == 0 || queue.isPaused()), 20000);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("NAMORIX_PRIVATE_BUS"), "run through with-session-bus.sh");
        QVERIFY(recorder.registerOn(serviceBus));
        QVERIFY(dir.isValid());
        store = std::move(ObjectStore::open(dir.filePath("store.sqlite")).value());
        engine = fixture.makeEngine();
        engine->setStore(store.get());
    }

    void init() { recorder.calls.clear(); }

    void batchesOfFiveInOrderEachAfterThePreviousWasApplied()
    {
        QueueManager queue;
        queue.setEngine(engine.get());
        QStringList log;
        connect(&fixture.llm.server(), &StubHttpServer::requestReceived, &queue,
                [&](const RecordedRequest &request) { log << LlmStub::fileNameIn(LlmStub::userPrompt(request)); });
        connect(&queue, &QueueManager::batchFinished, &queue,
                [&](const QList<RenameRecord> &records) { log << QString("applied %1").arg(records.size()); });

        const QList<QUrl> urls = files("batch", 12);
        queue.enqueue(urls);
        waitIdle(queue);

        QCOMPARE(log.size(), 15);
        const QList<int> boundaries{5, 11, 14};
        const QStringList applied{"applied 5", "applied 5", "applied 2"};
        int first = 0;
        for (int b = 0; b < 3; ++b) {
            QCOMPARE(log.at(boundaries[b]), applied[b]);
            QStringList batch = log.mid(first, boundaries[b] - first);
            batch.sort();
            QStringList expected;
            for (int i = 5 * b; i < std::min(12, 5 * b + 5); ++i)
                expected << urls[i].fileName();
            QCOMPARE(batch, expected);
            first = boundaries[b] + 1;
        }
        QTRY_COMPARE(recorder.calls.size(), 3);
        for (const auto &[count, call] :
             {std::pair{5, recorder.calls[0]}, {5, recorder.calls[1]}, {2, recorder.calls[2]}}) {
            QCOMPARE(call.title, "Namorix");
            QCOMPARE(call.body, QString("%1 Dateien umbenannt").arg(count));
            QVERIFY(call.hints.contains("sound-name"));
        }
    }

    void pauseEnqueueClearAndResumeWhileABatchRuns()
    {
        fixture.llm.setDelay(150);
        QueueManager queue;
        queue.setEngine(engine.get());

        // Enqueued during a batch: taken by the next one.
        queue.enqueue(files("during", 3));
        QVERIFY(queue.isRunning());
        queue.enqueue(files("later", 2));
        QCOMPARE(queue.pendingCount(), 2);
        QSignalSpy finished(&queue, &QueueManager::batchFinished);
        waitIdle(queue);
        QCOMPARE(finished.size(), 2);
        QTRY_COMPARE(recorder.calls.size(), 2);

        // Paused during a batch: it finishes and notifies, nothing further starts until resume.
        recorder.calls.clear();
        queue.enqueue(files("paused", 7));
        queue.setPaused(true);
        QTRY_VERIFY_WITH_TIMEOUT(!queue.isRunning(), 20000);
        QTRY_COMPARE(recorder.calls.size(), 1);
        QCOMPARE(queue.pendingCount(), 2);
        QTest::qWait(300);
        QVERIFY(!queue.isRunning());
        queue.enqueue(files("whilepaused", 1));
        QCOMPARE(queue.pendingCount(), 3);
        queue.resume();
        waitIdle(queue);
        QCOMPARE(queue.pendingCount(), 0);
        QTRY_COMPARE(recorder.calls.size(), 2);
        QCOMPARE(recorder.calls[1].body, "3 Dateien umbenannt");

        // Cleared during a batch: the batch completes, then processing ends.
        finished.clear();
        queue.enqueue(files("cleared", 8));
        queue.clear();
        QCOMPARE(queue.pendingCount(), 0);
        waitIdle(queue);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished[0][0].value<QList<RenameRecord>>().size(), 5);
        QTRY_COMPARE(recorder.calls.size(), 3);
        fixture.llm.setDelay(0);
    }

    void notificationBodies()
    {
        QueueManager queue;
        queue.setEngine(engine.get());

        // Nothing renamed (the file is gone): no notification.
        QSignalSpy finished(&queue, &QueueManager::batchFinished);
        queue.enqueue({QUrl::fromLocalFile(dir.filePath("missing.txt"))});
        QTRY_COMPARE(finished.size(), 1);

        const QList<QUrl> one = files("single", 1);
        queue.enqueue(one);
        waitIdle(queue);
        queue.enqueue(files("three", 3));
        waitIdle(queue);

        QTRY_COMPARE(recorder.calls.size(), 2);
        const QList<RenameRecord> history = store->fetchRecords().value();
        const auto single = std::find_if(history.begin(), history.end(),
                                         [](const RenameRecord &r) { return r.originalName == "single-00.txt"; });
        QVERIFY(single != history.end());
        QCOMPARE(recorder.calls[0].body, "single-00.txt → " + single->newName);
        QCOMPARE(recorder.calls[1].body, "3 Dateien umbenannt");
    }

    void withoutAnEngineOrANotificationServiceNothingFails()
    {
        QueueManager queue;
        queue.enqueue(files("noengine", 2));
        QCOMPARE(queue.pendingCount(), 2);
        QVERIFY(!queue.isRunning());
        queue.setEngine(engine.get());
        queue.resume();
        waitIdle(queue);
        QCOMPARE(queue.pendingCount(), 0);

        DesktopNotifier unconnected(QDBusConnection("no-such-connection"));
        unconnected.post("Namorix", "nichts");
        QVERIFY(serviceBus.unregisterService("org.freedesktop.Notifications"));
        DesktopNotifier notifier;
        notifier.post("Namorix", "niemand hört zu");
        QTest::qWait(100);
        QVERIFY(serviceBus.registerService("org.freedesktop.Notifications"));
        notifier.post("Namorix", "wieder da"); // the same notifier reaches a service that came back
        QTRY_VERIFY(!recorder.calls.isEmpty() && recorder.calls.last().body == "wieder da");
        for (const NotificationRecorder::Call &call : recorder.calls)
            QVERIFY2(call.body != "nichts" && call.body != "niemand hört zu", qPrintable(call.body));
    }
};

QTEST_GUILESS_MAIN(TestQueueManager)
#include "tst_queuemanager.moc"
