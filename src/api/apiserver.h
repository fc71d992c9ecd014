#pragma once

#include "api/apicontext.h"
#include "api/apiroute.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>

#include <chrono>
#include <sys/types.h>

class HTTPConnection;
class QLocalServer;
class ReadBudget;
class QTcpServer;

/**
 * The local REST API: a minimal HTTP/1.1 server on the GUI thread. Reads one request per
 * connection (strictly: see HTTPConnection), checks origin, host and token, dispatches through
 * the route table, writes one reply and closes the connection.
 *
 * Only the user's own local scripts get in:
 * - The listener binds 127.0.0.1, not every interface: no other host can reach the API at all.
 * - Loopback is no boundary between the accounts of one machine, so every connection's owner is
 *   asked of the kernel as it is accepted (PeerAccount): another account gets 403 before a byte
 *   of its request is read, logged once per account. Where the kernel cannot say, a TCP request
 *   needs the token, and start() generates one if none is set.
 * - Beside the port, a Unix-domain socket in a private folder of the runtime directory serves
 *   the same routes; its peer's account is checked as well (SO_PEERCRED).
 * - Browsers cannot drive it. A request with an Origin header passes only when that is the API's
 *   own origin (http://127.0.0.1:<port> or http://localhost:<port>, this port): any page of
 *   another origin, another loopback port included (any account can serve one), gets 403 before
 *   the token is checked, an OPTIONS preflight too, and no reply carries a CORS header, so no
 *   page can read one. A POST, PUT or DELETE with an Origin must say Content-Type
 *   application/json (415 otherwise), which a page can only send after a preflight. A Host that
 *   is not a loopback name gets 403 (DNS rebinding). Plain scripts send no Origin.
 * - The token is compared in constant time, so reply timing does not reveal its prefix.
 * - A body that is not a JSON object gets 400 {"error": "invalid json"} before any handler runs.
 *
 * Handlers run on the GUI thread. One whose client goes before the reply finds its request's
 * `abandoned` latch open (an analysis then stops); one that is still working when this server is
 * gone finishes, and its reply is dropped.
 */
class APIServer final : public QObject
{
    Q_OBJECT

public:
    /** `services` also hold the settings the server itself reads: enabled, port and token. */
    explicit APIServer(APIContext::Services services, QObject *parent = nullptr);
    ~APIServer() override;
    Q_DISABLE_COPY_MOVE(APIServer)

    /** What the endpoints use; the port is set by the server. */
    [[nodiscard]] APIContext &context() { return m_context; }
    [[nodiscard]] quint16 activePort() const { return m_context.activePort; }

    /**
     * The table tried in order; the first route whose method and path match handles the request.
     * A request no route takes gets 404 with the listed routes, in table order.
     */
    void setRoutes(QList<APIRoute> routes);

    /**
     * Listens on the settings' `apiPort()` (or the port NAMORIX_API_PORT names, 0 for one the
     * system picks) and on `AppSettings::apiSocketPath()` when `apiEnabled()`; otherwise does
     * nothing. Where the kernel cannot name a TCP caller's account and no token is set, a random
     * token is stored first, so the port is never open to every account.
     */
    void start();
    /**
     * Replaces a running listener with one on `port` (loopback only; 0: a free one the system
     * picks, then named by activePort()); false when it cannot listen, which includes a port
     * outside 0–65535. Both outcomes are logged on standard output.
     * The first start raises the process's soft limit of open descriptors to the hard limit,
     * so that a thousand idle connections cannot starve the rest of the application (safe, as
     * nothing in the process uses select(), which cannot watch descriptors above 1023).
     */
    bool start(qint64 port);

    /**
     * Listens on the Unix-domain socket `path` as well, replacing a running one and a stale socket
     * file; its folder is made private (0700) and must belong to this account. False when it
     * cannot listen (logged).
     */
    bool startLocal(const QString &path);
    /** The Unix-domain socket listened on; empty when none. */
    [[nodiscard]] QString localSocketPath() const;

    /** How long a connection has for its whole request (30 s by default); for new connections. */
    void setRequestTimeout(std::chrono::milliseconds timeout) { m_requestTimeout = timeout; }
    /** The bytes unfinished requests hold now, at most ReadBudget::DefaultBytes. */
    [[nodiscard]] qsizetype heldRequestBytes() const;

Q_SIGNALS:
    /** The listener is ready on `port`. */
    void listening(quint16 port);

private:
    enum class Transport { tcp, local };
    /** Whether the kernel named this account as the caller; an unknown caller must show the token. */
    enum class Caller { ownAccount, unknown };

    void accept(qintptr descriptor, Transport transport);
    /** The caller's standing, or nothing for another account (refused and logged once per account). */
    std::optional<Caller> identify(int descriptor, Transport transport);
    void handleRequest(HTTPConnection *connection, const QByteArray &bytes, Caller caller);
    /**
     * 403 for a foreign Origin or Host, 415 for a change from a page that is not JSON, 401 for a
     * missing or wrong token, 403 for an unknown caller while no token is set, 400 for a body that
     * is not a JSON object; nothing when the request may pass.
     */
    [[nodiscard]] std::optional<APIResponse> refusal(const APIRequest &request, Caller caller) const;

    QPointer<QTcpServer> m_listener;
    QPointer<QLocalServer> m_localListener;
    QSet<uid_t> m_refusedAccounts; ///< logged once each
    APIContext m_context;
    QList<APIRoute> m_routes;
    QByteArray m_notFound; ///< the serialised 404 reply
    std::chrono::milliseconds m_requestTimeout;
    ReadBudget *m_budget;
};
