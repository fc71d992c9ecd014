#include "httpprovider.h"

#include "ai/aisettings.h"
#include "ai/promptcontract.h"
#include "common/networkerrors.h"
#include "common/processwide.h"
#include "common/strictutf8.h"
#include "common/stringtable.h"
#include "common/unicodetext.h"
#include "extraction/filecontext.h"
#include "naming/renamerules.h"

#include <QCoroNetworkReply>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QStringDecoder>
#include <QUrl>

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

QString transportMessage(QNetworkReply::NetworkError error, int timeoutMs)
{
    // The transfer time-out aborts the reply, which Qt reports as cancelled.
    if (error == QNetworkReply::OperationCanceledError)
        return QStringLiteral("Zeitüberschreitung: keine Antwort nach %1 s")
            .arg(QLocale(QLocale::German).toString(timeoutMs / 1000.0));
    return QStringLiteral("Netzwerkfehler: ") + NetworkErrors::describe(error);
}

} // namespace

ProviderEnvironment ProviderEnvironment::shared()
{
    QNetworkAccessManager &network = processWide<QNetworkAccessManager>([] { return new QNetworkAccessManager; });
    return ProviderEnvironment{AISettings::shared(), RenameRules::shared(), network, std::nullopt};
}

HTTPProvider::HTTPProvider(AIProviderType type, ProviderEnvironment environment)
    : m_type(type)
    , m_environment(environment)
{
}

QString HTTPProvider::withoutTrailingSlash(const QString &endpoint)
{
    return endpoint.endsWith(u'/') ? endpoint.chopped(1) : endpoint;
}

std::optional<QString> HTTPProvider::textAtPath(const QJsonObject &reply, const QStringList &path)
{
    QJsonValue value = reply;
    for (const QString &step : path) {
        if (step == u"[0]") {
            if (!value.isArray() || value.toArray().isEmpty())
                return std::nullopt;
            value = value.toArray().first();
        } else {
            if (!value.isObject() || !value.toObject().contains(step))
                return std::nullopt;
            value = value.toObject().value(step);
        }
    }
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
    const QList<QPointer<QNetworkReply>> inFlight = m_inFlight;
    for (const QPointer<QNetworkReply> &reply : inFlight) {
        if (reply)
            reply->abort();
    }
}

ProviderError HTTPProvider::aborted() const
{
    return error(-1, QStringLiteral("Analyse abgebrochen"));
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
    std::optional<Privacy::MaskResult> masked;
    if (settings.maskPersonalData())
        masked = PromptContract::maskedExcerpt(context, Privacy::MaskOptions{settings.ownDetails()});
    prompt.user = PromptContract::buildUserPrompt(context, nameTemplate,
                                                  masked ? std::optional<QString>(masked->text) : std::nullopt);

    if (m_aborted)
        co_return std::unexpected(aborted());
    const Request request = buildRequest(prompt);
    const QUrl url(request.url);
    if (!url.isValid() || url.host().isEmpty() || (url.scheme() != u"http" && url.scheme() != u"https"))
        co_return std::unexpected(error(-1, QStringLiteral("Ungültiger Endpoint: ") + prompt.endpoint));

    const int timeout = m_environment.timeoutOverrideMs.value_or(timeoutMs());
    QNetworkRequest networkRequest(url);
    networkRequest.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    for (const auto &[name, value] : request.headers)
        networkRequest.setRawHeader(name, value);
    networkRequest.setTransferTimeout(timeout);
    const QByteArray body = QJsonDocument(request.body).toJson(QJsonDocument::Compact);
    if (m_aborted)
        co_return std::unexpected(aborted());
    QNetworkReply *sent = m_environment.network.post(networkRequest, body);
    m_inFlight.append(sent);
    co_await sent;
    m_inFlight.removeAll(sent);
    // Resumed from the reply's own finished signal: deleting it here would pull it from under Qt.
    const QScopedPointer<QNetworkReply, QScopedPointerDeleteLater> reply(sent);
    if (m_aborted)
        co_return std::unexpected(aborted());

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid() && reply->error() != QNetworkReply::NoError) {
        const QString message = transportMessage(reply->error(), timeout);
        co_return std::unexpected(ProviderError{QStringLiteral("Netzwerk"), int(reply->error()), message});
    }
    const QByteArray replyBody = reply->readAll();
    if (status.isValid() && status.toInt() != 200)
        co_return std::unexpected(error(status.toInt(), describeRefusal(serviceName(), status.toInt(), replyBody)));

    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(replyBody, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        co_return std::unexpected(
            ProviderError{QStringLiteral("JSON"), int(parseError.error),
                          QStringLiteral("Antwort ist kein JSON (Fehler bei Byte %1)").arg(parseError.offset)});
    }
    const std::optional<QString> text = document.isObject() ? replyText(document.object()) : std::nullopt;
    if (!text)
        co_return std::unexpected(error(-1, QStringLiteral("Ungültige Antwort")));
    co_return PromptContract::makeSuggestion(*text, context.fileExtension).withMasked(masked);
}
