#include "httpprovider.h"

#include "ai/aisettings.h"
#include "ai/promptcontract.h"
#include "common/networkerrors.h"
#include "common/processwide.h"
#include "common/strictutf8.h"
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
    prompt.user = PromptContract::buildUserPrompt(context, nameTemplate);

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
    if (status.isValid() && status.toInt() != 200) {
        const QString excerpt = UnicodeText::leftGraphemes(strictUtf8(replyBody).value_or(QString()), ErrorBodyLength);
        co_return std::unexpected(
            error(status.toInt(), errorPrefix() + QString::number(status.toInt()) + QStringLiteral(": ") + excerpt));
    }

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
    co_return PromptContract::makeSuggestion(*text, context.fileExtension);
}
