// The REST server over real loopback TCP, with a route table of its own (echo, slow, docs), and
// the real endpoints over a real SQLite store for what they check before any work. Settings are
// the test's own, in memory.
#include "api/apiroutes.h"
#include "api/apiserver.h"
#include "api/httpconnection.h"
#include "api/openapidocument.h"
#include "automation/queuemanager.h"
#include "enginefixture.h"
#include "rawhttp.h"
#include "settings/appsettings.h"
#include "settings/generalflags.h"
#include "settings/navigationstate.h"
#include "store/objectstore.h"

#include <QCoroTimer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <cmath>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

/** What the endpoints are given instead of the process-wide settings. */
struct APIFixture : EngineFixture {
    AppSettings app{defaults};
    NavigationState navigation;

    APIContext::Services apiServices() { return {services(), app, defaults, navigation}; }
};

/** A main window 4×3 at (5, 6) and no other, but for one that cannot be grabbed. */
class TestWindow final : public WindowControl
{
public:
    std::optional<State> state() const override { return State{QRect(5, 6, 4, 3), true}; }
    std::optional<QImage> capture(const std::optional<QString> &title) const override
    {
        if (title)
            return title == u"kaputt" ? std::optional(QImage()) : std::nullopt;
        QImage image(4, 3, QImage::Format_RGB32);
        image.fill(Qt::red);
        return image;
    }
};

/** Counts starts, ends and ends whose client had gone meanwhile. */
QCoro::Task<APIResponse> afterDelay(APIRequest request, std::chrono::milliseconds delay, int *started, int *finished,
                                    int *abandoned)
{
    ++*started;
    QCoro::Task<> sleeping = QCoro::sleepFor(delay);
    co_await std::move(sleeping);
    ++*finished;
    *abandoned += request.abandoned->isOpen();
    co_return APIResponse::json({{"slow", true}});
}

QCoro::Task<APIResponse> echo(APIRequest request, QString parameter)
{
    QJsonObject headers;
    for (auto it = request.headers.begin(); it != request.headers.end(); ++it)
        headers.insert(it.key(), it.value());
    co_return APIResponse::json(
        {{"path", request.path}, {"parameter", parameter}, {"body", request.body}, {"headers", headers}});
}

/** Opens `count` connections that send nothing; true once all are connected. */
bool openIdle(std::vector<std::unique_ptr<QTcpSocket>> &sockets, int count, quint16 port)
{
    for (int i = 0; i < count; ++i) {
        sockets.push_back(std::make_unique<QTcpSocket>());
        sockets.back()->connectToHost(QHostAddress::LocalHost, port);
    }
    const auto connected = [&] {
        return std::all_of(sockets.begin(), sockets.end(),
                           [](const auto &s) { return s->state() == QAbstractSocket::ConnectedState; });
    };
    return QTest::qWaitFor(connected, 10000);
}

/** What the server logged in its category ("namorix.api") while `action` ran, one line per message. */
QString apiLogDuring(const std::function<void()> &action)
{
    static QString *log = nullptr;
    QString lines;
    log = &lines;
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &context, const QString &message) {
            if (log && qstrcmp(context.category, "namorix.api") == 0)
                *log += message + u'\n';
        });
    action();
    qInstallMessageHandler(previous);
    log = nullptr;
    return lines;
}

/**
 * Sends each request from a process running as `uid` (a Python client under setpriv), to the TCP
 * port or to the Unix socket `socketPath` when it is set, and returns the reply statuses, 0 where
 * none came.
 */
QList<int> statusesAs(uid_t uid, const QList<QByteArray> &requests, quint16 port, const QString &socketPath = {})
{
    const char *client = R"(import socket, sys
for request in sys.stdin.buffer.read().split(b"\0"):
    try:
        s = socket.socket(socket.AF_UNIX if sys.argv[2] else socket.AF_INET)
        s.connect(sys.argv[2] or ("127.0.0.1", int(sys.argv[1])))
        s.sendall(request)
        head = s.makefile("rb").read(12)
        print(int(head[9:]) if head.startswith(b"HTTP/1.1 ") else 0)
    except OSError:
        print(0)
)";
    QProcess process;
    const QString id = QString::number(uid);
    process.start("setpriv", {"--reuid", id, "--regid", id, "--clear-groups", "/usr/bin/python3", "-c", client,
                              QString::number(port), socketPath});
    process.write(requests.join('\0'));
    process.closeWriteChannel();
    // The server answers on this event loop meanwhile.
    if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 60000))
        process.kill(); // the statuses read below then fail the test
    QList<int> statuses;
    for (const QByteArray &line : process.readAllStandardOutput().split('\n'))
        if (!line.isEmpty())
            statuses << line.toInt();
    return statuses;
}

} // namespace

class TestAPIServer final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        const auto exact = APIRoute::Match::exact;
        QList<APIRoute> routes{
            {"GET", "/v1/health", exact, false, echo},
            {"GET", "/v1/docs", exact, false, echo},
            {"GET", "/v1/openapi.json", exact, false, echo},
            {"GET", "/v1/echo/first", exact, false, echo}, // before the prefix route of the same path
            {"PUT", "/v1/templates/{name}", APIRoute::Match::prefix, true, echo},
            {"GET", "/v1/nan", exact, false,
             [](APIRequest, QString) -> QCoro::Task<APIResponse> {
                 co_return APIResponse::json({{"x", std::nan("")}});
             }},
            {"GET", "/v1/slow", exact, false,
             [this](APIRequest r, QString) {
                 return afterDelay(std::move(r), 300ms, &m_slowStarted, &m_slowFinished, &m_slowAbandoned);
             }},
        };
        for (const char *method : {"GET", "POST", "PUT"})
            routes << APIRoute{method, "/v1/echo/", APIRoute::Match::prefix, false, echo};
        m_routes = routes;
        m_server.setRoutes(routes);
        // The usual default soft limit; the server's first start must lift it for many connections.
        rlimit limit{};
        ::getrlimit(RLIMIT_NOFILE, &limit);
        limit.rlim_cur = std::min<rlim_t>(1024, limit.rlim_max);
        ::setrlimit(RLIMIT_NOFILE, &limit);
        QVERIFY(m_server.start(0));
        m_port = m_server.activePort();

        m_store = std::move(ObjectStore::open(m_home.filePath("data/namorix.sqlite")).value());
        const QDateTime now = QDateTime::currentDateTimeUtc();
        for (const QString path : {"/tmp/mit Leerzeichen", "/tmp/gesperrt"})
            QVERIFY(m_store->insert(WatchedFolder{0, path, true, false, std::nullopt, now, {}}));
        QVERIFY(m_store->insert(NamingTemplate{0, "Vorlage", "{datum}", "", true, now}));
        QVERIFY(m_store->insert(NamingTemplate{0, "Zweite", "{datum}", "", false, now.addSecs(1)}));
        const auto record = [&](const QString &from, const QString &to) {
            return RenameRecord{0, from, to, from.section('/', -1), to.section('/', -1), now, "Claude", 0, false, {}};
        };
        for (const QString name : {"neuer Name.pdf", "gesperrt.pdf"})
            QVERIFY(m_store->insert(record("/docs/alt.pdf", "/docs/" + name)));
        RenameRecord replaced = record("/docs/alt.pdf", replacedPath());
        replaced.identity = FileChecks::Identity{}; // not the file now at that name
        QVERIFY(QFile(replacedPath()).open(QIODevice::WriteOnly) && m_store->insert(replaced));
        // Renamed from a name another file has taken since.
        for (const QString name : {"belegt.pdf", "umbenannt.pdf"})
            QVERIFY(QFile(m_home.filePath(name)).open(QIODevice::WriteOnly));
        RenameRecord taken = record(m_home.filePath("belegt.pdf"), m_home.filePath("umbenannt.pdf"));
        taken.identity = FileChecks::identity(taken.newPath);
        QVERIFY(m_store->insert(taken));
        m_endpoints.context().store = m_store.get();
        m_endpoints.context().queue = &m_queue;
        m_endpoints.setRoutes(standardRoutes(m_endpoints.context()));
        QVERIFY(m_endpoints.start(0));
    }

    void cleanup()
    {
        m_settings.app.setApiToken({});
        m_settings.app.setApiEnabled(true);
        m_server.setRequestTimeout(HTTPConnection::DefaultRequestTimeout);
    }

    void readsQueryParameters_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<std::optional<QString>>("value"); // of parameter "q"
        const std::optional<QString> none;
        QTest::newRow("plain") << "/v1/history?limit=5&q=1" << std::optional<QString>("1");
        QTest::newRow("first of two") << "/h?q=1&q=2" << std::optional<QString>("1");
        QTest::newRow("plus stays") << "/h?q=a+b%20c" << std::optional<QString>("a+b c");
        QTest::newRow("UTF-8 escape") << "/h?q=%C3%A4" << std::optional<QString>("ä");
        QTest::newRow("bad escape ends the search") << "/h?q=%ZZ&q=1" << none;
        QTest::newRow("not UTF-8") << "/h?q=%FF" << none;
        QTest::newRow("empty value skipped") << "/h?q=&q=2" << std::optional<QString>("2");
        QTest::newRow("value with =") << "/h?q=a=b" << std::optional<QString>("a=b");
        QTest::newRow("last ? wins") << "/h?q=1?q=2?" << std::optional<QString>("2");
        QTest::newRow("no query") << "/v1/history" << none;
    }

    void readsQueryParameters()
    {
        QFETCH(QString, path);
        QTEST(queryParameter(path, "q"), "value");
    }

    void guardsAccess_data()
    {
        QTest::addColumn<QString>("token");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("status");
        const QString token = "s3cret";
        const auto health = [](const QByteArray &headers) { return "GET /v1/health HTTP/1.1\r\n" + headers + "\r\n"; };
        QTest::newRow("authorization Bearer") << token << health("Authorization: Bearer s3cret\r\n") << 200;
        QTest::newRow("x-api-token") << token << health("X-API-Token: s3cret\r\n") << 200;
        QTest::newRow("authorization bare") << token << health("AUTHORIZATION: s3cret\r\n") << 200;
        QTest::newRow("lower-case bearer") << token << health("Authorization: bearer s3cret\r\n") << 401;
        QTest::newRow("wrong authorization wins")
            << token << health("Authorization: x\r\nX-Api-Token: s3cret\r\n") << 401;
        QTest::newRow("prefix of token") << token << health("X-Api-Token: s3cre\r\n") << 401;
        QTest::newRow("token plus more") << token << health("X-Api-Token: s3cretX\r\n") << 401;
        QTest::newRow("no token sent") << token << health({}) << 401;
        QTest::newRow("docs public") << token << request("GET", "/v1/docs") << 200;
        QTest::newRow("openapi public") << token << request("GET", "/v1/openapi.json") << 200;
        QTest::newRow("docs with query") << token << request("GET", "/v1/docs?x") << 401;
        QTest::newRow("empty token: any") << QString() << health("Authorization: junk\r\n") << 200;
        QTest::newRow("foreign origin before token")
            << token << request("GET", "/v1/docs", {}, "Origin: http://evil.example\r\n") << 403;
        QTest::newRow("origin null") << QString() << health("Origin: null\r\n") << 403;
        QTest::newRow("loopback-looking host") << QString() << health("Host: 127.0.0.1.evil.example\r\n") << 403;
        // A page is let in only from the API's own origin: any other port is any account's page.
        const QByteArray own = "Origin: http://127.0.0.1:" + QByteArray::number(m_port) + "\r\n";
        const QByteArray otherPort = "Origin: http://127.0.0.1:" + QByteArray::number(m_port + 1) + "\r\n";
        QTest::newRow("own origin, loopback host") << QString() << health(own + "Host: LOCALHOST:9\r\n") << 200;
        QTest::newRow("own port as localhost")
            << QString() << health("Origin: http://localhost:" + QByteArray::number(m_port) + "\r\n") << 200;
        QTest::newRow("other loopback port") << QString() << health(otherPort) << 403;
        QTest::newRow("own port over https")
            << QString() << health("Origin: https://127.0.0.1:" + QByteArray::number(m_port) + "\r\n") << 403;
        QTest::newRow("[::1] with any port") << QString() << health("Origin: http://[::1]\r\n") << 403;
        QTest::newRow("preflight from another port")
            << QString() << "OPTIONS /v1/echo/x HTTP/1.1\r\n" + otherPort + "Access-Control-Request-Method: PUT\r\n\r\n"
            << 403;
        QTest::newRow("page's text/plain change")
            << QString() << request("POST", "/v1/echo/x", "{}", own + "Content-Type: text/plain\r\n") << 415;
        QTest::newRow("page's change without type") << QString() << request("PUT", "/v1/echo/x", "{}", own) << 415;
        QTest::newRow("page's JSON change")
            << QString()
            << request("POST", "/v1/echo/x", "{}", own + "Content-Type: application/json; charset=utf-8\r\n") << 200;
        QTest::newRow("script's text/plain change")
            << QString() << request("POST", "/v1/echo/x", "{}", "Content-Type: text/plain\r\n") << 200;
    }

    void guardsAccess()
    {
        QFETCH(QString, token);
        QFETCH(QByteArray, request);
        m_settings.app.setApiToken(token);
        QTEST(exchange(m_port, request).status(), "status");
    }

    // Every request the echo routes answer: parsing, routing, hostile transport. Each row ends
    // with the server still answering.
    void parsesAndSurvivesRequests_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("status");          // 0: closed without a reply
        QTest::addColumn<QJsonObject>("members"); // of the reply: what the echo handler saw, or an error
        QTest::addColumn<Send>("mode");
        const auto row = [](const char *name, const QByteArray &request, int status, const QJsonObject &members,
                            Send mode = Send::whole) { QTest::newRow(name) << request << status << members << mode; };
        row("query string", request("GET", "/v1/health?x=1"), 200, {{"path", "/v1/health?x=1"}});
        row("table order", request("GET", "/v1/echo/first"), 200, {{"parameter", ""}});
        row("id unchanged, no body", request("PUT", "/v1/echo/a%20b?c"), 200,
            {{"parameter", "a%20b"}, {"body", QJsonObject()}});
        row("name decoded", request("PUT", "/v1/templates/My%20Name", "{\"a\":1}"), 200,
            {{"parameter", "My Name"}, {"body", QJsonObject{{"a", 1}}}});
        row("bad escape", request("PUT", "/v1/templates/a%ZZ"), 200, {{"parameter", ""}});
        row("empty rest", request("PUT", "/v1/templates/"), 200, {{"parameter", ""}});
        row("header rules",
            "GET  /v1/echo/h  HTTP/1.1\r\nX-A: 1\r\nx-a: \t2 \r\nEmpty:\r\n:lead:ing\r\nC: a::b\r\nBare\r\n\tT "
            "\t:\tv\t\r\n\r\n",
            200, {{"headers", QJsonObject{{"x-a", "2"}, {"lead", "ing"}, {"c", "a::b"}, {"t", "v"}}}});
        // Bare LF line ends: answered at once, not closed as incomplete after the time-out.
        row("bare LF head", "GET /v1/echo/a\nX: y\n\n", 200,
            {{"parameter", "a"}, {"headers", QJsonObject{{"x", "y"}}}});
        row("mixed line ends, body", "POST /v1/echo/b HTTP/1.1\r\nContent-Length: 7\n\r\n{\"a\":1}", 200,
            {{"parameter", "b"}, {"body", QJsonObject{{"a", 1}}}});
        row("lone CR stays", "GET /v1/echo/c\rX: y\r\n\r\n", 200, {{"parameter", "c\rX:"}, {"headers", QJsonObject()}});
        row("blank lines inside the body", request("POST", "/v1/echo/", "\r\n\r\n{\"a\":1}\r\n\r\n"), 200,
            {{"body", QJsonObject{{"a", 1}}}});
        row("bytes beyond the length", "POST /v1/echo/ HTTP/1.1\r\nContent-Length: 7\r\n\r\n{\"a\":1}{\"ids\":[]}", 200,
            {{"body", QJsonObject{{"a", 1}}}});
        const QJsonObject notFound{{"error", "not found"}};
        row("OPTIONS", "OPTIONS /v1/health HTTP/1.1\r\n\r\n", 404, notFound);
        row("other method", "DELETE /v1/health HTTP/1.1\r\n\r\n", 404, notFound);
        row("empty first line: GET /", "  \r\n\r\n", 404, notFound);

        // Nothing half-read is acted on: a body the server cannot read is refused, never taken as {}.
        const QJsonObject invalid{{"error", "invalid json"}}, incomplete{{"error", "incomplete request"}},
            lengthRequired{{"error", "length required"}};
        const QByteArray head = "POST /v1/echo/x HTTP/1.1\r\nContent-Length: 100\r\n\r\n";
        row("array body", request("PUT", "/v1/echo/x", "[1]"), 400, invalid);
        row("truncated JSON", request("POST", "/v1/echo/x", R"({"ids":["A")"), 400, invalid);
        row("cut body, half-close", head + R"({"a":1})", 400, incomplete, Send::thenHalfClose);
        row("cut head, half-close", "POST /v1/echo/x HTTP/1.1\r\nContent-Len", 400, incomplete, Send::thenHalfClose);
        row("cut body, silent", head + R"({"a":1})", 0, {});
        row("no length", "POST /v1/echo/x\r\n\r\n{\"a\":2}", 411, lengthRequired);
        row("chunked", "POST /v1/echo/x HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n7\r\n{\"a\":1}\r\n0\r\n\r\n", 411,
            lengthRequired);
        row("two lengths", "POST /v1/echo/x HTTP/1.1\r\nContent-Length: 2\r\nContent-Length: 7\r\n\r\n{}", 400,
            {{"error", "invalid content-length"}});
        row("signed length", "POST /v1/echo/x HTTP/1.1\r\nContent-Length: +2\r\n\r\n{}", 400,
            {{"error", "invalid content-length"}});
        // The time limit counts from the connection's start, however the bytes trickle in.
        row("trickling past the limit", request("POST", "/v1/echo/x", R"({"a":1})"), 0, {}, Send::trickle);

        const auto echoed = [](const QJsonObject &body) { return QJsonObject{{"body", body}}; };
        const QJsonObject tooLarge{{"error", "Anfrage zu groß"}};
        row("1-byte writes", request("POST", "/v1/echo/x", R"({"a":1})"), 200, echoed({{"a", 1}}), Send::bytewise);
        // The unread rest must not reset the connection while the large reply is still on its way.
        const QString big(900000, 'y');
        row("large reply, input left unread",
            request("POST", "/v1/echo/x", QJsonDocument(QJsonObject{{"a", big}}).toJson()) + QByteArray(2000000, ' '),
            200, echoed({{"a", big}}));
        // The limit counts the whole request, head included.
        const auto sized = [](qsizetype fill) {
            return request("POST", "/v1/echo/x", "{\"a\":\"" + QByteArray(fill, 'x') + "\"}");
        };
        const qsizetype fill = 1'000'000 - sized(999900).size() + 999900; // as many digits in Content-Length
        row("exactly 1,000,000 bytes", sized(fill), 200, echoed({{"a", QString(fill, 'x')}}));
        // Refused as soon as the length announces too much, before the body arrives; the rest is drained.
        row("one byte more", sized(fill + 1), 413, tooLarge);
        row("announced too large, nothing sent", "POST /v1/echo/x HTTP/1.1\r\nContent-Length: 1000001\r\n\r\n", 413,
            tooLarge);
        row("head without end over 1 MB", "GET /v1/echo/x HTTP/1.1\r\nX: " + QByteArray(1100000, 'h'), 413, tooLarge);
        row("not UTF-8", "GET /v1/health\r\nX: \xff\r\n\r\n", 0, {});
    }

    void parsesAndSurvivesRequests()
    {
        QFETCH(QByteArray, request);
        QFETCH(int, status);
        QFETCH(QJsonObject, members);
        QFETCH(Send, mode);
        m_server.setRequestTimeout(status == 0 ? 300ms : 10s); // long enough for 1-byte writes on a busy machine
        const Reply reply = exchange(m_port, request, mode);
        QCOMPARE(reply.status(), status);
        if (status == 0)
            QVERIFY(reply.raw.isEmpty());
        const QJsonObject json = reply.json();
        for (auto it = members.begin(); it != members.end(); ++it)
            QVERIFY2(json.value(it.key()) == it.value(), qPrintable(it.key())); // a failure would print megabytes
        QCOMPARE(exchange(m_port, ::request("GET", "/v1/health")).status(), 200);
    }

    void writesExactReplies()
    {
        m_settings.app.setApiToken("t");
        const QByteArray tail = "\r\nConnection: close\r\n\r\n"; // no CORS header: no page may read a reply
        QCOMPARE(exchange(m_port, request("GET", "/v1/health")).raw,
                 "HTTP/1.1 401 OK\r\nContent-Type: application/json\r\nContent-Length: 24" + tail +
                     R"({"error":"unauthorized"})");
        QCOMPARE(exchange(m_port, request("GET", "/v1/nan", {}, "X-Api-Token: t\r\n")).raw, // unserialisable
                 "HTTP/1.1 500 OK\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: 10" + tail +
                     "json error");
    }

    void endpointsCheckPathsAndDecodeIds_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("status");
        QTest::addColumn<QJsonObject>("reply"); // its expected members
        const auto row = [](const char *name, const QByteArray &method, const QByteArray &target,
                            const QByteArray &body, int status, const QJsonObject &reply) {
            QTest::newRow(name) << request(method, target, body) << status << reply;
        };
        const QJsonObject relative{{"error", "Pfade müssen absolut sein"}};
        const QByteArray spaced = "/v1/watch/%2Ftmp%2Fmit%20Leerzeichen";
        row("suggest, one relative", "POST", "/v1/suggest", R"({"paths":["/tmp/a.txt","a.txt"]})", 400, relative);
        row("run, relative", "POST", "/v1/runs", R"({"paths":["a.txt"]})", 400, relative);
        const QJsonObject missing{{"error", "missing paths"}};
        row("suggest, none", "POST", "/v1/suggest", R"({"paths":[]})", 400, missing);
        row("rename, not a list", "POST", "/v1/rename", R"({"paths":"/a"})", 400, missing);
        row("queue, not text", "POST", "/v1/queue", R"({"paths":[1]})", 400, missing);
        row("run, unknown", "GET", "/v1/runs/0", {}, 404, QJsonObject{{"error", "run not found"}});
        const QJsonObject twice{{"error", "/tmp/gesperrt wird bereits überwacht"}};
        row("watch, twice", "POST", "/v1/watch", R"({"path":"/tmp/gesperrt"})", 409, twice);
        row("watch edit onto another", "PUT", spaced, R"({"path":"/tmp/gesperrt"})", 409, twice);
        row("watch edit, relative", "PUT", spaced, R"({"path":"x/y"})", 400, relative);
        row("absolute passes", "POST", "/v1/suggest", R"({"paths":["/tmp/a.txt"]})", 503,
            QJsonObject{{"error", "engine not ready"}});
        // The system would read a NUL-cut name, and a lone surrogate has no UTF-8 form: refused unread.
        const QJsonObject invalid{{"error", "Ungültiger Pfad: enthält ein Nullzeichen oder ist kein gültiges UTF-8"}};
        row("analyze, NUL", "POST", "/v1/analyze", R"({"paths":["/tmp/a\u0000b.txt"]})", 400, invalid);
        row("suggest, lone surrogate", "POST", "/v1/suggest", R"({"paths":["/tmp/\ud800.txt"]})", 400, invalid);
        row("watch, NUL", "POST", "/v1/watch", R"({"path":"/tmp/\u0000"})", 400, invalid);
        row("revert, NUL", "POST", "/v1/revert", R"({"id":"/docs/\u0000"})", 400, invalid);
        row("revert onto a taken name", "POST", "/v1/revert",
            QJsonDocument(QJsonObject{{"id", m_home.filePath("umbenannt.pdf")}}).toJson(), 409,
            QJsonObject{{"error", "Eine Datei mit diesem Namen existiert bereits"}});

        row("watch id, slashes plain", "PUT", "/v1/watch//tmp/mit%20Leerzeichen", R"({"autoRename":false})", 200,
            QJsonObject{{"path", "/tmp/mit Leerzeichen"}, {"autoRename", false}});
        row("watch id, bad escape", "PUT", "/v1/watch/%2Ftmp%ZZ", "{}", 404, QJsonObject{{"error", "not found"}});
        row("history id", "GET", "/v1/history/%2Fdocs%2Fneuer%20Name.pdf", {}, 200,
            QJsonObject{{"newPath", "/docs/neuer Name.pdf"}});
        row("history delete", "DELETE", "/v1/history/%2Fdocs%2Fneuer%20Name.pdf", "", 200,
            QJsonObject{{"deleted", "alt.pdf"}});
        row("revert, another file at the name", "POST", "/v1/revert",
            QJsonDocument(QJsonObject{{"id", replacedPath()}}).toJson(), 409,
            QJsonObject{{"error", "An diesem Namen liegt inzwischen eine andere Datei: " + replacedPath()}});
        ObjectStore::RecordQuery replaced;
        replaced.newPath = replacedPath();
        const qint64 batch = m_store->fetchRecords(replaced)->first().batch;
        row("revert batch, one refused", "POST", "/v1/revert", QJsonDocument(QJsonObject{{"batch", batch}}).toJson(),
            200,
            QJsonObject{{"ok", false},
                        {"count", 0},
                        {"failures",
                         QJsonArray{QJsonObject{
                             {"original", "ersetzt.pdf"},
                             {"path", replacedPath()},
                             {"error", "An diesem Namen liegt inzwischen eine andere Datei: " + replacedPath()}}}}});
        row("revert batch, unknown", "POST", "/v1/revert", R"({"batch":999})", 404,
            QJsonObject{{"error", "batch not found"}});
    }

    void endpointsCheckPathsAndDecodeIds()
    {
        QFETCH(QByteArray, request);
        QFETCH(QJsonObject, reply);
        const Reply received = exchange(m_endpoints.activePort(), request);
        QTEST(received.status(), "status");
        const QJsonObject json = received.json();
        for (auto it = reply.begin(); it != reply.end(); ++it)
            QCOMPARE(json.value(it.key()), it.value());
    }

    void storeWriteFailuresAnswer500_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::newRow("add folder") << request("POST", "/v1/watch", R"({"path":"/tmp/neu"})");
        QTest::newRow("edit folder") << request("PUT", "/v1/watch/%2Ftmp%2Fgesperrt", R"({"active":false})");
        QTest::newRow("delete folder") << request("DELETE", "/v1/watch/%2Ftmp%2Fgesperrt", "");
        QTest::newRow("add template") << request("POST", "/v1/templates", R"({"name":"N","pattern":"p"})");
        QTest::newRow("edit template") << request("PUT", "/v1/templates/Vorlage", R"({"pattern":"q"})");
        QTest::newRow("clear the other default") << request("PUT", "/v1/templates/Zweite", R"({"isDefault":true})");
        QTest::newRow("delete template") << request("DELETE", "/v1/templates/Vorlage", "");
        QTest::newRow("delete record") << request("DELETE", "/v1/history/%2Fdocs%2Fgesperrt.pdf", "");
        QTest::newRow("clear history") << request("DELETE", "/v1/history", "");
    }

    void storeWriteFailuresAnswer500()
    {
        QFETCH(QByteArray, request);
        {
            // Another connection to the same file makes SQLite refuse the writes (only those of
            // template "Vorlage", so that making "Zweite" the default fails at clearing it).
            QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "other");
            other.setDatabaseName(m_store->filePath());
            QVERIFY(other.open());
            QSqlQuery query(other);
            for (const QString table : {"watched_folder", "naming_template", "rename_record"}) {
                for (const QString operation : {"INSERT", "UPDATE", "DELETE"}) {
                    const QString when =
                        table == "naming_template" && operation != "INSERT" ? "WHEN OLD.name = 'Vorlage'" : "";
                    QVERIFY2(query.exec(QString("CREATE TRIGGER IF NOT EXISTS refuse_%1_%2 BEFORE %2 ON %1 %3 "
                                                "BEGIN SELECT RAISE(ABORT, 'schreibgeschützt'); END")
                                            .arg(table, operation, when)),
                             qPrintable(query.lastError().text()));
                }
            }
        }
        QSqlDatabase::removeDatabase("other");
        const Reply received = exchange(m_endpoints.activePort(), request);
        QCOMPARE(received.status(), 500);
        QCOMPARE(received.json(), QJsonObject({{"error", "Die Datenbank " + m_store->filePath() +
                                                             " meldet einen Fehler: schreibgeschützt"}}));
    }

    // Another account on the machine is refused before its request is read, through either door,
    // and changes nothing; the same requests from this account go through.
    void onlyThisAccountGetsIn()
    {
        if (::geteuid() != 0)
            QSKIP("needs root to run a client as another account");
        QTemporaryDir runtime;
        const QString socketPath = runtime.filePath("namorix/api.sock");
        QVERIFY(m_endpoints.startLocal(socketPath));
        QCOMPARE(QFileInfo(runtime.filePath("namorix")).permissions() & 0x0077, 0);
        // Open the private folder and the socket file, so that only the peer check stands in the way.
        QVERIFY(::chmod(QFile::encodeName(runtime.path()), 0755) == 0);
        QVERIFY(::chmod(QFile::encodeName(runtime.filePath("namorix")), 0755) == 0);
        QVERIFY(::chmod(QFile::encodeName(socketPath).constData(), 0777) == 0);

        const QByteArray hostile = R"({"provider":"OpenAI","endpoint":"http://127.0.0.1:1","apiKey":"x",)"
                                   R"("path":"/tmp/fremd","paths":["/tmp/fremd.txt"],"name":"F","pattern":"p"})";
        QList<QByteArray> every;
        for (const APIRoute &route : standardRoutes(m_endpoints.context()))
            every << request(route.method.toUtf8(), route.path.toUtf8().replace("{id}", "x").replace("{name}", "x"),
                             hostile);
        const QList<QByteArray> readOnly{request("GET", "/v1/watch"), request("GET", "/v1/templates"),
                                         request("GET", "/v1/history"), request("GET", "/v1/providers")};
        const QString endpoint = m_settings.settings.endpoint();
        QList<QByteArray> before;
        for (const QByteArray &query : readOnly)
            before << exchange(m_endpoints.activePort(), query).body();

        constexpr uid_t nobody = 65534;
        QList<int> foreign;
        const QString log = apiLogDuring([&] {
            foreign = statusesAs(nobody, every, m_endpoints.activePort());
            foreign += statusesAs(nobody, {request("GET", "/v1/health")}, 0, socketPath);
        });
        QCOMPARE(foreign, QList<int>(every.size() + 1, 403));
        QCOMPARE(log.count("account 65534 refused"), 1);
        QCOMPARE(m_settings.settings.endpoint(), endpoint);
        for (qsizetype i = 0; i < readOnly.size(); ++i)
            QCOMPARE(exchange(m_endpoints.activePort(), readOnly[i]).body(), before[i]);
        QCOMPARE(statusesAs(::geteuid(), readOnly, m_endpoints.activePort()), QList<int>(readOnly.size(), 200));
        QCOMPARE(statusesAs(::geteuid(), readOnly, 0, socketPath), QList<int>(readOnly.size(), 200));
    }

    void answersBesideThousandIdleConnections()
    {
        rlimit limit{};
        ::getrlimit(RLIMIT_NOFILE, &limit);
        if (limit.rlim_max < 2100)
            QSKIP("needs 2,100 descriptors for both ends of 1,000 connections");
        std::vector<std::unique_ptr<QTcpSocket>> idle;
        QVERIFY(openIdle(idle, 1000, m_port));
        QCOMPARE(exchange(m_port, request("GET", "/v1/health")).status(), 200);
    }

    void recoversFromDescriptorExhaustion()
    {
        // Leaves about 10 descriptors: the server's accept() fails with EMFILE part-way through.
        rlimit saved{};
        ::getrlimit(RLIMIT_NOFILE, &saved);
        const auto openDescriptors = QDir("/proc/self/fd").count() - 2;
        rlimit tight = saved;
        tight.rlim_cur = rlim_t(openDescriptors + 10);
        QVERIFY(::setrlimit(RLIMIT_NOFILE, &tight) == 0);
        std::vector<std::unique_ptr<QTcpSocket>> clients;
        openIdle(clients, 8, m_port);
        QTest::qWait(300);
        clients.clear();
        QVERIFY(::setrlimit(RLIMIT_NOFILE, &saved) == 0);
        QCOMPARE(exchange(m_port, request("GET", "/v1/health")).status(), 200);
    }

    // A client that goes finds its handler told (`abandoned`); a server that goes only drops the reply.
    void dropsRepliesWhoseClientOrServerIsGone()
    {
        m_slowStarted = m_slowFinished = m_slowAbandoned = 0;
        {
            QTcpSocket client;
            client.connectToHost(QHostAddress::LocalHost, m_port);
            QVERIFY(client.waitForConnected(2000));
            client.write(request("GET", "/v1/slow"));
            QTRY_COMPARE(m_slowStarted, 1);
        }
        APIServer *other = new APIServer(m_settings.apiServices());
        other->setRoutes(m_routes);
        QVERIFY(other->start(0));
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, other->activePort());
        client.write(request("GET", "/v1/slow"));
        QTRY_COMPARE(m_slowStarted, 2);
        delete other;
        QTRY_COMPARE(m_slowFinished, 2);
        QCOMPARE(m_slowAbandoned, 1);
        QCOMPARE(exchange(m_port, request("GET", "/v1/health")).status(), 200);
    }

    // Slow senders cannot make the server hold more than its bound: a new request is not read while
    // they hold it (one whose time-out comes first goes unanswered) and is answered once they are cut
    // at theirs (a client that leaves is not seen while its connection waits to read).
    void boundsTheBytesOfUnfinishedRequests()
    {
        m_server.setRequestTimeout(3s); // the senders below never finish
        std::vector<std::unique_ptr<QTcpSocket>> senders;
        QVERIFY(openIdle(senders, 8, m_port));
        for (const auto &socket : senders)
            socket->write("POST /v1/echo/x HTTP/1.1\r\nContent-Length: 900000\r\n\r\n" + QByteArray(600000, ' '));
        QTRY_COMPARE(m_server.heldRequestBytes(), ReadBudget::DefaultBytes);
        QByteArray replies[2];
        QTcpSocket waiting[2];
        for (int i : {0, 1}) {
            m_server.setRequestTimeout(i == 0 ? 300ms : 20s);
            connect(&waiting[i], &QTcpSocket::readyRead, this, [&, i] { replies[i] += waiting[i].readAll(); });
            waiting[i].connectToHost(QHostAddress::LocalHost, m_port);
            QVERIFY(waiting[i].waitForConnected(2000));
            waiting[i].write(request("GET", "/v1/health"));
            QTRY_COMPARE(waiting[0].state(), QAbstractSocket::UnconnectedState); // at its time-out, so accepted
        }
        QCOMPARE(replies[0], QByteArray());
        QCOMPARE(m_server.heldRequestBytes(), ReadBudget::DefaultBytes);
        QTRY_VERIFY_WITH_TIMEOUT(replies[1].startsWith("HTTP/1.1 200"), 10000);
        QTRY_COMPARE(m_server.heldRequestBytes(), 0);
    }

    // The page and every file it loads come from the app, under a policy that allows nothing else.
    void servesTheDocsPageFromItself()
    {
        const quint16 port = m_endpoints.activePort();
        const Reply page = exchange(port, request("GET", "/v1/docs"));
        QCOMPARE(page.header("content-type"), "text/html; charset=utf-8");
        const QByteArray policy = page.header("content-security-policy");
        QVERIFY2(policy.startsWith("default-src 'none'; script-src 'self'; style-src 'self';") &&
                     policy.contains("connect-src 'self' http://127.0.0.1:" + QByteArray::number(port) + " "),
                 policy.constData());
        static const QRegularExpression reference("(?:src|href)=\"([^\"]*)\"");
        QStringList loaded;
        for (const QRegularExpressionMatch &match : reference.globalMatch(QString::fromUtf8(page.body())))
            loaded << match.captured(1);
        QCOMPARE(loaded, QStringList({"/v1/docs/swagger-ui.css", "/v1/docs/docs.css", "/v1/docs/swagger-ui-bundle.js",
                                      "/v1/docs/docs.js"}));
        QVERIFY(!page.body().contains("<style") && !page.body().contains("<script>")); // the policy runs no inline code
        for (const QString &file : loaded) {
            const Reply got = exchange(port, request("GET", file.toUtf8()));
            QCOMPARE(got.status(), 200);
            QVERIFY(got.body().size() > 20 && !got.header("content-security-policy").isEmpty());
        }
        QVERIFY(exchange(port, request("GET", "/v1/docs/swagger-ui-bundle.js")).body().contains("SwaggerUIBundle"));
        QCOMPARE(exchange(port, request("GET", "/v1/docs/../openapi.json")).status(), 404);
    }

    // Before the terms are accepted the core refuses to send or rename, and every face says so:
    // REST 403, the queue waits (and goes on once they are), the engine refuses a direct call.
    void everyFaceWaitsForTheTerms()
    {
        const std::unique_ptr<RenameEngine> engine = m_settings.makeEngine();
        engine->setStore(m_store.get());
        m_endpoints.context().engine = engine.get();
        GeneralFlags::hasAcceptedLegal.write(m_settings.defaults, false);
        const QString letter = m_home.filePath("wartet/brief.txt");
        QVERIFY(QDir().mkpath(m_home.filePath("wartet")));
        QFile file(letter);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("Rechnung vom 15.03.2024") > 0);
        file.close();
        const QByteArray paths = QJsonDocument(QJsonObject{{"paths", QJsonArray{letter}}}).toJson();
        for (const QByteArray target : {"/v1/suggest", "/v1/rename", "/v1/runs", "/v1/queue", "/v1/jobs/apply"}) {
            const Reply refused = exchange(m_endpoints.activePort(), request("POST", target, paths));
            QCOMPARE(refused.status(), 403);
            QCOMPARE(refused.json(), QJsonObject({{"error", "terms not accepted"}}));
        }
        // Extraction alone sends nothing anywhere and renames nothing: it is not held.
        QCOMPARE(exchange(m_endpoints.activePort(), request("POST", "/v1/analyze", paths)).status(), 200);
        QueueManager queue(m_settings.defaults,
                           [](const QString &, const QString &, const QList<DesktopNotifier::Action> &) {});
        queue.setEngine(engine.get());
        queue.enqueue({QUrl::fromLocalFile(letter)});
        QVERIFY(queue.pendingCount() == 1 && !queue.isRunning());
        QVERIFY(awaitTask(engine->analyze({QUrl::fromLocalFile(letter)}, std::nullopt)).isEmpty());
        QCOMPARE(engine->error(), NamorixError::termsNotAccepted().message());
        QCOMPARE(m_settings.llm.server().requests().size(), 0);

        GeneralFlags::acceptLegal(m_settings.defaults, QDateTime::currentDateTimeUtc());
        QTRY_VERIFY(queue.pendingCount() == 0 && !queue.isRunning());
        QCOMPARE(m_settings.llm.server().requests().size(), 1);
        m_endpoints.context().engine = nullptr;
    }

    // The 404 names every route but the explanation; the document has every operation but for the
    // document itself, its page and the UI remote. (That each route answers: tst_apiendtoend.)
    void routeTableMakesNotFoundListAndDocument()
    {
        const QList<APIRoute> routes = standardRoutes(m_endpoints.context());
        const Reply notFound = exchange(m_endpoints.activePort(), request("GET", "/v1/nichts"));
        QCOMPARE(notFound.status(), 404);
        const QStringList listed = notFound.json()["endpoints"].toVariant().toStringList();
        QCOMPARE(listed.size(), routes.size() - 2); // neither the explanation nor the docs page's files
        QCOMPARE(listed.first(), "GET    /v1/health");
        QVERIFY(listed.contains("DELETE /v1/templates/{name}") && listed.filter("explain").isEmpty());

        QStringList documented, routed;
        const QJsonObject paths = QJsonDocument::fromJson(openAPIDocument(m_port))["paths"].toObject();
        for (auto path = paths.begin(); path != paths.end(); ++path) {
            for (const QString &method : path.value().toObject().keys())
                documented << method.toUpper() + " " + path.key();
        }
        for (const APIRoute &route : routes) {
            if (route.path != "/v1/openapi.json" && !route.path.startsWith("/v1/docs") &&
                !route.path.startsWith("/v1/ui/"))
                routed << route.method + " " + route.path;
        }
        documented.sort();
        routed.sort();
        QCOMPARE(documented, routed);
    }

    // Without a window control the UI endpoints answer as in a process without a window.
    void reportsAndCapturesWindows()
    {
        const auto get = [this](const QByteArray &target) {
            return exchange(m_endpoints.activePort(), request("GET", target));
        };
        const auto window = [&] { return get("/v1/ui/state").json()["window"].toObject(); };
        QCOMPARE(window(), QJsonObject({{"x", 0}, {"y", 0}, {"width", 0}, {"height", 0}, {"visible", false}}));
        QCOMPARE(get("/v1/ui/screenshot").json(), QJsonObject({{"error", "no visible window"}}));

        m_endpoints.context().window = std::make_unique<TestWindow>();
        QCOMPARE(window(), QJsonObject({{"x", 5}, {"y", 6}, {"width", 4}, {"height", 3}, {"visible", true}}));
        const Reply shot = get("/v1/ui/screenshot");
        QCOMPARE(shot.header("content-type"), "image/png");
        QCOMPARE(QImage::fromData(shot.body(), "PNG").size(), QSize(4, 3));
        QCOMPARE(get("/v1/ui/screenshot?window=Fremd").status(), 404);
        QCOMPARE(get("/v1/ui/screenshot?window=kaputt").status(), 500);
        QCOMPARE(exchange(m_endpoints.activePort(), request("POST", "/v1/ui/navigate", R"({"tab":"watch"})")).status(),
                 200);
        QCOMPARE(m_settings.navigation.selectedTab(), SidebarItem::watch); // the given state, not the process's
        m_endpoints.context().window.reset();
    }

    void startsAndReplacesListeners()
    {
        APIServer server(m_settings.apiServices());
        server.setRoutes(m_routes);
        QString log = apiLogDuring([&] {
            for (const int port : {-1, 70000, int(m_port)}) // the last is the main server's
                QVERIFY(!server.start(port));
        });
        QCOMPARE(server.activePort(), 0);
        const QRegularExpression failed(QString("^\\[API\\] port (-1|70000|%1) failed: ").arg(m_port),
                                        QRegularExpression::MultilineOption);
        QCOMPARE(log.count(failed), 3);

        QSignalSpy listening(&server, &APIServer::listening);
        log = apiLogDuring([&] { QVERIFY(server.start(0) && server.start(0)); }); // ports the system picks
        QCOMPARE(listening.size(), 2);
        const quint16 first = listening[0][0].value<quint16>(), second = listening[1][0].value<quint16>();
        QCOMPARE(log, QString("[API] http://127.0.0.1:%1\n[API] http://127.0.0.1:%2\n").arg(first).arg(second));
        QCOMPARE(server.activePort(), second);
        QCOMPARE(server.findChildren<QTcpServer *>().size(), 1); // the first listener is gone
        QCOMPARE(exchange(second, request("GET", "/v1/health")).status(), 200);
        m_settings.app.setApiEnabled(false);
        server.start(); // does nothing now
        QCOMPARE(listening.size(), 2);
    }

private:
    QString replacedPath() const { return m_home.filePath("ersetzt.pdf"); }

    QTemporaryDir m_home;
    APIFixture m_settings;
    APIServer m_server{m_settings.apiServices()};
    std::unique_ptr<ObjectStore> m_store;
    QueueManager m_queue{m_settings.defaults};
    APIServer m_endpoints{m_settings.apiServices()}; // the real routes, without an engine
    QList<APIRoute> m_routes;
    quint16 m_port = 0;
    int m_slowStarted = 0;
    int m_slowFinished = 0;
    int m_slowAbandoned = 0;
};

QTEST_GUILESS_MAIN(TestAPIServer)
#include "tst_apiserver.moc"
