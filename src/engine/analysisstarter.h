#pragma once

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
 * - Nothing is analysed before the legal terms are accepted; requests made meanwhile are kept and
 *   started, in order, once they are.
 * - The inputs are counted on a worker first. Above ConfirmAbove files the face is asked
 *   (confirmationNeeded) and the run starts only on confirm(true), so a dropped home folder
 *   never sends thousands of files to a paid provider by accident.
 * - stop() ends the counting, withdraws the questions and cancels the engine's running analysis.
 */
class AnalysisStarter final : public QObject
{
    Q_OBJECT

public:
    static constexpr qsizetype ConfirmAbove = 500;

    AnalysisStarter(RenameEngine &engine, DefaultsStore &defaults, QObject *parent = nullptr);
    ~AnalysisStarter() override;
    Q_DISABLE_COPY_MOVE(AnalysisStarter)

    [[nodiscard]] RenameEngine &engine() const { return m_engine; }

    void start(const QList<QUrl> &urls, const std::optional<QString> &nameTemplate = std::nullopt);
    /** The answer to the question on screen: analyse those files, or not. */
    void confirm(bool analyse);
    void stop();

    [[nodiscard]] bool isCounting() const { return m_counting > 0; }
    /** Requests kept until the legal terms are accepted. */
    [[nodiscard]] qsizetype heldRequests() const { return m_held.size(); }
    /** The number of files the open question is about, if one is open. */
    [[nodiscard]] std::optional<qsizetype> openQuestion() const;

Q_SIGNALS:
    void countingChanged(bool counting);
    /** More than ConfirmAbove files: the face asks the user and answers with confirm(). */
    void confirmationNeeded(qsizetype count);
    /** The open question is void: stop() was called. */
    void questionWithdrawn();
    /** A run is handed to the engine. */
    void started();

private:
    struct Request {
        QList<QUrl> urls;
        std::optional<QString> nameTemplate;
        qsizetype count = 0;
    };

    void count(Request request);
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
