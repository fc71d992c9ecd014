#include "kvxclient.h"

#include "common/networkerrors.h"
#include "common/processwide.h"
#include "common/stringtable.h"
#include "companion/companionlog.h"
#include "settings/appsettings.h"
#include "settings/defaultsstore.h"

#include <QCoroNetworkReply>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>
#include <QUrl>

#include <algorithm>
#include <memory>

namespace {

struct Page {
    qint64 number;
    QString text;
};

std::optional<qint64> integerMember(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = object.value(key);
    if (!value.isDouble() || value.toDouble() != double(value.toInteger()))
        return std::nullopt;
    return value.toInteger();
}

std::optional<QString> stringMember(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = object.value(key);
    return value.isString() ? std::optional<QString>(value.toString()) : std::nullopt;
}

// The array under `key` of a JSON object body; decoding errors carry the reason.
KVXResult<QJsonArray> arrayMember(const QByteArray &body, const QString &key)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError)
        return std::unexpected(KVXError(KVXError::Code::decoding, error.errorString()));
    const QJsonValue array = document.object().value(key);
    if (!document.isObject() || !array.isArray())
        return std::unexpected(KVXError(KVXError::Code::decoding, StringTable::text("kvx.memberMissing").arg(key)));
    return array.toArray();
}

KVXError malformed(const QString &what)
{
    return KVXError(KVXError::Code::decoding, what);
}

QString lastPathComponent(const QString &path)
{
    return path.mid(path.lastIndexOf(u'/') + 1);
}

// An HTTP reply's status, or the transport error when there was no HTTP response.
KVXResult<int> statusOf(const QNetworkReply &reply)
{
    const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid())
        return std::unexpected(KVXError(KVXError::Code::transport, NetworkErrors::describe(reply.error())));
    return status.toInt();
}

// The array under `key` of a 200 reply; requestFailed for any other status.
KVXResult<QJsonArray> arrayOfOkReply(QNetworkReply &reply, const QString &key)
{
    const KVXResult<int> status = statusOf(reply);
    if (!status)
        return std::unexpected(status.error());
    if (*status != 200)
        return std::unexpected(KVXError(KVXError::Code::requestFailed));
    return arrayMember(reply.readAll(), key);
}

/** The case's name for the log. */
const char *codeName(KVXError::Code code)
{
    switch (code) {
    case KVXError::Code::invalidURL:
        return "invalid address";
    case KVXError::Code::requestFailed:
        return "request failed";
    case KVXError::Code::notIndexed:
        return "not indexed";
    case KVXError::Code::emptyText:
        return "no text";
    case KVXError::Code::transport:
        return "not reachable";
    case KVXError::Code::decoding:
        return "unreadable reply";
    }
    return "?";
}

} // namespace

KVXError::KVXError(Code code, QString detail)
    : m_code(code)
    , m_detail(std::move(detail))
{
}

QString KVXError::message() const
{
    switch (m_code) {
    case Code::invalidURL:
        return StringTable::text("kvx.invalidURL");
    case Code::requestFailed:
        return StringTable::text("kvx.requestFailed");
    case Code::notIndexed:
        return StringTable::text("kvx.notIndexed");
    case Code::emptyText:
        return StringTable::text("kvx.emptyText");
    case Code::decoding:
        return StringTable::text("kvx.decoding").arg(m_detail);
    case Code::transport:
        return StringTable::text("kvx.transport").arg(m_detail);
    }
    return m_detail;
}

KVXClient::KVXClient(DefaultsStore &store, QObject *parent)
    : QObject(parent)
    , m_store(store)
{
    m_clock.start();
}

KVXClient &KVXClient::shared()
{
    return processWide<KVXClient>([] { return new KVXClient(DefaultsStore::standard()); });
}

QString KVXClient::baseUrl() const
{
    const qint64 port = AppSettings::storedPort(m_store, AppSettings::Key::kvxPort, AppSettings::DefaultKvxPort);
    return QStringLiteral("http://127.0.0.1:") + QString::number(port);
}

QNetworkRequest KVXClient::authorizedRequest(const QUrl &url) const
{
    QNetworkRequest request(url);
    request.setTransferTimeout(RequestTimeoutMs);
    // The companion answers on this machine's loopback: a redirect anywhere is no answer, and the token stays here.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    const QString token = m_store.stringValue(AppSettings::Key::kvxToken).value_or(QString());
    if (!token.isEmpty())
        request.setRawHeader("Authorization", "Bearer " + token.toUtf8());
    return request;
}

QCoro::Task<bool> KVXClient::isAvailable()
{
    if (!AppSettings::storedBool(m_store, AppSettings::Key::kvxEnabled, true))
        co_return false;
    if (m_cachedAvailable && m_cacheTimestamp && now() - *m_cacheTimestamp < CacheDurationMs)
        co_return *m_cachedAvailable;

    bool available = false;
    const QUrl url(baseUrl() + QStringLiteral("/api/v1/health"), QUrl::StrictMode);
    if (url.isValid() && url.port() > 0) {
        QNetworkRequest request(url);
        request.setTransferTimeout(HealthTimeoutMs);
        QNetworkReply *sent = m_network.get(request);
        co_await sent;
        const QScopedPointer<QNetworkReply, QScopedPointerDeleteLater> reply(sent);
        const KVXResult<int> status = statusOf(*reply);
        available = status && *status == 200;
        qCDebug(lcCompanion, "Korvex at %s: %s (%s)", qUtf8Printable(url.toString()),
                available ? "reachable" : "not reachable",
                qUtf8Printable(status ? QStringLiteral("HTTP %1").arg(*status) : reply->errorString()));
    } else {
        qCDebug(lcCompanion, "Korvex not asked: no valid address at %s", qUtf8Printable(baseUrl()));
    }
    m_cachedAvailable = available;
    m_cacheTimestamp = now();
    co_return available;
}

QCoro::Task<KVXResult<QString>> KVXClient::findDocumentID(QString path)
{
    const QString name = lastPathComponent(path);
    const QUrl url(baseUrl() + QStringLiteral("/api/v1/search"), QUrl::StrictMode);
    if (!url.isValid() || url.port() <= 0)
        co_return std::unexpected(KVXError(KVXError::Code::invalidURL));

    QNetworkRequest request = authorizedRequest(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    const QByteArray body = QJsonDocument(QJsonObject{{QStringLiteral("query"), name}, {QStringLiteral("limit"), 5}})
                                .toJson(QJsonDocument::Compact);
    QNetworkReply *sent = m_network.post(request, body);
    co_await sent;
    const QScopedPointer<QNetworkReply, QScopedPointerDeleteLater> reply(sent);

    const KVXResult<QJsonArray> results = arrayOfOkReply(*reply, QStringLiteral("results"));
    if (!results)
        co_return std::unexpected(results.error());

    std::optional<QString> exact;
    std::optional<QString> sameName;
    for (const QJsonValue &value : *results) {
        const std::optional<QString> id = stringMember(value.toObject(), QStringLiteral("id"));
        const std::optional<QString> filePath = stringMember(value.toObject(), QStringLiteral("file_path"));
        if (!value.isObject() || !id || !filePath)
            co_return std::unexpected(malformed(StringTable::text("kvx.resultIncomplete")));
        if (!exact && *filePath == path)
            exact = id;
        if (!sameName && lastPathComponent(*filePath) == name)
            sameName = id;
    }
    if (exact)
        co_return *exact;
    if (sameName)
        co_return *sameName;
    co_return std::unexpected(KVXError(KVXError::Code::notIndexed));
}

QCoro::Task<KVXResult<QString>> KVXClient::fetchDocumentText(QString id)
{
    // The id goes into the path as it is; one that is not valid there makes the URL invalid.
    const QUrl url(baseUrl() + QStringLiteral("/api/v1/documents/") + id + QStringLiteral("/text"), QUrl::StrictMode);
    if (!url.isValid() || url.port() <= 0)
        co_return std::unexpected(KVXError(KVXError::Code::invalidURL));

    const QNetworkRequest request = authorizedRequest(url);
    QNetworkReply *sent = m_network.get(request);
    co_await sent;
    const QScopedPointer<QNetworkReply, QScopedPointerDeleteLater> reply(sent);
    const KVXResult<QJsonArray> pageValues = arrayOfOkReply(*reply, QStringLiteral("pages"));
    if (!pageValues)
        co_return std::unexpected(pageValues.error());

    QList<Page> pages;
    for (const QJsonValue &value : *pageValues) {
        const std::optional<qint64> number = integerMember(value.toObject(), QStringLiteral("page"));
        const std::optional<QString> text = stringMember(value.toObject(), QStringLiteral("text"));
        if (!value.isObject() || !number || !text)
            co_return std::unexpected(malformed(StringTable::text("kvx.pageIncomplete")));
        pages.append(Page{*number, *text});
    }
    std::stable_sort(pages.begin(), pages.end(), [](const Page &a, const Page &b) { return a.number < b.number; });
    QStringList texts;
    for (const Page &page : pages)
        texts << page.text;
    const QString joined = texts.join(u'\n');
    if (joined.trimmed().isEmpty())
        co_return std::unexpected(KVXError(KVXError::Code::emptyText));
    co_return joined;
}

QCoro::Task<KVXResult<QString>> KVXClient::extractText(QString path)
{
    if (!co_await isAvailable()) {
        qCDebug(lcCompanion, "%s: Korvex is off or not reachable", qUtf8Printable(path));
        co_return std::unexpected(KVXError(KVXError::Code::requestFailed));
    }
    const KVXResult<QString> id = co_await findDocumentID(path);
    if (!id) {
        qCDebug(lcCompanion, "%s: no Korvex document (%s)", qUtf8Printable(path), codeName(id.error().code()));
        co_return std::unexpected(id.error());
    }
    KVXResult<QString> text = co_await fetchDocumentText(*id);
    if (text)
        qCDebug(lcCompanion, "%s: text from Korvex document %s", qUtf8Printable(path), qUtf8Printable(*id));
    else
        qCDebug(lcCompanion, "%s: no text from Korvex document %s (%s)", qUtf8Printable(path), qUtf8Printable(*id),
                codeName(text.error().code()));
    co_return text;
}
