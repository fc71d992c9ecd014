#include "engine/analysisrun.h"

void AnalysisRun::abandon()
{
    if (m_abandoned)
        return;
    m_abandoned = true;
    Q_EMIT abandoned();
}

void AnalysisRun::start()
{
    m_state = State::running;
    Q_EMIT changed();
}

void AnalysisRun::setProgress(const Progress &progress)
{
    m_progress = progress;
    Q_EMIT changed();
}

void AnalysisRun::finish(const QList<RenameJob> &results, bool stopped)
{
    m_state = State::done;
    m_results = results;
    m_stopped = stopped;
    Q_EMIT changed();
}
