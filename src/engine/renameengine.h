#pragma once

#include "ai/aiprovider.h"
#include "common/latch.h"
#include "engine/analysisrun.h"
#include "engine/filework.h"
#include "engine/namorixerror.h"
#include "engine/renamejob.h"
#include "store/objectstore.h"

#include <QCoroTask>
#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <QUrl>

#include <expected>
#include <functional>
#include <memory>
#include <optional>

class AISettings;
class DefaultsStore;
class UsageLedger;
class KVXClient;
class Latch;
class QNetworkAccessManager;
class RenameRules;
class ExtractionSandbox;

/**
 * Turns files into rename suggestions: expands folders, drops files the history already holds,
 * checks the selected provider, analyses four files at a time (extraction in sandboxed helpers, the
 * provider over the network, the name built here) and publishes the jobs in input order with
 * progress counters and a German summary in `error`. Lives on the GUI thread; never blocks it.
 * A run never fails: every failure ends in `error` or in a failed job.
 *
 * Runs and applies on one engine take turns in call order, so they never interleave. A run
 * outlives nothing: when the engine is destroyed mid-run, every suspended step ends quietly.
 */
class RenameEngine final : public QObject
{
    Q_OBJECT

public:
    static constexpr int AnalysisConcurrency = 4;
    static constexpr int OllamaProbeTimeoutMs = 5000;

    /** What the engine works with; the shared instances by default. */
    struct Services {
        AISettings &settings;
        UsageLedger &ledger;
        RenameRules &rules;
        KVXClient &companion;
        QNetworkAccessManager &network;
        /** Where the general flags are read: the legal acceptance that refusal() asks for. */
        DefaultsStore &defaults;
        std::function<std::unique_ptr<AIProvider>()> makeProvider;
        /** The helpers that read the files; none: the shared ones. */
        ExtractionSandbox *sandbox = nullptr;

        static Services shared();
    };

    explicit RenameEngine(Services services, QObject *parent = nullptr);
    ~RenameEngine() override;
    Q_DISABLE_COPY_MOVE(RenameEngine)

    /** The provider settings the engine asks with. */
    [[nodiscard]] AISettings &settings() const { return m_services.settings; }
    /** What the providers were asked and what that cost. */
    [[nodiscard]] UsageLedger &ledger() const { return m_services.ledger; }

    /**
     * Why this engine will not send a file to a provider or rename one now: the legal terms are
     * not accepted (NamorixError::Code::termsNotAccepted). The one gate of every face: analyze()
     * and applyApproved() refuse while it holds (the run sets `error`, does nothing and returns no
     * jobs or records); the window holds its requests until acceptance, the queue waits, REST
     * answers 403 and the command line says so.
     */
    [[nodiscard]] std::optional<NamorixError> refusal() const;

    /**
     * The file work of whoever owns this engine (the window, the queue, the tray, the command
     * line): its applies, and the undos that owner starts, with their progress and their stop.
     */
    [[nodiscard]] FileWork &fileWork() { return m_work; }

    /** Where the history is read and written; without one nothing is filtered or recorded. */
    void setStore(ObjectStore *store) { m_store = store; }
    [[nodiscard]] ObjectStore *store() const { return m_store; }

    /**
     * The review list. It belongs to the user: an analysis adds its results (a file already listed
     * gets its newer result unless the user changed that row), applying removes what it renamed,
     * and only editJob, removeJobs and clearJobs take anything else away.
     */
    [[nodiscard]] const QList<RenameJob> &jobs() const { return m_jobs; }
    /** Replaces the list whole: for an engine no user reviews (the queue's) and for tests. */
    void setJobs(const QList<RenameJob> &jobs);
    /** Who changes a job: only the user's changes are kept against a newer analysis of the file. */
    enum class Editor { user, script };
    /**
     * Changes one job's name or tick. A new name's fields are checked again (`unverified`, the
     * explanation and its marks follow what now stands in the name). A job the user changed is
     * kept when a newer analysis of its file arrives (which is noted in `newerSuggestion`). False
     * when no job has this id.
     */
    bool editJob(const QUuid &id, const std::optional<QString> &name, const std::optional<bool> &approved,
                 Editor editor = Editor::user);
    /** Ticks or unticks every job (select all / none), or only those in `only` (the rows a filter shows). */
    void setAllApproved(bool approved, const std::optional<QSet<QUuid>> &only = std::nullopt);
    /**
     * Adds jobs analysed elsewhere (the queue's, held back for review) as an analysis adds its
     * results: a listed file gets the newer job unless the user edited its row.
     */
    void addToReview(const QList<RenameJob> &jobs) { mergeIntoReview(jobs); }
    /** Takes these jobs out of the review; unknown ids are ignored. */
    void removeJobs(const QSet<QUuid> &ids);
    /** Empties the review and its message: the user's "Abbrechen". */
    void clearJobs();
    /**
     * Ends every analysis, running or waiting, waits until the running one has stopped (so that
     * nothing it finished joins the review afterwards; a waiting one finds nothing), then empties
     * the review as clearJobs() does; returns how many jobs it held. An apply under way goes on.
     */
    QCoro::Task<qsizetype> cancelAndClear();
    [[nodiscard]] bool isProcessing() const { return m_isProcessing; }
    /** The last run's or apply's message as the REST API defines it ("… übersprungen (bereits in History)"). */
    [[nodiscard]] const std::optional<QString> &error() const { return m_error; }
    /** The same message in the window's words (the history is "Verlauf" there). */
    [[nodiscard]] std::optional<QString> shownError() const { return m_shownError ? m_shownError : m_error; }
    void setError(const std::optional<QString> &error, const std::optional<QString> &shown = std::nullopt);
    [[nodiscard]] int processedCount() const { return m_processedCount; }
    [[nodiscard]] int totalCount() const { return m_totalCount; }
    [[nodiscard]] int skippedDuplicates() const { return m_skippedDuplicates; }
    /**
     * While the provider waits before trying a file again, what the progress line adds
     * ("Anbieter bittet zu warten: 20 s"); nullopt otherwise.
     */
    [[nodiscard]] const std::optional<QString> &waitNote() const { return m_waitNote; }

    /** One file that applying could not rename, and why (German). */
    struct ApplyFailure {
        QString path;
        QString reason;
    };

    /**
     * One analysis run over files and folders; `nameTemplate` goes to the prompt unchanged, and
     * without one the store's default template does (NamingTemplates::defaultPattern).
     * A run started while another runs waits for it, so runs never interleave. Its results are
     * added to the review (see jobs()) and returned, in input order. Asked `again`, no kept reply
     * is used and the results replace their rows, the user's edits too: the user asked anew.
     *
     * A caller that follows the run through `follow` sees its own progress there, whatever other
     * runs the engine works on; once it is abandoned (its client has gone: a script's request,
     * the command line's Ctrl+C), this run alone ends as cancel() ends one, also while it still
     * waits for its turn: nothing more is sent, and its results neither join the review nor
     * change `error`.
     */
    QCoro::Task<QList<RenameJob>> analyze(QList<QUrl> inputs, std::optional<QString> nameTemplate, bool again = false,
                                          std::shared_ptr<AnalysisRun> follow = nullptr);
    /**
     * The same run over `files`, the expansion of its inputs (expandInputs) already made — by the
     * starter, which counted them — so the folders are not walked a second time. A file gone
     * since then gets its failed job, as one gone between a walk and its analysis does.
     */
    QCoro::Task<QList<RenameJob>> analyzeExpanded(QStringList files, std::optional<QString> nameTemplate,
                                                  bool again = false, std::shared_ptr<AnalysisRun> follow = nullptr);
    /**
     * Ends the running analysis and any waiting ones: the walk stops, no further provider request
     * is sent, requests in flight are aborted; the run keeps the jobs finished so far and says
     * "Analyse abgebrochen". Does nothing when idle.
     */
    void cancel();

    /**
     * Renames the files of the approved jobs (only those of `only` when given) and returns their
     * records, in job order. Waits for a running analysis first. The records are stored (pending)
     * in one synced transaction before the files move and confirmed in one after; no move ever
     * replaces an existing file, and destinations are unique within the batch too; without a
     * store nothing is renamed. The renamed jobs leave the review; a job that failed stays,
     * with its reason in `applyFailure`. Failures go to `error` (a summary) and to
     * `lastApplyFailures`; an id in `only` that is not in the list is one of them. The files move
     * through `work` (a guest's, such as the REST API's), else through fileWork(); a stop there
     * keeps the jobs not reached as they are and says so in `error`.
     */
    QCoro::Task<QList<RenameRecord>> applyApproved(std::optional<QList<QUuid>> only = std::nullopt,
                                                   FileWork *work = nullptr);
    /** The files the last `applyApproved` could not rename, in job order. */
    [[nodiscard]] const QList<ApplyFailure> &lastApplyFailures() const { return m_applyFailures; }
    /** How many jobs a stop kept the last `applyApproved` from. */
    [[nodiscard]] int lastApplyStopped() const { return m_applyStopped; }

Q_SIGNALS:
    void jobsChanged();
    void isProcessingChanged();
    void errorChanged();
    void progressChanged(); ///< processedCount, totalCount or skippedDuplicates
    void waitNoteChanged();

private:
    struct Run;
    /** A place in the engine's line of runs and applies: wait for `previous`, open `mine` when done. */
    struct Turn {
        std::shared_ptr<Latch> previous;
        std::shared_ptr<Latch> mine;
    };

    [[nodiscard]] Turn takeTurn();
    /** Ends `run`: the walk stops, no further request is sent, requests in flight are aborted. */
    void stop(Run &run);
    [[nodiscard]] ExtractionSandbox &sandbox() const;
    /** Input paths, or the files they expand to (`expanded`). */
    struct Inputs {
        QStringList paths;
        bool expanded = false;
    };
    QCoro::Task<QList<RenameJob>> analyzeInputs(Inputs inputs, std::optional<QString> nameTemplate, bool again,
                                                std::shared_ptr<AnalysisRun> follow);
    QCoro::Task<> runAnalysis(std::shared_ptr<Run> run, Inputs inputs);
    QCoro::Task<> lane(std::shared_ptr<Run> run);
    QCoro::Task<std::optional<NamorixError>> validateProvider(std::shared_ptr<Run> run);
    /** Which candidates the history holds; nullopt when there is no store or it cannot be read. */
    [[nodiscard]] std::optional<QSet<QString>> historyPaths(const QStringList &candidates) const;
    void publishResults(Run &run);
    /** Keeps what an applied job teaches about its sender (nothing leaves the machine). */
    void learnFrom(const RenameJob &job);
    /** Adds a run's results to the review: a listed file gets its newer result unless the user edited it. */
    void mergeIntoReview(const QList<RenameJob> &results, bool replaceEdits = false);
    void setProcessing(bool processing);
    void setProgress(int processed, int total, int skipped);
    void setWaitNote(const std::optional<QString> &note);

    Services m_services;
    FileWork m_work;
    ObjectStore *m_store = nullptr;
    QList<RenameJob> m_jobs;
    bool m_isProcessing = false;
    std::optional<QString> m_error;
    std::optional<QString> m_shownError; ///< only where the window words it otherwise
    int m_processedCount = 0;
    int m_totalCount = 0;
    int m_skippedDuplicates = 0;
    std::optional<QString> m_waitNote;
    QList<ApplyFailure> m_applyFailures;
    int m_applyStopped = 0;

    /** False from the destructor on: suspended runs check it before they touch the engine. */
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    /** The latch of the last run or apply in line; the next one waits for it. */
    std::shared_ptr<Latch> m_lastTurn;
    std::weak_ptr<Run> m_currentRun;
    quint64 m_nextTicket = 0;
    /** Runs with a lower ticket were cancelled, also those still waiting for their turn. */
    quint64 m_cancelledBelow = 0;
    int m_runsInLine = 0;
};