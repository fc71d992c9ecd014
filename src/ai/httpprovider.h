#pragma once

#include "ai/aiprovider.h"
#include "ai/aiprovidertype.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QPointer>

#include <memory>

class Latch;
class QNetworkReply;

class AISettings;
class UsageLedger;
class QNetworkAccessManager;
class RenameRules;

/** What a provider client needs besides the call's arguments. */
struct ProviderEnvironment {
    AISettings &settings;
    UsageLedger &ledger;
    RenameRules &rules;
    QNetworkAccessManager &network;
    /** Replaces the provider's own time-out (tests only; the product keeps 30 s / 60 s). */
    std::optional<int> timeoutOverrideMs;

    /** The shared settings, ledger, rules and the one network manager of the GUI thread. */
    static ProviderEnvironment shared();
};

/**
 * The common path of the HTTP providers: read the settings, build both prompts, post the
 * provider's JSON body, map HTTP, transport and JSON failures to ProviderError, and read the
 * reply text at the provider's path. Subclasses say only how their wire format looks.
 *
 * Passing trouble is tried again, three tries in all: a 429 or a 5xx with "Retry-After" waits
 * as asked (at most `LongestWaitMs`; a longer wait fails at once), a 5xx without it and a dropped
 * connection back off 1 s, then 2 s. Waits end at once on `abort()`.
 */
class HTTPProvider : public AIProvider
{
public:
    static constexpr int Tries = 3;
    static constexpr int LongestWaitMs = 60'000;

    [[nodiscard]] QCoro::Task<SuggestionResult> suggest(FileContext context, std::optional<QString> nameTemplate) final;
    void abort() final;

    /**
     * What the prompt carries from the file and template, masked when the selected provider masks;
     * nullopt when sent as it is. The one place that decides what is sent.
     */
    [[nodiscard]] static std::optional<Privacy::MaskedPrompt>
    maskedPrompt(const FileContext &context, const std::optional<QString> &nameTemplate, const AISettings &settings);

    /** The endpoint without one trailing "/". */
    [[nodiscard]] static QString withoutTrailingSlash(const QString &endpoint);

    /** What one call sends: everything `buildRequest` needs. */
    struct Prompt {
        QString system;
        QString user;
        QString model;
        QString endpoint;
        QString apiKey;
    };
    struct Request {
        QString url;
        QList<QPair<QByteArray, QByteArray>> headers;
        QJsonObject body;
    };

    /**
     * The provider's URL, extra headers and body for `prompt`. The URL is formed exactly as the
     * provider defines it; Qt's network layer later merges a "//" in the path into "/".
     */
    [[nodiscard]] virtual Request buildRequest(const Prompt &prompt) const = 0;

    /**
     * A refused request in German: what the status means, and the service's own words from its
     * error reply ("error.message", "error" or "message"; a plain-text body's first line), never
     * the raw JSON or an HTML page.
     */
    [[nodiscard]] static QString describeRefusal(const QString &service, int status, const QByteArray &body);

protected:
    HTTPProvider(AIProviderType type, ProviderEnvironment environment);

    /** The reply text at the provider's path; nullopt when a step is missing or of the wrong type. */
    [[nodiscard]] virtual std::optional<QString> replyText(const QJsonObject &reply) const = 0;
    /** Where a reply counts the prompt's and the answer's tokens, as paths for `textAtPath`. */
    [[nodiscard]] virtual std::pair<QStringList, QStringList> tokenPaths() const = 0;
    /** How the user knows the service, at the start of its error messages. */
    [[nodiscard]] virtual QString serviceName() const = 0;
    [[nodiscard]] virtual int timeoutMs() const { return 30'000; }

    /**
     * The text at `path` below `reply`: keys of objects, "[0]" for the first element of an array.
     * nullopt when a step is missing, an array is empty or a value has the wrong type.
     */
    [[nodiscard]] static std::optional<QString> textAtPath(const QJsonObject &reply, const QStringList &path);
    /** [{"role": "system", "content": system}, {"role": "user", "content": user}] */
    [[nodiscard]] static QJsonArray chatMessages(const Prompt &prompt);

private:
    [[nodiscard]] ProviderError error(int code, const QString &message) const;
    [[nodiscard]] ProviderError aborted() const;
    /** Waits `ms` unless aborted first; the note shows meanwhile. */
    QCoro::Task<> waitBeforeRetry(qint64 ms, QString note);

    AIProviderType m_type;
    ProviderEnvironment m_environment;
    QList<QPointer<QNetworkReply>> m_inFlight;
    /** The waits under way with their notes; the latest note is the one shown. */
    QList<std::pair<std::shared_ptr<Latch>, QString>> m_waits;
    bool m_aborted = false;
};
