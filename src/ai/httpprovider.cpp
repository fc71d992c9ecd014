#include "httpprovider.h"

#include "ai/usageledger.h"

#include "ai/ailog.h"
#include "ai/aisettings.h"
#include "ai/promptcontract.h"
#include "common/latch.h"
#include "common/networkerrors.h"
#include "common/processwide.h"
#include "common/strictutf8.h"
#include "common/stringtable.h"
#include "common/unicodetext.h"
#include "extraction/filecontext.h"
#include "naming/renamerules.h"

#include <QCoroNetworkReply>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QStringDecoder>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <memory>

namespace {

constexpr qsizetype ErrorBodyLength = 300;

/** The service's own words in an error reply, as the common reply shapes carry them. */
QString serviceMessage(const QByteArray &body)
{
    const QString text = strictUtf8(body).value_or(QString()).trimmed();
    const QJsonDocument document = QJsonDocument::fromJson(body);
    if (document.isObject()) {
        const QJsonObject reply = document.object();
        const QJsonValue error = reply.value(QStringLiteral("error"));
        for (const QJsonValue &candidate :
             {error.toObject().value(QStringLiteral("message")), error, reply.value(QStringLiteral("message")),
              reply.value(QStringLiteral("detail"))}) {
            if (candidate.isString() && !candidate.toString().trimmed().isEmpty())
                return UnicodeText::leftGraphemes(candidate.toString().trimmed(), ErrorBodyLength);
        }
        return {};
    }
    // A proxy's or server's HTML page says nothing a sentence could use.
    if (text.isEmpty() || text.startsWith(u'<') || text.startsWith(u'{') || text.startsWith(u'['))
        return {};
    return UnicodeText::leftGraphemes(text.section(u'\n', 0, 0).trimmed(), ErrorBodyLength);
}

const char *refusalText(int status)
{
    switch (status) {
    case 400:
    case 422:
        return "provider.refused.request";
    case 401:
    case 403:
        return "provider.refused.key";
    case 404:
        return "provider.refused.notFound";
    case 408:
    case 504:
        return "provider.refused.timeout";
    case 413:
        return "provider.refused.tooLarge";
    case 429:
        return "provider.refused.tooMany";
    default:
        return status >= 500 ? "provider.refused.down" : "provider.refused.other";
    }
}

/** The value at `path` below `reply`; undefined when a step is missing or of the wrong type. */
QJsonValue valueAtPath(const QJsonObject &reply, const QStringList &path)
{
    QJsonValue value = reply;
    for (const QString &step : path) {
        if (step == u"[0]") {
            if (!value.isArray() || value.toArray().isEmpty())
                return QJsonValue::Undefined;
            value = value.toArray().first();
        } else {
            if (!value.isObject() || !value.toObject().contains(step))
                return QJsonValue::Undefined;
            value = value.toObject().value(step);
        }
    }
    return value;
}

constexpr int FirstBackOffMs = 1'000;
constexpr int LongestBackOffMs = 4'000;

/** Statuses that say the service is briefly unwell; 529 is Anthropic's "overloaded". */
bool isPassingStatus(int status)
{
    return status == 500 || status == 502 || status == 503 || status == 504 || status == 529;
}

/** The connection broke after it stood; refusals and time-outs are not tried again (a 30 s wait thrice). */
bool isPassingTransport(QNetworkReply::NetworkError error)
{
    return error == QNetworkReply::RemoteHostClosedError || error == QNetworkReply::TemporaryNetworkFailureError ||
           error == QNetworkReply::NetworkSessionFailedError;
}

int backOffMs(int tried)
{
    return std::min(LongestBackOffMs, FirstBackOffMs << std::min(tried - 1, 8));
}

/** "Retry-After" in milliseconds from `now`: delta seconds or an HTTP date; nullopt when absent or unreadable. */
std::optional<qint64> retryAfterMs(const QByteArray &header, const QDateTime &now)
{
    const QByteArray value = header.trimmed();
    if (value.isEmpty())
        return std::nullopt;
    bool number = false;
    const qint64 seconds = value.toLongLong(&number);
    if (number)
        return seconds < 0 ? std::nullopt : std::optional<qint64>(std::min<qint64>(seconds, 1'000'000'000) * 1000);
    // IMF-fixdate, the only form senders may use today: "Sun, 06 Nov 1994 08:49:37 GMT".
    const QDateTime local =
        QLocale::c().toDateTime(QString::fromLatin1(value), QStringLiteral("ddd, dd MMM yyyy HH:mm:ss 'GMT'"));
    if (!local.isValid())
        return std::nullopt;
    return std::max<qint64>(0, now.msecsTo(QDateTime(local.date(), local.time(), Qt::UTC)));
}

/** A wait as people say it: seconds up to two minutes, then minutes. */
QString spokenDuration(qint64 ms)
{
    const QLocale german(QLocale::German);
    const qint64 seconds = (ms + 999) / 1000;
    if (seconds < 120)
        return german.toString(seconds) + QStringLiteral(" s");
    return german.toString((seconds + 59) / 60) + QStringLiteral(" min");
}

QString transportMessage(QNetworkReply::NetworkError error, int timeoutMs)
{
    // The transfer time-out aborts the reply, which Qt reports as cancelled.
    if (error == QNetworkReply::OperationCanceledError)
        return StringTable::text("provider.noAnswer").arg(QLocale(QLocale::German).toString(timeoutMs / 1000.0));
    return StringTable::text("provider.network").arg(NetworkErrors::describe(error));
}

/** Same scheme, host and port: what a browser would call one origin. */
bool sameOrigin(const QUrl &a, const QUrl &b)
{
    const auto defaultPort = [](const QUrl &url) { return url.scheme() == u"https" ? 443 : 80; };
    return a.scheme() == b.scheme() && a.host().compare(b.host(), Qt::CaseInsensitive) == 0 &&
           a.port(defaultPort(a)) == b.port(defaultPort(b));
}

} // namespace

ProviderEnvironment ProviderEnvironment::shared()
{
    QNetworkAccessManager &network = processWide<QNetworkAccessManager>([] { return new QNetworkAccessManager; });
    return ProviderEnvironment{AISettings::shared(), UsageLedger::shared(), RenameRules::shared(), network,
                               std::nullopt};
}

HTTPProvider::HTTPProvider(AIProviderType type, ProviderEnvironment environment)
    : m_type(type)
    , m_environment(environment)
{
}

std::optional<Privacy::MaskedPrompt> HTTPProvider::maskedPrompt(const FileContext &context,
                                                                const std::optional<QString> &nameTemplate,
                                                                const AISettings &settings)
{
    if (!settings.maskPersonalData())
        return std::nullopt;
    return PromptContract::maskedPrompt(context, nameTemplate, Privacy::MaskOptions{settings.ownDetails()});
}

QString HTTPProvider::withoutTrailingSlash(const QString &endpoint)
{
    return endpoint.endsWith(u'/') ? endpoint.chopped(1) : endpoint;
}

std::optional<QString> HTTPProvider::textAtPath(const QJsonObject &reply, const QStringList &path)
{
    const QJsonValue value = valueAtPath(reply, path);
    return value.isString() ? std::optional<QString>(value.toString()) : std::nullopt;
}

QJsonArray HTTPProvider::chatMessages(const Prompt &prompt)
{
    return QJsonArray{
        QJsonObject{{QStringLiteral("role"), QStringLiteral("system")}, {QStringLiteral("content"), prompt.system}},
        QJsonObject{{QStringLiteral("role"), QStringLiteral("user")}, {QStringLiteral("content"), prompt.user}},
    };
}

void HTTPProvider::abort()
{
    m_aborted = true;
    const auto waits = m_waits;
    for (const auto &wait : waits)
        wait.first->open();
    const QList<QPointer<QNetworkReply>> inFlight = m_inFlight;
    for (const QPointer<QNetworkReply> &reply : inFlight) {
        if (reply)
            reply->abort();
    }
}

QCoro::Task<> HTTPProvider::waitBeforeRetry(qint64 ms, QString note)
{
    const auto gate = std::make_shared<Latch>();
    // Precise: a coarse timer may fire 5 % early, before the time the service asked for.
    QTimer::singleShot(std::chrono::milliseconds(ms), Qt::PreciseTimer, gate.get(),
                       [raw = gate.get()] { raw->open(); });
    m_waits.append({gate, note});
    announceWait(note);
    co_await gate->wait();
    m_waits.removeIf([&](const auto &wait) { return wait.first == gate; });
    announceWait(m_waits.isEmpty() ? std::nullopt : std::optional<QString>(m_waits.constLast().second));
}

ProviderError HTTPProvider::aborted() const
{
    return error(-1, StringTable::text("run.cancelled"));
}

QString HTTPProvider::describeRefusal(const QString &service, int status, const QByteArray &body)
{
    const QString sentence = StringTable::text(refusalText(status)).arg(service).arg(status);
    const QString said = serviceMessage(body);
    return said.isEmpty() ? sentence : StringTable::text("provider.refused.said").arg(sentence, said);
}

ProviderError HTTPProvider::error(int code, const QString &message) const
{
    return ProviderError{rawValue(m_type), code, message};
}

QCoro::Task<SuggestionResult> HTTPProvider::suggest(FileContext context, std::optional<QString> nameTemplate)
{
    AISettings &settings = m_environment.settings;
    Prompt prompt;
    if (AISettings::needsAPIKey(m_type))
        prompt.apiKey = co_await settings.apiKey();
    prompt.model = settings.effectiveModel();
    prompt.endpoint = settings.effectiveEndpoint();
    prompt.system = PromptContract::buildSystemPrompt(m_environment.rules.categories());
    // Decided with the endpoint, in one step: a provider switch changes both at once.
    const std::optional<Privacy::MaskedPrompt> masked = maskedPrompt(context, nameTemplate, settings);
    prompt.user = PromptContract::buildUserPrompt(context, nameTemplate, masked);

    if (m_aborted)
        co_return std::unexpected(aborted());
    const Request request = buildRequest(prompt);
    const QUrl url(request.url);
    if (!url.isValid() || url.host().isEmpty() || (url.scheme() != u"http" && url.scheme() != u"https"))
        co_return std::unexpected(error(-1, StringTable::text("provider.invalidEndpointAt").arg(prompt.endpoint)));

    const int timeout = m_environment.timeoutOverrideMs.value_or(timeoutMs());
    QNetworkRequest networkRequest(url);
    networkRequest.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    for (const auto &[name, value] : request.headers)
        networkRequest.setRawHeader(name, value);
    networkRequest.setTransferTimeout(timeout);
    // Each redirect is checked: the key and the document go to no other server than the one typed.
    networkRequest.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
    const QByteArray body = QJsonDocument(request.body).toJson(QJsonDocument::Compact);

    QByteArray replyBody;
    for (int tried = 1;; ++tried) {
        if (m_aborted)
            co_return std::unexpected(aborted());
        QNetworkReply *sent = m_environment.network.post(networkRequest, body);
        const auto refusedRedirect = std::make_shared<std::optional<std::pair<QUrl, int>>>();
        QObject::connect(sent, &QNetworkReply::redirected, sent, [sent, url, refusedRedirect](const QUrl &target) {
            const QUrl resolved = url.resolved(target);
            if (sameOrigin(url, resolved)) {
                Q_EMIT sent->redirectAllowed();
                return;
            }
            *refusedRedirect = {resolved, sent->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt()};
            sent->abort();
        });
        m_inFlight.append(sent);
        co_await sent;
        m_inFlight.removeAll(sent);
        // Resumed from the reply's own finished signal: deleting it here would pull it from under Qt.
        const QScopedPointer<QNetworkReply, QScopedPointerDeleteLater> reply(sent);
        if (m_aborted)
            co_return std::unexpected(aborted());
        if (*refusedRedirect) {
            const auto &[target, code] = **refusedRedirect;
            const QString address =
                target.adjusted(QUrl::RemoveUserInfo | QUrl::RemoveQuery | QUrl::RemoveFragment).toString();
            co_return std::unexpected(
                error(code > 0 ? code : -1,
                      StringTable::text(prompt.apiKey.isEmpty() ? "provider.redirect" : "provider.redirect.key")
                          .arg(address)));
        }

        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        std::optional<qint64> asked; // what the service asked for, else a back-off
        if (!status.isValid() && reply->error() != QNetworkReply::NoError) {
            if (tried == Tries || !isPassingTransport(reply->error())) {
                const QString message = transportMessage(reply->error(), timeout);
                co_return std::unexpected(ProviderError{QStringLiteral("Netzwerk"), int(reply->error()), message});
            }
        } else if (status.isValid() && status.toInt() != 200) {
            const int code = status.toInt();
            replyBody = reply->readAll();
            // A 429 without a wait is as often an empty account as a burst: trying again would not help.
            asked = code == 429 || isPassingStatus(code)
                        ? retryAfterMs(reply->rawHeader("Retry-After"), QDateTime::currentDateTimeUtc())
                        : std::nullopt;
            if (asked && *asked > LongestWaitMs) {
                co_return std::unexpected(error(code, StringTable::text("provider.wait.tooLong")
                                                          .arg(serviceName(), spokenDuration(*asked))
                                                          .arg(code)
                                                          .arg(LongestWaitMs / 1000)));
            }
            if (tried == Tries || (!asked && !isPassingStatus(code)))
                co_return std::unexpected(error(code, describeRefusal(serviceName(), code, replyBody)));
        } else {
            replyBody = reply->readAll();
            break;
        }
        const qint64 waitMs = asked.value_or(backOffMs(tried));
        qCDebug(lcAI, "%s: try %d of %d failed (%s), tried again in %lld ms%s", qUtf8Printable(serviceName()), tried,
                Tries,
                qUtf8Printable(status.isValid() ? QStringLiteral("HTTP %1").arg(status.toInt()) : reply->errorString()),
                waitMs, asked ? " as the service asked" : "");
        const QString note = StringTable::text(asked ? "provider.wait.asked" : "provider.wait.retry")
                                 .arg(QLocale(QLocale::German).toString((waitMs + 999) / 1000));
        QCoro::Task<> waiting = waitBeforeRetry(waitMs, note);
        co_await std::move(waiting);
    }

    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(replyBody, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        co_return std::unexpected(ProviderError{QStringLiteral("JSON"), int(parseError.error),
                                                StringTable::text("provider.notJson").arg(parseError.offset)});
    }
    if (document.isObject()) {
        // A reply without counts is still a request; a count that is no number adds nothing.
        const auto [promptPath, answerPath] = tokenPaths();
        m_environment.ledger.addUsage(m_type, qint64(valueAtPath(document.object(), promptPath).toDouble()),
                                      qint64(valueAtPath(document.object(), answerPath).toDouble()));
    }
    const std::optional<QString> text = document.isObject() ? replyText(document.object()) : std::nullopt;
    if (!text)
        co_return std::unexpected(error(-1, StringTable::text("provider.invalidReply")));
    co_return PromptContract::makeSuggestion(*text, context.fileExtension).withMasked(masked);
}
