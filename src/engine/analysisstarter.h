#pragma once

#include "ai/costestimate.h"

#include <QList>
#include <QObject>
#include <QUrl>

#include <atomic>
#include <memory>
#include <optional>

class DefaultsStore;
class RenameEngine;

/**
 * The one way a face (window, tray panel, hand-over, watched folder) starts an analysis on an
 * engine, with the safeguards they all share:
 * - Nothing is analysed while the engine refuses (RenameEngine::refusal: the legal terms are not
 *   accepted); requests made meanwhile are kept and started, in order, once they are accepted.
 * - The inputs are expanded and counted (and their sizes taken) on a worker first, and the run
 *   analyses the files counted: folders are walked once. Above ConfirmAbove files the face is
 *   asked (confirmationNeeded) and the run starts only on confirm(true), so a dropped home
 *   folder never sends thousands of files to a paid provider by accident. Above
 *   EstimateAbove files to a cloud provider the question is asked too, with what the run is
 *   expected to cost; once this month's budget is spent, every run to one asks, saying so.
 * - stop() ends the counting, withdraws the questions and cancels the engine's running analysis.
 */
class AnalysisStarter final : public QObject
{
    Q_OBJECT

public:
    static constexpr qsizetype ConfirmAbove = 500;
    static constexpr qsizetype EstimateAbove = 50;

    /** What the face asks the user before a run. */
    struct Question {
        qsizetype count = 0;
        /** To a cloud provider, above EstimateAbove files. */
        std::optional<CostEstimate> estimate;
        /** To a cloud provider once the month's budget is spent: UsageLedger::budgetReached(). */
        std::optional<QString> budgetReached;
        /** Where the files go: nowhere ("Lokal"), only the unsure ones ("Erst lokal benennen"), or all. */
        bool onDevice = false;
        bool localFirst = false;
    };

    AnalysisStarter(RenameEngine &engine, DefaultsStore &defaults, QObject *parent = nullptr);
    ~AnalysisStarter() override;
    Q_DISABLE_COPY_MOVE(AnalysisStarter)

    [[nodiscard]] RenameEngine &engine() const { return m_engine; }

    /** Analyses `urls`; `again`: the user asks anew for files in the review (see RenameEngine::analyze). */
    void start(const QList<QUrl> &urls, const std::optional<QString> &nameTemplate = std::nullopt, bool again = false);
    /** The answer to the question on screen: analyse those files, or not. */
    void confirm(bool analyse);
    void stop();

    [[nodiscard]] bool isCounting() const { return m_counting > 0; }
    /** Requests kept until the legal terms are accepted. */
    [[nodiscard]] qsizetype heldRequests() const { return m_held.size(); }
    /** The question on screen, if one is open. */
    [[nodiscard]] std::optional<Question> openQuestion() const;

Q_SIGNALS:
    void countingChanged(bool counting);
    /** The face asks the user and answers with confirm(). */
    void confirmationNeeded(const AnalysisStarter::Question &question);
    /** The open question is void: stop() was called. */
    void questionWithdrawn();
    /** A run is handed to the engine. */
    void started();

private:
    struct Request {
        QList<QUrl> urls;
        std::optional<QString> nameTemplate;
        bool again = false;
        Question question;
        /** What the urls expand to, once counted. */
        QStringList files;
    };

    void count(Request request);
    /** The question for a counted run, or none when it may simply start. */
    [[nodiscard]] std::optional<Question> question(const RunSize &size) const;
    void run(const Request &request);
    void releaseHeld();

    RenameEngine &m_engine;
    DefaultsStore &m_defaults;
    QList<Request> m_held;      ///< waiting for the terms
    QList<Request> m_questions; ///< waiting for the user's answer, the first one on screen
    /** Set by stop(); the counting walks that were under way then see it. */
    std::shared_ptr<std::atomic_bool> m_stopCounting;
    int m_counting = 0;
};
