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

namespace {

constexpr quint16 documentedPort = 43821;

// QJsonObject sorts its keys; the document's member and operation order is part of its
// contract, so this reads the keys of one object in text order. Expects valid JSON.
class KeyOrder
{
public:
    static QStringList of(const QByteArray &json, const QStringList &pointer)
    {
        KeyOrder walk(json, pointer);
        QStringList at;
        walk.value(at);
        return walk.m_found;
    }

private:
    KeyOrder(const QByteArray &json, const QStringList &pointer)
        : m_text(json)
        , m_wanted(pointer)
    {
    }

    void skipSpace()
    {
        while (m_pos < m_text.size() && QChar::isSpace(uchar(m_text[m_pos])))
            ++m_pos;
    }
    QString string()
    {
        const qsizetype start = m_pos++;
        while (m_text[m_pos] != '"')
            m_pos += m_text[m_pos] == '\\' ? 2 : 1;
        ++m_pos;
        return QJsonDocument::fromJson("[" + m_text.sliced(start, m_pos - start) + "]").array().first().toString();
    }
    void value(QStringList &at)
    {
        skipSpace();
        const char open = m_text[m_pos];
        if (open == '"') {
            string();
        } else if (open == '{' || open == '[') {
            ++m_pos;
            for (int index = 0;; ++index) {
                skipSpace();
                if (m_text[m_pos] == '}' || m_text[m_pos] == ']')
                    break;
                QString key = QString::number(index);
                if (open == '{') {
                    key = string();
                    skipSpace();
                    ++m_pos; // ':'
                    if (at == m_wanted)
                        m_found << key;
                }
                at << key;
                value(at);
                at.removeLast();
                skipSpace();
                if (m_text[m_pos] == ',')
                    ++m_pos;
            }
            ++m_pos;
        } else {
            while (m_pos < m_text.size() && !QByteArrayView(",}] \t\r\n").contains(m_text[m_pos]))
                ++m_pos;
        }
    }

    const QByteArray &m_text;
    const QStringList m_wanted;
    QStringList m_found;
    qsizetype m_pos = 0;
};

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

// Flattens a schema to "name:type" leaves: nesting with ".", array items with "[]", map values
// with "{}", a format after "/". Enough to see a renamed, retyped, missing or extra field.
void flatten(const QJsonObject &root, QJsonObject schema, const QString &at, QStringList &out)
{
    if (schema.contains("$ref"))
        schema = resolvePointer(root, schema.value("$ref").toString()).toObject();
    const QString type = schema.value("type").toString();
    const QString prefix = at.isEmpty() ? QString() : at + ".";
    if (type == "array") {
        flatten(root, schema.value("items").toObject(), at + "[]", out);
    } else if (type == "object" && schema.contains("additionalProperties")) {
        flatten(root, schema.value("additionalProperties").toObject(), at + "{}", out);
    } else if (type == "object") {
        const QJsonObject properties = schema.value("properties").toObject();
        for (auto it = properties.begin(); it != properties.end(); ++it)
            flatten(root, it.value().toObject(), prefix + it.key(), out);
    } else {
        const QString format = schema.value("format").toString();
        out << at + ":" + type + (format.isEmpty() ? QString() : "/" + format);
    }
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

QString under(const QString &prefix, const QString &fields)
{
    QStringList out;
    for (const QString &field : fields.split(' '))
        out << prefix + "." + field;
    return out.join(' ');
}

QJsonObject documentFor(quint16 port)
{
    return QJsonDocument::fromJson(openAPIDocument(port)).object();
}

struct HttpReply {
    int status = 0;
    QByteArray contentType;
    QByteArray body;
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

} // namespace

// The wire shape of every documented operation, written down from the endpoints' own replies and
// requests: "{p}" a path parameter, "?q" a query parameter, bare names body fields; types as flatten() writes them.
namespace expected {
const QString suggestion = "original:string suggested:string confidence:number";
const QString renameResult = under("renamed[]", "original:string new:string path:string") + " count:integer";
const QString job =
    "id:string/uuid original:string originalPath:string suggested:string confidence:number approved:boolean";
const QString analysedFile =
    "fileName:string fileExtension:string fileSize:integer extractedText:string textLength:integer "
    "metadata{}:string creationDate:string/date-time modificationDate:string/date-time error:string";
const QString history = "original:string new:string originalPath:string newPath:string date:string/date-time "
                        "provider:string confidence:number reverted:boolean";
const QString settings =
    "ai.provider:string ai.model:string ai.endpoint:string ai.configured:boolean api.enabled:boolean "
    "api.port:integer api.hasToken:boolean kvx.enabled:boolean kvx.port:integer kvx.token:string "
    "kvx.connected:boolean general.autoRename:boolean general.showMenuBar:boolean general.preserveTimestamps:boolean";
const QString rules = "format:string dateFormat:string casing:string separator:string prefix:string suffix:string "
                      "maxLength:integer replaceUmlauts:boolean categories[]:string regexRules[].pattern:string "
                      "regexRules[].replacement:string regexRules[].enabled:boolean";
const QString templ = "name:string pattern:string example:string isDefault:boolean";
const QString deleted = "ok:boolean deleted:string";

struct Operation {
    const char *method, *path, *summary, *tag;
    QString request, response;
};

const QList<Operation> &operations()
{
    static const QList<Operation> table = {
        {"GET", "/v1/health", "Health Check", "System", "", "status:string version:string"},
        {"GET", "/v1/version", "App-Version", "System", "", "name:string version:string"},
        {"POST", "/v1/suggest", "Namensvorschläge generieren", "Umbenennung", "paths[]:string template:string",
         under("suggestions[]", suggestion)},
        {"POST", "/v1/rename", "Dateien umbenennen", "Umbenennung", "paths[]:string template:string", renameResult},
        {"POST", "/v1/revert", "Umbenennung rückgängig machen", "Umbenennung", "id:string",
         "ok:boolean reverted:string"},
        {"POST", "/v1/analyze", "Dateien analysieren ohne Rename", "Umbenennung", "paths[]:string",
         under("files[]", analysedFile) + " count:integer"},
        {"GET", "/v1/jobs", "Aktuelle Rename-Jobs abrufen", "Jobs", "",
         under("jobs[]", job) + " count:integer processing:boolean progress.processed:integer progress.total:integer"},
        {"DELETE", "/v1/jobs", "Alle Jobs verwerfen", "Jobs", "", "ok:boolean cleared:integer"},
        {"PUT", "/v1/jobs/{id}", "Job editieren", "Jobs", "{id}:string/uuid suggested:string approved:boolean",
         "ok:boolean id:string/uuid original:string suggested:string approved:boolean"},
        {"POST", "/v1/jobs/apply", "Genehmigte Jobs anwenden", "Jobs", "", renameResult},
        {"GET", "/v1/history", "Rename-Verlauf abrufen", "History",
         "?limit:integer ?search:string ?provider:string ?from:string/date-time ?to:string/date-time",
         under("history[]", history) + " count:integer"},
        {"DELETE", "/v1/history", "Gesamten Verlauf löschen", "History", "", "ok:boolean"},
        {"GET", "/v1/history/{id}", "Einzelnen Rename-Eintrag abrufen", "History", "{id}:string", history},
        {"DELETE", "/v1/history/{id}", "Einzelnen Eintrag löschen", "History", "{id}:string", deleted},
        {"GET", "/v1/watch", "Überwachte Ordner auflisten", "Folder Watch", "",
         under("watched[]", "path:string active:boolean autoRename:boolean") + " count:integer"},
        {"POST", "/v1/watch", "Ordner zur Überwachung hinzufügen", "Folder Watch", "path:string autoRename:boolean",
         "ok:boolean path:string"},
        {"PUT", "/v1/watch/{id}", "Überwachten Ordner aktualisieren", "Folder Watch",
         "{id}:string active:boolean autoRename:boolean templateName:string",
         "ok:boolean path:string active:boolean autoRename:boolean"},
        {"DELETE", "/v1/watch/{id}", "Ordner-Überwachung entfernen", "Folder Watch", "{id}:string", deleted},
        {"GET", "/v1/providers", "Verfügbare KI-Provider auflisten", "Konfiguration", "",
         under("providers[]", "name:string needsKey:boolean active:boolean model:string") + " current:string"},
        {"POST", "/v1/providers", "KI-Provider wechseln", "Konfiguration",
         "provider:string model:string endpoint:string apiKey:string",
         "ok:boolean provider:string model:string endpoint:string configured:boolean"},
        {"GET", "/v1/settings", "Alle Einstellungen abrufen", "Konfiguration", "", settings},
        {"POST", "/v1/settings", "Einstellungen ändern", "Konfiguration",
         "apiPort:integer apiToken:string apiEnabled:boolean kvxEnabled:boolean kvxPort:integer kvxToken:string "
         "autoRename:boolean showMenuBar:boolean preserveTimestamps:boolean",
         "ok:boolean changed[]:string"},
        {"GET", "/v1/rules", "Rename-Regeln abrufen", "Konfiguration", "", rules + " preview:string"},
        {"POST", "/v1/rules", "Rename-Regeln ändern", "Konfiguration", rules,
         "ok:boolean changed[]:string preview:string"},
        {"GET", "/v1/queue", "Queue-Status abrufen", "Queue", "",
         "pending[]:string count:integer isPaused:boolean isRunning:boolean"},
        {"POST", "/v1/queue", "Dateien in Queue einreihen", "Queue", "paths[]:string",
         "ok:boolean enqueued:integer total:integer"},
        {"DELETE", "/v1/queue", "Queue leeren", "Queue", "", "ok:boolean cleared:integer"},
        {"POST", "/v1/queue/pause", "Queue pausieren", "Queue", "", "ok:boolean isPaused:boolean"},
        {"POST", "/v1/queue/resume", "Queue fortsetzen", "Queue", "", "ok:boolean isPaused:boolean"},
        {"GET", "/v1/templates", "Naming-Templates auflisten", "Konfiguration", "", under("templates[]", templ)},
        {"POST", "/v1/templates", "Naming-Template anlegen", "Konfiguration",
         "name:string pattern:string example:string", "ok:boolean name:string"},
        {"PUT", "/v1/templates/{name}", "Template aktualisieren", "Konfiguration", "{name}:string " + templ,
         "ok:boolean " + templ},
        {"DELETE", "/v1/templates/{name}", "Template löschen", "Konfiguration", "{name}:string", deleted},
    };
    return table;
}
} // namespace expected

class TestOpenAPI final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void documentHeadAndPortSplice();
    void operationsInOrder();
    void schemasMatchTheEndpoints_data();
    void schemasMatchTheEndpoints();
    void everyReferenceResolvesAndEverySchemaIsUsed();
    void servedOverHttp();

private:
    QTemporaryDir m_config;
};

void TestOpenAPI::initTestCase()
{
    // The server reads its token from the settings store: a fresh one means no token.
    QVERIFY(m_config.isValid());
    qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
}

void TestOpenAPI::documentHeadAndPortSplice()
{
    const QByteArray text = openAPIDocument(documentedPort);
    QJsonParseError error;
    const QJsonObject document = QJsonDocument::fromJson(text, &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(KeyOrder::of(text, {}), QStringList({"openapi", "info", "servers", "components", "security", "paths"}));
    QCOMPARE(document.value("openapi").toString(), "3.1.0");
    QCOMPARE(document.value("info").toObject().value("version").toString(), "0.1.0");
    QCOMPARE(document.value("security").toArray(), QJsonArray({QJsonObject(), QJsonObject{{"bearer", QJsonArray()}}}));
    QCOMPARE(document.value("components")
                 .toObject()
                 .value("securitySchemes")
                 .toObject()
                 .value("bearer")
                 .toObject()
                 .value("scheme"),
             "bearer");

    // Only the server URL depends on the port, for any port.
    for (const quint16 port : {quint16(1), quint16(8080), quint16(65535)}) {
        const QByteArray other = openAPIDocument(port);
        const QJsonArray servers = QJsonDocument::fromJson(other).object().value("servers").toArray();
        QCOMPARE(servers.size(), 1);
        QCOMPARE(servers.first().toObject().value("url").toString(), QString("http://127.0.0.1:%1").arg(port));
        QCOMPARE(QByteArray(other).replace("127.0.0.1:" + QByteArray::number(port), "127.0.0.1:43821"), text);
    }
    QVERIFY(!text.contains("@PORT@"));

    const QByteArray page = apiDocsPage(8080);
    QVERIFY(page.contains("url: \"http://127.0.0.1:8080/v1/openapi.json\""));
    QVERIFY(page.contains("https://unpkg.com/swagger-ui-dist@5/swagger-ui.css"));
    QVERIFY(page.contains("https://unpkg.com/swagger-ui-dist@5/swagger-ui-bundle.js"));
    QVERIFY(!page.contains("@PORT@"));
}

void TestOpenAPI::operationsInOrder()
{
    const QByteArray text = openAPIDocument(documentedPort);
    const QJsonObject paths = documentFor(documentedPort).value("paths").toObject();
    QStringList actual;
    for (const QString &path : KeyOrder::of(text, {"paths"})) {
        for (const QString &method : KeyOrder::of(text, {"paths", path})) {
            const QJsonObject operation = paths.value(path).toObject().value(method).toObject();
            actual << method.toUpper() + " " + path + " | " + operation.value("summary").toString() + " | " +
                          operation.value("tags").toArray().first().toString();
        }
    }
    QStringList wanted;
    for (const expected::Operation &operation : expected::operations())
        wanted << QString("%1 %2 | %3 | %4")
                      .arg(operation.method, operation.path, QString::fromUtf8(operation.summary), operation.tag);
    QCOMPARE(actual.size(), 33);
    QCOMPARE(actual, wanted);
}

void TestOpenAPI::schemasMatchTheEndpoints_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("request");
    QTest::addColumn<QString>("response");
    for (const expected::Operation &operation : expected::operations())
        QTest::addRow("%s %s", operation.method, operation.path)
            << QString(operation.method).toLower() << QString(operation.path) << operation.request
            << operation.response;
}

void TestOpenAPI::schemasMatchTheEndpoints()
{
    QFETCH(QString, method);
    QFETCH(QString, path);
    QFETCH(QString, request);
    QFETCH(QString, response);
    const QJsonObject document = documentFor(documentedPort);
    const QJsonObject operation = document.value("paths").toObject().value(path).toObject().value(method).toObject();
    QVERIFY(!operation.isEmpty());

    QStringList fields;
    for (const QJsonValue &parameter : operation.value("parameters").toArray()) {
        const QJsonObject p = parameter.toObject();
        const QString name =
            p.value("in") == "path" ? "{" + p.value("name").toString() + "}" : "?" + p.value("name").toString();
        flatten(document, p.value("schema").toObject(), name, fields);
    }
    const QJsonObject requestBody = operation.value("requestBody").toObject();
    if (!requestBody.isEmpty()) {
        QCOMPARE(requestBody.value("required"), true);
        QCOMPARE(requestBody.value("content").toObject().keys(), QStringList{"application/json"});
        flatten(document, requestBody.value("content")["application/json"]["schema"].toObject(), {}, fields);
    }
    QCOMPARE(sorted(fields), sorted(request.split(' ', Qt::SkipEmptyParts)));

    const QJsonObject responses = operation.value("responses").toObject();
    QCOMPARE(responses.keys(), QStringList{"200"});
    QVERIFY(!responses["200"]["description"].toString().isEmpty());
    QCOMPARE(responses["200"]["content"].toObject().keys(), QStringList{"application/json"});
    fields.clear();
    flatten(document, responses["200"]["content"]["application/json"]["schema"].toObject(), {}, fields);
    QCOMPARE(sorted(fields), sorted(response.split(' ')));
}

void TestOpenAPI::everyReferenceResolvesAndEverySchemaIsUsed()
{
    const QJsonObject document = documentFor(documentedPort);
    QStringList refs;
    collectRefs(document, refs);
    QVERIFY(!refs.isEmpty());
    for (const QString &ref : refs)
        QVERIFY2(resolvePointer(document, ref).isObject(), qPrintable(ref));

    // Component schemas are followed from their users too: a schema only another schema uses counts.
    const QJsonObject schemas = document.value("components").toObject().value("schemas").toObject();
    for (const QString &name : schemas.keys())
        QVERIFY2(refs.contains("#/components/schemas/" + name), qPrintable(name + " is never used"));
}

void TestOpenAPI::servedOverHttp()
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
    const QJsonObject parsed = QJsonDocument::fromJson(document.body).object();
    QVERIFY(parsed.value("servers")[0]["url"].toString().endsWith(":" + QString::number(port)));

    const HttpReply page = httpGet(port, "/v1/docs");
    QCOMPARE(page.status, 200);
    QCOMPARE(page.contentType, "text/html; charset=utf-8");
    QVERIFY(page.body.contains(QString("url: \"http://127.0.0.1:%1/v1/openapi.json\"").arg(port).toUtf8()));

    // The API version is one value: health, version and the document agree.
    const HttpReply health = httpGet(port, "/v1/health");
    QCOMPARE(health.status, 200);
    const QJsonObject healthBody = QJsonDocument::fromJson(health.body).object();
    QCOMPARE(healthBody, QJsonObject({{"status", "ok"}, {"version", parsed.value("info")["version"]}}));
    const HttpReply version = httpGet(port, "/v1/version");
    QCOMPARE(QJsonDocument::fromJson(version.body).object(), QJsonObject({{"name", "Namorix"}, {"version", "0.1.0"}}));
}

QTEST_GUILESS_MAIN(TestOpenAPI)
#include "tst_openapi.moc"
