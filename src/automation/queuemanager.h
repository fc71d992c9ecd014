#pragma once

#include "automation/desktopnotifier.h"
#include "engine/renamejob.h"
#include "store/renamerecord.h"

#include <QCoroTask>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <optional>

class DefaultsStore;
class RenameEngine;

/**
 * Renames files in the background without review: URLs wait in `pendingURLs` and are taken in
 * batches of at most five, each analysed and then applied at once by the engine; after a batch
 * that renamed something the user gets a desktop notification, with "Rückgängig" (taken back here)
 * and "Anzeigen" (handed to the window through `showBatchRequested`). One batch at a time, the next one
 * starting by itself. Lives on the GUI thread; nothing is persisted.
 *
 * A URL may carry a naming template (the one its watched folder names): a batch only takes
 * consecutive URLs with the same template, so each batch is one analysis with one template.
 *
 * With the general flag "autoRenameVerifiedOnly" (default on) a file whose suggestion has an
 * unverified date or amount, or is a fallback name, is not renamed: the queue unticks its job,
 * tells the user "1 Datei braucht eine Prüfung" and hands the job on through `reviewNeeded`, so
 * the review shows the suggestion already paid for instead of asking the provider again.
 *
 * Before the legal terms are accepted (RenameEngine::refusal) the URLs wait; they go ahead once
 * the terms are accepted.
 *
 * Once this month's cost reaches the monthly budget (UsageLedger::isOverBudget) while a cloud
 * provider is selected, no further batch starts: the queue pauses and tells the user why. It goes
 * on by itself when the budget no longer holds it back: a new month (checked hourly), a raised
 * budget, a lower price or a local provider. Pausing or resuming by hand ends that watch.
 */
class QueueManager final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isPaused READ isPaused WRITE setPaused NOTIFY isPausedChanged)
    Q_PROPERTY(bool isRunning READ isRunning NOTIFY isRunningChanged)

public:
    static constexpr int BatchSize = 5;

    /** Shows "title, body" to the user with the buttons `actions`; the default posts a desktop notification. */
    using Notify =
        std::function<void(const QString &title, const QString &body, const QList<DesktopNotifier::Action> &actions)>;

    /** `defaults` is where the general flags are read ("autoRenameVerifiedOnly"). */
    explicit QueueManager(const DefaultsStore &defaults, Notify notify = {}, QObject *parent = nullptr);
    ~QueueManager() override;
    Q_DISABLE_COPY_MOVE(QueueManager)

    [[nodiscard]] QList<QUrl> pendingURLs() const;
    [[nodiscard]] int pendingCount() const { return int(m_pending.size()); }
    [[nodiscard]] bool isPaused() const { return m_isPaused; }
    [[nodiscard]] bool isRunning() const { return m_isRunning; }
    [[nodiscard]] RenameEngine *engine() const { return m_engine; }
    /** The URLs pending or part of the batch under way. */
    [[nodiscard]] QSet<QUrl> queuedURLs() const;

    /** The engine that processes the batches (its file work is the queue's); without one URLs stay pending. */
    void setEngine(RenameEngine *engine);
    /** A running batch finishes; no further batch starts while paused. */
    void setPaused(bool paused);
    /** Paused because the month's budget is spent. */
    [[nodiscard]] bool isPausedForBudget() const { return m_pausedForBudget; }

    /** Appends `urls` in order (repeats allowed) and starts processing unless paused or running. */
    void enqueue(const QList<QUrl> &urls, const std::optional<QString> &nameTemplate = std::nullopt);
    /** Lifts a pause and continues. */
    void resume();
    /** Forgets every pending URL; a batch under way is not affected. */
    void clear();

    /** The notification body for a batch's records: "old → new" for one, else "N Dateien umbenannt". */
    [[nodiscard]] static QString notificationBody(const QList<RenameRecord> &records);
    /** "1 Datei braucht eine Prüfung" or "N Dateien brauchen eine Prüfung". */
    [[nodiscard]] static QString reviewNotificationBody(qsizetype count);

Q_SIGNALS:
    void pendingURLsChanged();
    void isPausedChanged();
    void isRunningChanged();
    /** A batch has been applied; `records` are its renames, possibly none. */
    void batchFinished(const QList<RenameRecord> &records);
    /** Jobs a batch left unrenamed (unticked) because their suggestion is not backed by their text; for the window's
     * review. */
    void reviewNeeded(const QList<RenameJob> &jobs);
    /** The user pressed a notification's "Anzeigen": the window is to show this batch's records. */
    void showBatchRequested(qint64 batch);

private:
    struct Entry {
        QUrl url;
        std::optional<QString> nameTemplate;
    };

    void processNext();
    void changePaused(bool paused);
    /** Whether the month's budget forbids another batch now. */
    [[nodiscard]] bool budgetSpent() const;
    void pauseForBudget();
    /** Goes on once the budget allows it again. */
    void checkBudget();
    QCoro::Task<> runBatch(QList<QUrl> batch, std::optional<QString> nameTemplate);
    void setRunning(bool running);
    void notifyRenamed(const QList<RenameRecord> &records);
    /** The bubble's "Rückgängig": takes the batch back and says what came of it. */
    QCoro::Task<> undoFromNotification(qint64 batch);
    /**
     * Unticks the jobs that must not be applied unseen and returns them; with the flag off, ticks
     * them all (a fallback name arrives unticked from the analysis).
     */
    QList<RenameJob> holdBackUnverified(RenameEngine &engine) const;

    Notify m_notify;
    QPointer<RenameEngine> m_engine;
    const DefaultsStore &m_defaults;
    QList<Entry> m_pending;
    QList<QUrl> m_running;
    QSet<qint64> m_undoing; ///< batches a notification's undo action is taking back
    bool m_isPaused = false;
    bool m_isRunning = false;
    bool m_pausedForBudget = false;
    QTimer m_budgetCheck; ///< while paused for the budget: a new month lifts it
};
