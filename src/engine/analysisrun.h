#pragma once

#include "engine/renamejob.h"

#include <QList>
#include <QObject>

/**
 * One analysis run as the caller that started it follows it (RenameEngine::analyze): whether it
 * waits for its turn, runs or is done, how many of its own files are analysed, and once done its
 * results; the engine keeps it up to date, whatever other runs it works on meanwhile. A caller
 * that goes abandons it: that run alone ends.
 */
class AnalysisRun final : public QObject
{
    Q_OBJECT

public:
    enum class State { waiting, running, done };
    struct Progress {
        int processed = 0;
        /** Its files to analyse, once its folders are walked and the history is asked. */
        int total = 0;
        /** Its files left out because the history already holds them. */
        int skipped = 0;
    };

    AnalysisRun() = default;
    Q_DISABLE_COPY_MOVE(AnalysisRun)

    [[nodiscard]] State state() const { return m_state; }
    [[nodiscard]] const Progress &progress() const { return m_progress; }
    /** Done before all its files were analysed: cancelled or abandoned. */
    [[nodiscard]] bool stopped() const { return m_stopped; }
    /** Once done: its jobs, in input order. */
    [[nodiscard]] const QList<RenameJob> &results() const { return m_results; }

    /** Its caller has gone: the run ends as soon as it can, also while it still waits for its turn. */
    void abandon();
    [[nodiscard]] bool isAbandoned() const { return m_abandoned; }

    /** The engine's side. */
    void start();
    void setProgress(const Progress &progress);
    void finish(const QList<RenameJob> &results, bool stopped);

Q_SIGNALS:
    void changed();
    void abandoned();

private:
    State m_state = State::waiting;
    Progress m_progress;
    bool m_stopped = false;
    bool m_abandoned = false;
    QList<RenameJob> m_results;
};
