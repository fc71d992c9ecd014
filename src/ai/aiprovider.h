#pragma once

#include "ai/aisuggestion.h"

#include <QCoroTask>
#include <QString>

#include <expected>
#include <functional>
#include <optional>

struct FileContext;

/** A provider's failure: the domain (the provider's name, or "Netzwerk", "JSON"), a code and a German message. */
struct ProviderError {
    QString domain;
    int code = -1;
    QString message;
};

using SuggestionResult = std::expected<AISuggestion, ProviderError>;

/**
 * A language-model provider client. `suggest` reads its configuration at the start of every
 * call, runs on the GUI thread and awaits the network without blocking it; several calls may be
 * in flight at once. A reply without usable JSON is not a failure (it gives a fallback name).
 */
class AIProvider
{
public:
    virtual ~AIProvider() = default;

    [[nodiscard]] virtual QCoro::Task<SuggestionResult> suggest(FileContext context,
                                                                std::optional<QString> nameTemplate) = 0;
    /** Aborts the requests in flight and waits under way and fails every later call at once; for a cancelled run. */
    virtual void abort() {}

    /**
     * Told whenever a wait before another try starts or ends: a German note for the progress line
     * ("Anbieter bittet zu warten: 20 s"), nullopt once no call waits any more.
     */
    void setWaitObserver(std::function<void(const std::optional<QString> &)> observer)
    {
        m_waitObserver = std::move(observer);
    }

protected:
    void announceWait(const std::optional<QString> &note) const
    {
        if (m_waitObserver)
            m_waitObserver(note);
    }

private:
    std::function<void(const std::optional<QString> &)> m_waitObserver;
};
