#include "api/apiserver.h"
#include "api/openapidocument.h"
#include "api/systemendpoints.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <utility>

namespace {

constexpr quint16 documentedPort = 43821;

// The keys of the object at `pointer`, in text order: QJsonObject sorts them, but the document's
// member and operation order is part of its contract. Expects valid JSON; keys are taken as written.
QStringList keysInOrder(const QByteArray &json, const QStringList &pointer)
{
    QStringList found, at; // `at`: the keys leading to the current position, "" for the top and array items
    QString key;           // the key whose value comes next
    for (qsizetype pos = 0; pos < json.size(); ++pos) {
        const char c = json[pos];
        if (c == '{' || c == '[') {
            at << std::exchange(key, {});
        } else if (c == '}' || c == ']') {
            at.removeLast();
        } else if (c == ',') {
            key.clear();
        } else if (c == '"') {
            const qsizetype start = pos + 1;
            for (++pos; json[pos] != '"'; ++pos)
                pos += json[pos] == '\\';
            qsizetype next = pos + 1;
            while (QChar::isSpace(uchar(json[next])))
                ++next;
            if (json[next] == ':') {
                key = QString::fromUtf8(json.sliced(start, pos - start));
                if (at.sliced(1) == pointer)
                    found << key;
            }
        }
    }
    return found;
}

QJsonValue resolvePointer(const QJsonObject &root, const QString &ref)
{
    if (!ref.startsWith("#/"))
        return QJsonValue::Undefined;
    QJsonValue at = root;
    for (QString part : ref.sliced(2).split('/')) {
        part.replace("~1", "/").replace("~0", "~");
        at = at.isArray() ? at.toArray().at(part.toInt()) : at.toObject().value(part);
        if (at.isUndefined())
            return at;
    }
    return at;
}

void collectRefs(const QJsonValue &value, QStringList &refs)
{
    if (value.isArray()) {
        for (const QJsonValue &item : value.toArray())
            collectRefs(item, refs);
    } else if (value.isObject()) {
        const QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it) {
            if (it.key() == "$ref")
                refs << it.value().toString();
            else
                collectRefs(it.value(), refs);
        }
    }
}

// A schema's wire shape in short: {a:T b:T} an object (keys sorted), [T] an array, {*:T} a map,
// s i n b for string integer number boolean (other types in full), a format after "/".
QString shape(const QJsonObject &root, QJsonObject schema)
{
    if (schema.contains("$ref"))
        schema = resolvePointer(root, schema.value("$ref").toString()).toObject();
    const QString type = schema.value("type").toString();
    if (type == "array")
        return "[" + shape(root, schema.value("items").toObject()) + "]";
    if (type == "object" && schema.contains("additionalProperties"))
        return "{*:" + shape(root, schema.value("additionalProperties").toObject()) + "}";
    if (type == "object") {
        QStringList fields;
        const QJsonObject properties = schema.value("properties").toObject();
        for (auto it = properties.begin(); it != properties.end(); ++it)
            fields << it.key() + ":" + shape(root, it.value().toObject());
        return "{" + fields.join(' ') + "}";
    }
    static const QHash<QString, QString> abbreviated{
        {"string", "s"}, {"integer", "i"}, {"number", "n"}, {"boolean", "b"}};
    const QString format = schema.value("format").toString();
    return abbreviated.value(type, type) + (format.isEmpty() ? "" : "/" + format);
}

QJsonObject documentFor(quint16 port)
{
    return QJsonDocument::fromJson(openAPIDocument(port)).object();
}

struct HttpReply {
    int status = 0;
    QByteArray contentType, body;
};

HttpReply httpGet(quint16 port, const QString &path)
{
    QNetworkAccessManager network;
    network.setProxy(QNetworkProxy::NoProxy);
    std::unique_ptr<QNetworkReply> reply(
        network.get(QNetworkRequest(QUrl(QString("http://127.0.0.1:%1%2").arg(port).arg(path)))));
    QSignalSpy finished(reply.get(), &QNetworkReply::finished);
    if (!finished.wait(10000))
        return {};
    return {reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
            reply->header(QNetworkRequest::ContentTypeHeader).toByteArray(), reply->readAll()};
}

// Every documented operation in document order, written down from the endpoints' own requests
// and replies: "method path | summary | tag | request | 200 reply", shapes as shape() writes
// them; the request lists path parameters as {name}:T and query parameters as ?name:T, then the body.
QStringList expectedOperations()
{
    const QString renamed =
        "{count:i error:s failures:[{error:s original:s path:s}] renamed:[{new:s original:s path:s}]}";
    const QString job =
        "{approved:b confidence:n error:s id:s/uuid original:s originalPath:s suggested:s unverified:[s]}";
    const QString analysed = "{creationDate:s/date-time error:s extractedText:s fileExtension:s fileName:s fileSize:i "
                             "metadata:{*:s} modificationDate:s/date-time textLength:i}";
    const QString history = "{confidence:n date:s/date-time new:s newPath:s original:s originalPath:s provider:s "
                            "reverted:b}";
    const QString historyQuery = "?limit:i ?search:s ?provider:s ?from:s/date-time ?to:s/date-time";
    const QString settings = "{ai:{configured:b endpoint:s model:s provider:s} api:{enabled:b hasToken:b port:i} "
                             "general:{autoRename:b autoRenameVerifiedOnly:b preserveTimestamps:b showMenuBar:b} "
                             "kvx:{connected:b enabled:b port:i token:s}}";
    const QString rulesHead = "casing:s categories:[s] dateFormat:s format:s maxLength:i prefix:s";
    const QString rulesTail = "regexRules:[{enabled:b pattern:s replacement:s}] replaceUmlauts:b separator:s suffix:s";
    const QString templ = "example:s isDefault:b name:s pattern:s";
    const QString deleted = "{deleted:s ok:b}";
    return {
        "GET /v1/health | Health Check | System |  | {status:s version:s}",
        "GET /v1/version | App-Version | System |  | {name:s version:s}",
        "POST /v1/suggest | Namensvorschläge generieren | Umbenennung | {paths:[s] template:s} | "
        "{suggestions:[{confidence:n error:s original:s suggested:s unverified:[s]}]}",
        "POST /v1/rename | Dateien umbenennen | Umbenennung | {paths:[s] template:s} | " + renamed,
        "POST /v1/revert | Umbenennung rückgängig machen | Umbenennung | {id:s} | {ok:b reverted:s}",
        "POST /v1/analyze | Dateien analysieren ohne Rename | Umbenennung | {paths:[s]} | {count:i files:[" + analysed +
            "]}",
        "GET /v1/jobs | Aktuelle Rename-Jobs abrufen | Jobs |  | {count:i jobs:[" + job +
            "] processing:b progress:{processed:i total:i}}",
        "DELETE /v1/jobs | Alle Jobs verwerfen | Jobs |  | {cleared:i ok:b}",
        "PUT /v1/jobs/{id} | Job editieren | Jobs | {id}:s/uuid {approved:b suggested:s} | "
        "{approved:b id:s/uuid ok:b original:s suggested:s}",
        "GET /v1/jobs/{id}/explain | Warum dieser Name? | Jobs | {id}:s/uuid | {fields:[{field:s offset:i passage:s "
        "reason:s status:s}] id:s/uuid original:s reply:s sent:{excerpt:s metadata:s template:s} "
        "suggested:s}",
        "POST /v1/jobs/apply | Genehmigte Jobs anwenden | Jobs |  | " + renamed,
        "GET /v1/history | Rename-Verlauf abrufen | History | " + historyQuery + " | {count:i history:[" + history +
            "]}",
        "DELETE /v1/history | Gesamten Verlauf löschen | History |  | {ok:b}",
        "GET /v1/history/{id} | Einzelnen Rename-Eintrag abrufen | History | {id}:s | " + history,
        "DELETE /v1/history/{id} | Einzelnen Eintrag löschen | History | {id}:s | " + deleted,
        "GET /v1/watch | Überwachte Ordner auflisten | Folder Watch |  | "
        "{count:i watched:[{active:b autoRename:b path:s}]}",
        "POST /v1/watch | Ordner zur Überwachung hinzufügen | Folder Watch | {autoRename:b path:s} | {ok:b path:s}",
        "PUT /v1/watch/{id} | Überwachten Ordner aktualisieren | Folder Watch | "
        "{id}:s {active:b autoRename:b path:s templateName:s} | {active:b autoRename:b ok:b path:s}",
        "DELETE /v1/watch/{id} | Ordner-Überwachung entfernen | Folder Watch | {id}:s | " + deleted,
        "GET /v1/providers | Verfügbare KI-Provider auflisten | Konfiguration |  | "
        "{current:s providers:[{active:b model:s name:s needsKey:b}]}",
        "POST /v1/providers | KI-Provider wechseln | Konfiguration | {apiKey:s endpoint:s model:s provider:s} | "
        "{configured:b endpoint:s model:s ok:b provider:s}",
        "GET /v1/settings | Alle Einstellungen abrufen | Konfiguration |  | " + settings,
        "POST /v1/settings | Einstellungen ändern | Konfiguration | {apiEnabled:b apiPort:i apiToken:s autoRename:b "
        "autoRenameVerifiedOnly:b kvxEnabled:b kvxPort:i kvxToken:s preserveTimestamps:b showMenuBar:b} | {changed:[s] ok:b}",
        "GET /v1/rules | Rename-Regeln abrufen | Konfiguration |  | {" + rulesHead + " preview:s " + rulesTail + "}",
        "POST /v1/rules | Rename-Regeln ändern | Konfiguration | {" + rulesHead + " " + rulesTail +
            "} | {changed:[s] ok:b preview:s}",
        "GET /v1/queue | Queue-Status abrufen | Queue |  | {count:i isPaused:b isRunning:b pending:[s]}",
        "POST /v1/queue | Dateien in Queue einreihen | Queue | {paths:[s]} | {enqueued:i ok:b total:i}",
        "DELETE /v1/queue | Queue leeren | Queue |  | {cleared:i ok:b}",
        "POST /v1/queue/pause | Queue pausieren | Queue |  | {isPaused:b ok:b}",
        "POST /v1/queue/resume | Queue fortsetzen | Queue |  | {isPaused:b ok:b}",
        "GET /v1/templates | Naming-Templates auflisten | Konfiguration |  | {templates:[{" + templ + "}]}",
        "POST /v1/templates | Naming-Template anlegen | Konfiguration | {example:s name:s pattern:s} | {name:s ok:b}",
        "PUT /v1/templates/{name} | Template aktualisieren | Konfiguration | {name}:s {" + templ +
            "} | {example:s isDefault:b name:s ok:b pattern:s}",
        "DELETE /v1/templates/{name} | Template löschen | Konfiguration | {name}:s | " + deleted,
    };
}

} // namespace

class TestOpenAPI final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // The server reads its token from the settings store: a fresh one means no token.
        QVERIFY(m_config.isValid());
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
    }

    void documentHeadAndPortSplice()
    {
        const QByteArray text = openAPIDocument(documentedPort);
        QJsonParseError error;
        const QJsonObject document = QJsonDocument::fromJson(text, &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(keysInOrder(text, {}), QStringList({"openapi", "info", "servers", "components", "security", "paths"}));
        QCOMPARE(document["openapi"], "3.1.0");
        QCOMPARE(document["info"]["version"], "0.1.0");
        QCOMPARE(document["security"], QJsonArray({QJsonObject(), QJsonObject{{"bearer", QJsonArray()}}}));
        QCOMPARE(document["components"]["securitySchemes"]["bearer"]["scheme"], "bearer");

        // Only the server URL depends on the port, for any port.
        for (const quint16 port : {quint16(1), quint16(8080), quint16(65535)}) {
            const QByteArray other = openAPIDocument(port);
            const QJsonArray servers = QJsonDocument::fromJson(other)["servers"].toArray();
            QCOMPARE(servers.size(), 1);
            QCOMPARE(servers[0]["url"], QString("http://127.0.0.1:%1").arg(port));
            QCOMPARE(QByteArray(other).replace("127.0.0.1:" + QByteArray::number(port), "127.0.0.1:43821"), text);
        }
        QVERIFY(!text.contains("@PORT@"));

        const QByteArray page = apiDocsPage(8080);
        QVERIFY(page.contains("url: \"http://127.0.0.1:8080/v1/openapi.json\""));
        QVERIFY(page.contains("https://unpkg.com/swagger-ui-dist@5/swagger-ui.css"));
        QVERIFY(page.contains("https://unpkg.com/swagger-ui-dist@5/swagger-ui-bundle.js"));
        QVERIFY(!page.contains("@PORT@"));
    }

    // Order, summary, tag and the request and reply shapes of every operation: a renamed, retyped,
    // missing or extra field on either side fails here.
    void operationsMatchTheEndpoints()
    {
        const QByteArray text = openAPIDocument(documentedPort);
        const QJsonObject document = documentFor(documentedPort);
        QStringList actual;
        for (const QString &path : keysInOrder(text, {"paths"})) {
            for (const QString &method : keysInOrder(text, {"paths", path})) {
                const QJsonObject operation = document["paths"][path][method].toObject();
                const QString name = method.toUpper() + " " + path;
                QStringList request;
                for (const QJsonValue &parameter : operation["parameters"].toArray()) {
                    const QString at = parameter["name"].toString();
                    request << (parameter["in"] == "path" ? "{" + at + "}:" : "?" + at + ":") +
                                   shape(document, parameter["schema"].toObject());
                }
                const QStringList json{"application/json"};
                if (const QJsonObject body = operation["requestBody"].toObject(); !body.isEmpty()) {
                    QVERIFY2(body["required"] == true && body["content"].toObject().keys() == json, qPrintable(name));
                    request << shape(document, body["content"]["application/json"]["schema"].toObject());
                }
                const QJsonObject responses = operation["responses"].toObject();
                QVERIFY2(responses.keys() == QStringList{"200"} &&
                             !responses["200"]["description"].toString().isEmpty() &&
                             responses["200"]["content"].toObject().keys() == json,
                         qPrintable(name));
                actual << QStringList{name, operation["summary"].toString(), operation["tags"][0].toString(),
                                      request.join(' '),
                                      shape(document,
                                            responses["200"]["content"]["application/json"]["schema"].toObject())}
                              .join(" | ");
            }
        }
        QCOMPARE(actual.size(), 34);
        QCOMPARE(actual, expectedOperations());
    }

    void everyReferenceResolvesAndEverySchemaIsUsed()
    {
        const QJsonObject document = documentFor(documentedPort);
        QStringList refs;
        collectRefs(document, refs);
        QVERIFY(!refs.isEmpty());
        for (const QString &ref : refs)
            QVERIFY2(resolvePointer(document, ref).isObject(), qPrintable(ref));
        // Followed from their users too: a schema only another schema uses counts.
        for (const QString &name : document["components"]["schemas"].toObject().keys())
            QVERIFY2(refs.contains("#/components/schemas/" + name), qPrintable(name + " is never used"));
    }

    void servedOverHttp()
    {
        quint16 port = 0;
        {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
            port = probe.serverPort();
        }
        APIServer server;
        server.setRoutes(systemRoutes(server.context()));
        QVERIFY(server.start(port));
        QTRY_COMPARE(server.activePort(), port);

        const HttpReply document = httpGet(port, "/v1/openapi.json");
        QCOMPARE(document.status, 200);
        QCOMPARE(document.contentType, "application/json");
        QCOMPARE(document.body, openAPIDocument(port)); // as stored, not re-serialised

        const HttpReply page = httpGet(port, "/v1/docs");
        QCOMPARE(page.status, 200);
        QCOMPARE(page.contentType, "text/html; charset=utf-8");
        QVERIFY(page.body.contains(QString("url: \"http://127.0.0.1:%1/v1/openapi.json\"").arg(port).toUtf8()));
    }

private:
    QTemporaryDir m_config;
};

QTEST_GUILESS_MAIN(TestOpenAPI)
#include "tst_openapi.moc"
