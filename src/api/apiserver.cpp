#include "apiserver.h"

#include "api/apilog.h"
#include "api/apiroutes.h"
#include "api/httpconnection.h"
#include "common/latch.h"
#include "common/peeraccount.h"
#include "common/strictutf8.h"
#include "common/stringtable.h"
#include "settings/appsettings.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QLocalServer>
#include <QNetworkProxy>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr std::chrono::milliseconds AcceptRetryDelay{100};
constexpr int ListenBacklog = 4096; // the kernel caps it at net.core.somaxconn

/** Hands every accepted descriptor on raw; HTTPConnection does the socket work. */
class DescriptorListener final : public QTcpServer
{
public:
    DescriptorListener(std::function<void(qintptr)> onAccepted, QObject *parent)
        : QTcpServer(parent)
        , m_onAccepted(std::move(onAccepted))
    {
    }

protected:
    void incomingConnection(qintptr descriptor) override { m_onAccepted(descriptor); }

private:
    std::function<void(qintptr)> m_onAccepted;
};

/** The same for the Unix-domain socket. */
class LocalDescriptorListener final : public QLocalServer
{
public:
    LocalDescriptorListener(std::function<void(qintptr)> onAccepted, QObject *parent)
        : QLocalServer(parent)
        , m_onAccepted(std::move(onAccepted))
    {
    }

protected:
    void incomingConnection(quintptr descriptor) override { m_onAccepted(qintptr(descriptor)); }

private:
    std::function<void(qintptr)> m_onAccepted;
};

void raiseDescriptorLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

/** A folder only this account can enter; made if missing. An error text when that cannot be had. */
std::optional<QString> privateFolder(const QString &path)
{
    if (::mkdir(QFile::encodeName(path).constData(), 0700) != 0 && errno != EEXIST)
        return QString::fromLocal8Bit(std::strerror(errno));
    struct stat info {
    };
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::geteuid())
        return QStringLiteral("%1 is not a folder of this account").arg(path);
    if ((info.st_mode & 0777) != 0700 && ::chmod(QFile::encodeName(path).constData(), 0700) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    return std::nullopt;
}

QString randomToken()
{
    quint32 words[6];
    QRandomGenerator::system()->fillRange(words);
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(words), sizeof words)
                                   .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

/** "127.0.0.1", "localhost" or "[::1]", each with or without a port. */
bool isLoopbackAuthority(QStringView authority)
{
    qsizetype hostEnd = authority.startsWith(u'[') ? authority.indexOf(u']') + 1 : authority.indexOf(u':');
    if (hostEnd <= 0)
        hostEnd = authority.size();
    const QStringView port = authority.sliced(hostEnd);
    if (!port.isEmpty()) {
        bool numeric = port.size() > 1 && port.front() == u':';
        for (const QChar c : port.sliced(1))
            numeric = numeric && c >= u'0' && c <= u'9';
        if (!numeric)
            return false;
    }
    const QStringView host = authority.first(hostEnd);
    return host == u"127.0.0.1" || host.compare(u"localhost", Qt::CaseInsensitive) == 0 || host == u"[::1]";
}

/** The API's own origin: the page it serves itself (the docs), under either loopback name. */
bool isOwnOrigin(QStringView origin, quint16 port)
{
    if (port == 0)
        return false;
    const QString suffix = QLatin1Char(':') + QString::number(port);
    return origin == QString(QStringLiteral("http://127.0.0.1") + suffix) ||
           origin == QString(QStringLiteral("http://localhost") + suffix);
}

bool isJsonContentType(QStringView type)
{
    const qsizetype parameters = type.indexOf(u';');
    return type.first(parameters < 0 ? type.size() : parameters)
               .trimmed()
               .compare(u"application/json", Qt::CaseInsensitive) == 0;
}

/** Equality whose running time depends on the length of `given` only, not on where it differs. */
bool constantTimeEquals(QStringView given, QStringView expected)
{
    char16_t difference = given.size() == expected.size() ? 0 : 1;
    for (qsizetype i = 0; i < given.size(); ++i) {
        const char16_t other = expected.isEmpty() ? 0 : expected[i % expected.size()].unicode();
        difference |= char16_t(given[i].unicode() ^ other);
    }
    return difference == 0;
}

/** Sends the handler's reply if the connection is still there; otherwise the reply is dropped. */
QCoro::Task<> deliver(QPointer<HTTPConnection> connection, QCoro::Task<APIResponse> handling)
{
    bool failed = false;
    try {
        const APIResponse response = co_await std::move(handling);
        if (connection)
            connection->reply(response.serialize());
    } catch (const std::exception &error) {
        qCWarning(lcAPI, "REST handler failed: %s", error.what());
        failed = true;
    } catch (...) {
        qCWarning(lcAPI, "REST handler failed");
        failed = true;
    }
    if (failed && connection)
        connection->closeWithoutReply();
}

} // namespace

APIServer::APIServer(APIContext::Services services, QObject *parent)
    : QObject(parent)
    , m_context(std::move(services))
    , m_requestTimeout(HTTPConnection::DefaultRequestTimeout)
    , m_budget(new ReadBudget(ReadBudget::DefaultBytes, this))
{
}

APIServer::~APIServer()
{
    // Before the budget they give their bytes back to.
    qDeleteAll(findChildren<HTTPConnection *>(Qt::FindDirectChildrenOnly));
}

qsizetype APIServer::heldRequestBytes() const
{
    return ReadBudget::DefaultBytes - m_budget->available();
}

void APIServer::setRoutes(QList<APIRoute> routes)
{
    m_routes = std::move(routes);
    QJsonArray endpoints;
    for (const APIRoute &route : std::as_const(m_routes)) {
        if (route.listed)
            endpoints.append(route.method.leftJustified(7) + route.path); // "GET    /v1/health"
    }
    const QJsonObject notFound{{QStringLiteral("error"), QStringLiteral("not found")},
                               {QStringLiteral("endpoints"), endpoints}};
    m_notFound = APIResponse::json(notFound, 404).serialize();
}

void APIServer::start()
{
    AppSettings &settings = m_context.services.appSettings;
    if (!settings.apiEnabled())
        return;
    if (!PeerAccount::tcpLookupAvailable() && settings.apiToken().isEmpty()) {
        settings.setApiToken(randomToken());
        qCInfo(lcAPI, "[API] the system does not name a connection's owner: requests over TCP need the token from "
                      "the settings");
    }
    // For this process only; 0 lets the system pick a free port, for apps run side by side (tests).
    bool overridden = false;
    const int port = qEnvironmentVariableIntValue("NAMORIX_API_PORT", &overridden);
    start(overridden ? port : settings.apiPort());
    startLocal(AppSettings::apiSocketPath());
}

QString APIServer::localSocketPath() const
{
    return m_localListener ? m_localListener->fullServerName() : QString();
}

bool APIServer::startLocal(const QString &path)
{
    delete m_localListener;
    if (const std::optional<QString> problem = privateFolder(QFileInfo(path).absolutePath())) {
        qCWarning(lcAPI, "[API] socket %s failed: %s", qUtf8Printable(path), qUtf8Printable(*problem));
        return false;
    }
    auto *listener =
        new LocalDescriptorListener([this](qintptr descriptor) { accept(descriptor, Transport::local); }, this);
    listener->setSocketOptions(QLocalServer::UserAccessOption);
    // Only this account can reach the folder, so a socket file there is a stale one of ours.
    QLocalServer::removeServer(path);
    if (!listener->listen(path)) {
        qCWarning(lcAPI, "[API] socket %s failed: %s", qUtf8Printable(path), qUtf8Printable(listener->errorString()));
        delete listener;
        return false;
    }
    m_localListener = listener;
    qCInfo(lcAPI, "[API] unix:%s", qUtf8Printable(path));
    return true;
}

bool APIServer::start(qint64 port)
{
    if (m_listener) {
        delete m_listener;
        m_context.activePort = 0;
    }
    if (port < 0 || port > 65535) {
        qCWarning(lcAPI, "[API] port %lld failed: invalid port (0 to 65535 allowed)", qint64(port));
        return false;
    }
    static bool descriptorLimitRaised = false;
    if (!std::exchange(descriptorLimitRaised, true))
        raiseDescriptorLimit();

    auto *listener = new DescriptorListener([this](qintptr descriptor) { accept(descriptor, Transport::tcp); }, this);
    listener->setProxy(QNetworkProxy::NoProxy);
    listener->setListenBacklogSize(ListenBacklog);
    // Loopback only: no other host can reach the API.
    if (!listener->listen(QHostAddress::LocalHost, quint16(port))) {
        qCWarning(lcAPI, "[API] port %lld failed: %s", qint64(port), qUtf8Printable(listener->errorString()));
        delete listener;
        return false;
    }
    // Qt pauses accepting when accept() fails for lack of descriptors (EMFILE); retrying
    // after a pause, instead of at once, keeps the loop from spinning until some close.
    connect(listener, &QTcpServer::acceptError, listener,
            [listener] { QTimer::singleShot(AcceptRetryDelay, listener, &QTcpServer::resumeAccepting); });
    m_listener = listener;
    m_context.activePort = listener->serverPort();
    qCInfo(lcAPI, "[API] http://127.0.0.1:%d", int(m_context.activePort));
    Q_EMIT listening(m_context.activePort);
    return true;
}

void APIServer::accept(qintptr descriptor, Transport transport)
{
    auto *connection = new HTTPConnection(int(descriptor), m_requestTimeout, *m_budget, this);
    const std::optional<Caller> caller = identify(int(descriptor), transport);
    if (!caller) {
        connection->reply(APIResponse::error(403, QStringLiteral("forbidden")).serialize());
        return;
    }
    connect(connection, &HTTPConnection::requestReceived, this,
            [this, connection, standing = *caller](const QByteArray &bytes) {
                handleRequest(connection, bytes, standing);
            });
    // Refused unread, before any check of origin or token: the reply reveals nothing.
    connect(connection, &HTTPConnection::requestRefused, this, [connection](HTTPConnection::Refusal refusal) {
        using enum HTTPConnection::Refusal;
        const auto [status, message] = refusal == tooLarge         ? std::pair(413, StringTable::text("api.tooLarge"))
                                       : refusal == lengthRequired ? std::pair(411, QStringLiteral("length required"))
                                       : refusal == invalidLength
                                           ? std::pair(400, QStringLiteral("invalid content-length"))
                                           : std::pair(400, QStringLiteral("incomplete request"));
        connection->reply(APIResponse::error(status, message).serialize());
    });
}

std::optional<APIServer::Caller> APIServer::identify(int descriptor, Transport transport)
{
    const std::optional<uid_t> account =
        transport == Transport::tcp ? PeerAccount::ofTcpPeer(descriptor) : PeerAccount::ofUnixPeer(descriptor);
    if (!account)
        return Caller::unknown;
    const uid_t own = ::geteuid();
    if (*account == own)
        return Caller::ownAccount;
    if (!m_refusedAccounts.contains(*account)) {
        m_refusedAccounts.insert(*account);
        qCWarning(lcAPI, "[API] connection from account %u refused: only account %u is let in", unsigned(*account),
                  unsigned(own));
    }
    return std::nullopt;
}

void APIServer::handleRequest(HTTPConnection *connection, const QByteArray &bytes, Caller caller)
{
    const std::optional<QString> text = strictUtf8(bytes);
    if (!text) {
        connection->closeWithoutReply();
        return;
    }
    const APIRequest request = APIRequest::parse(*text);
    if (const std::optional<APIResponse> refused = refusal(request, caller)) {
        connection->reply(refused->serialize());
        return;
    }

    if (const std::optional<RouteMatch> match = matchRoute(m_routes, request)) {
        connect(connection, &HTTPConnection::clientGone, request.abandoned.get(), &Latch::open);
        QCoro::Task<APIResponse> handling = match->route->handler(request, match->parameter);
        // Runs on its own once the handler waits; dropping this handle does not cancel it.
        QCoro::Task<> delivering = deliver(QPointer<HTTPConnection>(connection), std::move(handling));
        return;
    }

    connection->reply(m_notFound);
}

std::optional<APIResponse> APIServer::refusal(const APIRequest &request, Caller caller) const
{
    const auto origin = request.headers.constFind(QStringLiteral("origin"));
    const auto host = request.headers.constFind(QStringLiteral("host"));
    const bool fromPage = origin != request.headers.cend();
    if ((fromPage && !isOwnOrigin(*origin, m_context.activePort)) ||
        (host != request.headers.cend() && !isLoopbackAuthority(*host)))
        return APIResponse::error(403, QStringLiteral("forbidden"));
    // A page's form or text/plain body goes out without a preflight; JSON needs one, which fails above.
    const bool changes = request.method == u"POST" || request.method == u"PUT" || request.method == u"DELETE";
    if (fromPage && changes && !isJsonContentType(request.headers.value(QStringLiteral("content-type"))))
        return APIResponse::error(415, StringTable::text("api.jsonExpected"));

    const QString token = m_context.services.appSettings.apiToken();
    const bool open =
        request.path == u"/v1/docs" || request.path.startsWith(u"/v1/docs/") || request.path == u"/v1/openapi.json";
    if (!open && token.isEmpty() && caller != Caller::ownAccount)
        return APIResponse::error(403, QStringLiteral("forbidden")); // anyone's, with nothing to prove it is ours
    if (!open && !token.isEmpty()) {
        auto given = request.headers.constFind(QStringLiteral("authorization"));
        if (given == request.headers.cend())
            given = request.headers.constFind(QStringLiteral("x-api-token"));
        QStringView presented = given == request.headers.cend() ? QStringView() : QStringView(*given);
        if (presented.startsWith(u"Bearer "))
            presented = presented.sliced(7);
        if (!constantTimeEquals(presented, token))
            // Fixed bytes: the one reply that is not pretty-printed.
            return APIResponse::raw(401, QByteArrayLiteral("{\"error\":\"unauthorized\"}"),
                                    QByteArrayLiteral("application/json"));
    }
    if (request.invalidBody)
        return APIResponse::error(400, QStringLiteral("invalid json"));
    return std::nullopt;
}
