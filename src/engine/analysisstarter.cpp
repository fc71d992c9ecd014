#include "engine/analysisstarter.h"

#include "ai/aisettings.h"
#include "ai/providercatalogue.h"
#include "ai/usageledger.h"
#include "engine/inputexpansion.h"
#include "engine/renameengine.h"
#include "settings/generalflags.h"

#include <QCoroFuture>
#include <QCoroTask>
#include <QPointer>
#include <QtConcurrent>

namespace {

QStringList localPaths(const QList<QUrl> &urls)
{
    QStringList paths;
    for (const QUrl &url : urls)
        paths << url.toLocalFile();
    return paths;
}

} // namespace

AnalysisStarter::AnalysisStarter(RenameEngine &engine, DefaultsStore &defaults, QObject *parent)
    : QObject(parent)
    , m_engine(engine)
    , m_defaults(defaults)
    , m_stopCounting(std::make_shared<std::atomic_bool>(false))
{
    connect(&FlagChanges::shared(), &FlagChanges::written, this,
            [this](const DefaultsStore *store, const QString &key, bool value) {
                if (store == &m_defaults && value && key == GeneralFlags::hasAcceptedLegal.keyString() &&
                    !m_engine.refusal())
                    releaseHeld();
            });
}

AnalysisStarter::~AnalysisStarter()
{
    m_stopCounting->store(true);
}

std::optional<AnalysisStarter::Question> AnalysisStarter::openQuestion() const
{
    return m_questions.isEmpty() ? std::nullopt : std::optional<Question>(m_questions.first().question);
}

std::optional<AnalysisStarter::Question> AnalysisStarter::question(const RunSize &size) const
{
    const AISettings &settings = m_engine.settings();
    Question asked;
    asked.count = size.files;
    asked.onDevice = settings.provider() == AIProviderType::local;
    asked.localFirst = !asked.onDevice && settings.localFirst();
    if (ProviderCatalogue::facts(settings.provider()).paidCloud) {
        if (size.files > EstimateAbove)
            asked.estimate = CostEstimate::of(size, m_engine.ledger().price());
        if (size.files > 0 && m_engine.ledger().isOverBudget())
            asked.budgetReached = m_engine.ledger().budgetReached();
    }
    if (size.files <= ConfirmAbove && !asked.estimate && !asked.budgetReached)
        return std::nullopt;
    return asked;
}

void AnalysisStarter::start(const QList<QUrl> &urls, const std::optional<QString> &nameTemplate, bool again)
{
    Request request{urls, nameTemplate, again, {}, {}};
    // The engine would refuse now; the request waits for the acceptance instead of failing.
    if (m_engine.refusal()) {
        m_held.append(std::move(request));
        return;
    }
    count(std::move(request));
}

void AnalysisStarter::releaseHeld()
{
    for (Request &request : std::exchange(m_held, {}))
        count(std::move(request));
}

void AnalysisStarter::count(Request request)
{
    const QPointer<AnalysisStarter> self(this);
    const std::shared_ptr<std::atomic_bool> stop = m_stopCounting;
    if (m_counting++ == 0)
        Q_EMIT countingChanged(true);
    // A coroutine of its own: the caller (a drop, a hand-over) returns at once.
    [](QPointer<AnalysisStarter> starter, std::shared_ptr<std::atomic_bool> stop, Request request) -> QCoro::Task<> {
        const QStringList paths = localPaths(request.urls);
        QFuture<std::pair<QStringList, RunSize>> counting = QtConcurrent::run([paths, stop] {
            QStringList files = expandInputs(paths, stop.get());
            const RunSize size = CostEstimate::measure(files);
            return std::pair(std::move(files), size);
        });
        auto [files, size] = co_await counting;
        request.files = std::move(files);
        if (!starter)
            co_return;
        if (--starter->m_counting == 0)
            Q_EMIT starter->countingChanged(false);
        if (stop->load())
            co_return;
        const std::optional<Question> asked = starter->question(size);
        if (!asked) {
            starter->run(request);
            co_return;
        }
        request.question = *asked;
        starter->m_questions.append(request);
        if (starter->m_questions.size() == 1)
            Q_EMIT starter->confirmationNeeded(request.question);
    }(self, stop, std::move(request));
}

void AnalysisStarter::confirm(bool analyse)
{
    if (m_questions.isEmpty())
        return;
    const Request answered = m_questions.takeFirst();
    if (analyse)
        run(answered);
    if (!m_questions.isEmpty())
        Q_EMIT confirmationNeeded(m_questions.first().question);
}

void AnalysisStarter::stop()
{
    m_stopCounting->store(true);
    m_stopCounting = std::make_shared<std::atomic_bool>(false);
    if (!std::exchange(m_questions, {}).isEmpty())
        Q_EMIT questionWithdrawn();
    m_engine.cancel();
}

void AnalysisStarter::run(const Request &request)
{
    Q_EMIT started();
    m_engine.analyzeExpanded(request.files, request.nameTemplate, request.again);
}
