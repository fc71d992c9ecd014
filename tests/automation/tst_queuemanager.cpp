// Runs on a private session bus (with-session-bus.sh), where the test itself is the
// notification service.
#include "automation/desktopnotifier.h"
#include "automation/queuemanager.h"
#include "engineharness.h"
#include "notificationrecorder.h"

#include <QDBusConnectionInterface>

class TestQueueManager final : public QObject, EngineHarness
{
    Q_OBJECT

    NotificationRecorder recorder;
    QDBusConnection serviceBus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "notification-service");

    /** Files whose suggestions the content confirms, so that the queue renames them. */
    QList<QUrl> files(const QString &prefix, int count) { return makeFiles(prefix, count, "Rechnung vom 15.03.2024"); }

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
        QVERIFY(setUpEngine());
    }

    void init()
    {
        recorder.calls.clear();
        m_fx->llm.server().clearRequests();
    }

    void batchesOfFiveInOrderEachAfterThePreviousWasApplied()
    {
        QueueManager queue{m_fx->defaults};
        queue.setEngine(m_engine.get());
        QStringList batches; // the files asked about until a batch was applied, then its size
        connect(&queue, &QueueManager::batchFinished, &queue, [&](const QList<RenameRecord> &records) {
            QStringList asked = m_fx->llm.askedFiles().mid(batches.size() * 5);
            asked.sort();
            batches << asked.join(' ') + QString(" → %1").arg(records.size());
        });
        queue.enqueue(files("batch", 12));
        waitIdle(queue);
        QCOMPARE(batches, (QStringList{"batch00.txt batch01.txt batch02.txt batch03.txt batch04.txt → 5",
                                       "batch05.txt batch06.txt batch07.txt batch08.txt batch09.txt → 5",
                                       "batch10.txt batch11.txt → 2"}));
        QTRY_COMPARE(recorder.calls.size(), 3);
        for (const auto &[count, call] :
             {std::pair{5, recorder.calls[0]}, {5, recorder.calls[1]}, {2, recorder.calls[2]}}) {
            QCOMPARE(call.body, QString("%1 Dateien umbenannt").arg(count));
            QVERIFY(call.hints.contains("sound-name"));
        }
    }

    void pauseEnqueueClearAndResumeWhileABatchRuns()
    {
        m_fx->llm.setDelay(150);
        QueueManager queue{m_fx->defaults};
        queue.setEngine(m_engine.get());

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
        QTRY_COMPARE(recorder.calls.size(), 1); // the notice comes after the batch: nothing started since
        QCOMPARE(queue.pendingCount(), 2);
        QVERIFY(!queue.isRunning());
        queue.enqueue(files("whilepaused", 1));
        QCOMPARE(queue.pendingCount(), 3);
        queue.resume();
        waitIdle(queue);
        QCOMPARE(queue.pendingCount(), 0);
        QTRY_COMPARE(recorder.calls.size(), 2);

        // Cleared during a batch: the batch completes, then processing ends.
        finished.clear();
        queue.enqueue(files("cleared", 8));
        queue.clear();
        QCOMPARE(queue.pendingCount(), 0);
        waitIdle(queue);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished[0][0].value<QList<RenameRecord>>().size(), 5);
        QTRY_COMPARE(recorder.calls.size(), 3);
        m_fx->llm.setDelay(0);
    }

    void notificationBodies()
    {
        QueueManager queue{m_fx->defaults};
        queue.setEngine(m_engine.get());

        // Nothing renamed (the file is gone): no notification.
        QSignalSpy finished(&queue, &QueueManager::batchFinished);
        queue.enqueue({QUrl::fromLocalFile(m_dir.filePath("missing.txt"))});
        QTRY_COMPARE(finished.size(), 1);

        // One renamed: its old and new name; more are counted (batchesOfFive…).
        queue.enqueue(files("single", 1));
        waitIdle(queue);
        QTRY_COMPARE(recorder.calls.size(), 1);
        const QList<RenameRecord> history = m_store->fetchRecords().value();
        const auto single = std::find_if(history.begin(), history.end(),
                                         [](const RenameRecord &r) { return r.originalName == "single00.txt"; });
        QVERIFY(single != history.end());
        QCOMPARE(recorder.calls[0].body, "single00.txt → " + single->newName);

        // "Anzeigen" asks the window for the batch, once however often the press is reported;
        // "Rückgängig" takes the batch back without the window, and says so.
        const QStringList actions = recorder.calls[0].actions;
        QCOMPARE(actions.size(), 4);
        QCOMPARE(QStringList({actions[1], actions[3]}), QStringList({"Rückgängig", "Anzeigen"}));
        QVERIFY(actions[0] != actions[2]);
        QSignalSpy shown(&queue, &QueueManager::showBatchRequested);
        const auto pressed = [&](const QString &key, const auto &done) { // until the notifier knows the id
            Q_EMIT recorder.ActionInvoked(1, key);
            return done();
        };
        QTRY_VERIFY(pressed(actions[2], [&] { return !shown.isEmpty(); }));
        Q_EMIT recorder.ActionInvoked(1, actions[2]);
        QVERIFY(QFile::exists(single->newPath));
        QTRY_VERIFY(pressed(actions[0], [&] { return QFile::exists(single->originalPath); }));
        QCOMPARE(shown.size(), 1); // the repeat came before the undo's press
        QCOMPARE(shown[0][0].toLongLong(), single->batch);
        QTRY_COMPARE(recorder.calls.size(), 2);
        QCOMPARE(recorder.calls[1].body, "1 Umbenennung rückgängig gemacht");
        QVERIFY(recorder.calls[1].actions.isEmpty());
    }

    // The budget is reached during the first batch: the next one waits, and the user is told why,
    // until the budget is raised.
    void pausesAtTheMonthlyBudget()
    {
        UsageLedger &ledger = m_fx->ledger;
        ledger.setMonthlyBudget(ledger.costThisMonth() + 0.01); // about four of the stub's replies
        QueueManager queue{m_fx->defaults};
        queue.setEngine(m_engine.get());
        QSignalSpy finished(&queue, &QueueManager::batchFinished);
        queue.enqueue(files("budget", 7));
        QTRY_VERIFY_WITH_TIMEOUT(queue.isPausedForBudget() && !queue.isRunning(), 20000);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(queue.pendingCount(), 2);
        QTRY_COMPARE(recorder.calls.size(), 2);
        QVERIFY2(recorder.calls[1].body.startsWith("Monatsbudget von "), qPrintable(recorder.calls[1].body));
        QCOMPARE(m_fx->llm.server().requests().size(), 5); // none since the batch, whose notices came after

        ledger.setMonthlyBudget(ledger.costThisMonth() + 1);
        waitIdle(queue);
        QCOMPARE(queue.pendingCount(), 0);
        QVERIFY(!queue.isPaused());
        QCOMPARE(m_fx->llm.server().requests().size(), 7);
        ledger.setMonthlyBudget(0);
    }

    void withoutAnEngineOrANotificationServiceNothingFails()
    {
        QueueManager queue{m_fx->defaults};
        queue.enqueue(files("noengine", 2));
        QCOMPARE(queue.pendingCount(), 2);
        QVERIFY(!queue.isRunning());
        queue.setEngine(m_engine.get());
        queue.resume();
        waitIdle(queue);
        QCOMPARE(queue.pendingCount(), 0);

        DesktopNotifier unconnected(QDBusConnection("no-such-connection"));
        unconnected.post("Namorix", "nichts");
        QVERIFY(serviceBus.unregisterService("org.freedesktop.Notifications"));
        DesktopNotifier notifier;
        notifier.post("Namorix", "niemand hört zu");
        // Answered after the bus has passed on (to nobody) the post sent before on this connection.
        QVERIFY(!QDBusConnection::sessionBus().interface()->isServiceRegistered("org.freedesktop.Notifications"));
        QVERIFY(serviceBus.registerService("org.freedesktop.Notifications"));
        QStringList ran;
        const auto button = [&](const QString &label) {
            return DesktopNotifier::Action{label, [&, label] { ran << label; }};
        };
        // The same notifier reaches a service that came back; a closed notification's buttons are gone.
        notifier.post("Namorix", "wieder da", {button("eins"), button("zwei")});
        QTRY_VERIFY(!recorder.calls.isEmpty() && recorder.calls.last().body == "wieder da");
        const uint closing = uint(recorder.calls.size());
        const QStringList keys = recorder.calls.last().actions;
        QTRY_VERIFY((Q_EMIT recorder.ActionInvoked(closing, keys[2]), !ran.isEmpty()));
        Q_EMIT recorder.NotificationClosed(closing, 2);
        Q_EMIT recorder.ActionInvoked(closing, keys[0]);
        notifier.post("Namorix", "danach", {button("drei")});
        QTRY_VERIFY(recorder.calls.last().body == "danach");
        const uint after = uint(recorder.calls.size());
        QTRY_VERIFY((Q_EMIT recorder.ActionInvoked(after, recorder.calls.last().actions[0]), ran.size() > 1));
        QCOMPARE(ran, QStringList({"zwei", "drei"})); // signals arrive in order: "eins" would have come first
        for (const NotificationRecorder::Call &call : recorder.calls)
            QVERIFY2(call.body != "nichts" && call.body != "niemand hört zu", qPrintable(call.body));
    }
};

QTEST_GUILESS_MAIN(TestQueueManager)
#include "tst_queuemanager.moc"
