// End to end: the real namorix binary, driven only through its REST API on loopback, with the
// LLM and Korvex stubs. One app runs for the whole suite; the functions run in declaration order
// and later ones build on the files and history the earlier ones leave.
#include "engineharness.h"
#include "extraction/sandbox/sandboxstate.h"
#include "korvexstub.h"
#include "llmstub.h"
#include "privatehome.h"
#include "rawhttp.h"

namespace {

/** Compact JSON with sorted keys, so a failed comparison prints both sides readably. */
QByteArray compact(const QJsonValue &value)
{
    return value.isArray() ? QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact)
                           : QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact);
}

/** JSON text with %1, %2… filled in, in the compact sorted form of compact(). */
template <typename... Args> QByteArray json(const char *text, const Args &...args)
{
    QString filled = QString::fromUtf8(text);
    ((filled = filled.arg(args)), ...);
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(filled.toUtf8(), &error);
    return error.error == QJsonParseError::NoError ? document.toJson(QJsonDocument::Compact)
                                                   : "not JSON: " + filled.toUtf8();
}

// Status and whole body; a macro so a failure reports the caller's line.
#define COMPARE_REPLY(reply, expectedStatus, expectedJson)                                                             \
    do {                                                                                                               \
        const Reply r_ = (reply);                                                                                      \
        QCOMPARE(r_.status(), expectedStatus);                                                                         \
        QCOMPARE(compact(r_.json()), expectedJson);                                                                    \
    } while (false)

QStringList field(const QJsonArray &entries, const QString &key)
{
    QStringList values;
    for (const QJsonValue &entry : entries)
        values << entry[key].toString();
    return values;
}

QString llmReply(const char *date, const char *category, const char *description, double confidence)
{
    return QString::fromUtf8(json(R"({"datum":"%1","kategorie":"%2","beschreibung":"%3","confidence":%4})", date,
                                  category, description, confidence));
}

/** SIGTERM quits through the event loop, with exit code 0. */
bool stopsCleanly(QProcess &app)
{
    app.terminate();
    return app.waitForFinished(10000) && app.exitStatus() == QProcess::NormalExit && app.exitCode() == 0;
}

} // namespace

class TestApiEndToEnd final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        QVERIFY(m_llm.listen());
        QVERIFY(m_korvex.listen());
        touch(m_home.filePath("config/namorix/settings.json"),
              json(R"({"api.port":%1,"kvx.port":%2,"hasAcceptedLegal":true,"onboardingDone":true})", StoredPort,
                   m_korvex.port()));

        m_app.setProcessEnvironment(privateHomeEnvironment(m_home));
        m_app.setProcessChannelMode(QProcess::MergedChannels); // "[API]" lines on stdout, diagnostics on stderr
        connect(&m_app, &QProcess::readyReadStandardOutput, this, [this] { m_log += m_app.readAllStandardOutput(); });
        startApp();

        COMPARE_REPLY(send("POST", "/v1/providers",
                           json(R"({"provider":"OpenAI","endpoint":"%1","apiKey":"sk-test"})", m_llm.baseUrl())),
                      200,
                      json(R"({"ok":true,"provider":"OpenAI","model":"gpt-4o","endpoint":"%1","configured":true,
                               "maskPersonalData":true,"localFirst":false,"ownDetails":[],
                               "keyNotice":"Kein Schlüsselbund (Secret Service) erreichbar. Der Schlüssel wurde deshalb )"
                           R"(im privaten Schlüsselspeicher %2 abgelegt, den nur Ihr Benutzerkonto lesen kann."})",
                           m_llm.baseUrl(), m_home.filePath("config/namorix/credentials.json")));
    }

    void cleanup() { m_failed = m_failed || QTest::currentTestFailed(); }
    void cleanupTestCase()
    {
        const bool stopped = stopsCleanly(m_app);
        m_log += m_app.readAllStandardOutput();
        if (m_failed || !stopped)
            qInfo().noquote() << "app log:\n" << QString::fromUtf8(m_log.right(4000));
        QVERIFY(stopped);
    }

    // A second app, on a corrupt settings file: it moves the file aside and runs on.
    void corruptSettingsAreMovedAside()
    {
        QTemporaryDir home;
        const QString config = home.filePath("config/namorix");
        touch(config + "/settings.json", "{\"api.port\": ");
        QProcess app;
        app.setProcessEnvironment(privateHomeEnvironment(home));
        app.start(NAMORIX_BINARY, {});
        QVERIFY(app.waitForStarted(10000));
        QTRY_COMPARE_WITH_TIMEOUT(QDir(config).entryList({"settings.json.corrupt-*"}).size(), 1, 10000);
        QVERIFY(stopsCleanly(app));
    }

    void providers()
    {
        const Reply listed = send("GET", "/v1/providers");
        QCOMPARE(listed.json()["current"], "OpenAI");
        for (const QByteArray body : {R"({"provider":"claude"})", "{}"}) {
            COMPARE_REPLY(
                send("POST", "/v1/providers", body), 400,
                json(R"({"error":"Ungültiger Provider. Gültig: Lokal, Claude, OpenAI, Gemini, Ollama, Apple"})"));
        }
        QCOMPARE(send("GET", "/v1/providers").body(), listed.body()); // a refused selection changes nothing
        QCOMPARE(compact(send("POST", "/v1/providers", R"({"provider":"OpenAI","ownDetails":[" Erika Muster",""]})")
                             .json()["ownDetails"]),
                 json(R"(["Erika Muster"])"));
    }

    void suggestEditApplyRename()
    {
        // Each text holds its date: a suggestion the text backs carries no "unverified".
        given("alpha.txt", "Inhalt von alpha.txt vom 10.01.2024", "2024-01-10", "rechnung", "Strom Januar", 0.8);
        given("beta.txt", "Inhalt von beta.txt vom 20.02.2024", "2024-02-20", "vertrag", "Miete", 0.7);
        given("gamma.txt", "Inhalt von gamma.txt vom 30.03.2024", "2024-03-30", "brief", "Finanzamt", 0.6);

        // A script's suggestions come with their ids; they join the shared list of jobs.
        const QJsonObject suggested =
            send("POST", "/v1/suggest", json(R"({"paths":["%1","%2"]})", document("alpha.txt"), document("beta.txt")))
                .json();
        const QString alphaId = suggested["suggestions"][0]["id"].toString();
        const QString betaId = suggested["suggestions"][1]["id"].toString();
        QVERIFY2(!QUuid::fromString(alphaId).isNull() && alphaId == alphaId.toUpper(), qPrintable(alphaId));
        QCOMPARE(compact(suggested), json(R"({"suggestions":[
                {"id":"%1","original":"alpha.txt","suggested":"2024-01-10_rechnung_strom_januar.txt","confidence":0.8,
                 "approved":true,"renamable":true},
                {"id":"%2","original":"beta.txt","suggested":"2024-02-20_vertrag_miete.txt","confidence":0.7,
                 "approved":true,"renamable":true}]})",
                                          alphaId, betaId));
        const QJsonObject listed = send("GET", "/v1/jobs").json();
        QCOMPARE(compact(listed), json(R"({"count":2,"processing":false,"progress":{"processed":2,"total":2},"jobs":[
            {"id":"%1","original":"alpha.txt","originalPath":"%3","suggested":"2024-01-10_rechnung_strom_januar.txt",
             "confidence":0.8,"approved":true,"renamable":true},
            {"id":"%2","original":"beta.txt","originalPath":"%4","suggested":"2024-02-20_vertrag_miete.txt",
             "confidence":0.7,"approved":true,"renamable":true}]})",
                                       alphaId, betaId, document("alpha.txt"), document("beta.txt")));

        const QByteArray alphaJob = "/v1/jobs/" + alphaId.toUtf8();
        COMPARE_REPLY(send("PUT", alphaJob.toLower(), R"({"approved":false})"), 404,
                      json(R"({"error":"job not found"})"));
        const char *alphaReply =
            R"({"ok":true,"id":"%1","original":"alpha.txt","suggested":"%2","approved":true,"renamable":true})";
        COMPARE_REPLY(send("PUT", alphaJob), 200, json(alphaReply, alphaId, "2024-01-10_rechnung_strom_januar.txt"));
        COMPARE_REPLY(send("PUT", alphaJob, R"({"suggested":"alpha-edited.txt"})"), 200,
                      json(alphaReply, alphaId, "alpha-edited.txt"));

        // Applied by id: only that job, although the other is approved too; it stays in the list.
        COMPARE_REPLY(
            send("POST", "/v1/jobs/apply", json(R"({"ids":["%1"]})", alphaId)), 200,
            json(R"({"count":1,"batch":1,"renamed":[{"original":"alpha.txt","new":"alpha-edited.txt","path":"%1"}]})",
                 document("alpha-edited.txt")));
        QVERIFY(QFile::exists(document("alpha-edited.txt")) && !QFile::exists(document("alpha.txt")));
        QCOMPARE(field(send("GET", "/v1/jobs").json()["jobs"].toArray(), "id"), QStringList{betaId});
        QCOMPARE(send("POST", "/v1/jobs/apply", R"({"ids":"x"})").status(), 400);

        COMPARE_REPLY(
            send("POST", "/v1/rename", json(R"({"paths":["%1","%2"]})", document("beta.txt"), document("gamma.txt"))),
            200,
            json(R"({"count":2,"batch":2,"renamed":[
                {"original":"beta.txt","new":"2024-02-20_vertrag_miete.txt","path":"%1"},
                {"original":"gamma.txt","new":"2024-03-30_brief_finanzamt.txt","path":"%2"}]})",
                 document("2024-02-20_vertrag_miete.txt"), document("2024-03-30_brief_finanzamt.txt")));
        QCOMPARE(send("GET", "/v1/jobs").json()["count"], 0); // beta's row was renewed, then renamed

        m_history = send("GET", "/v1/history").json()["history"].toArray();
        QCOMPARE(field(m_history, "original"), QStringList({"gamma.txt", "beta.txt", "alpha.txt"}));
        const QJsonObject newest = m_history.first().toObject();
        const QString date = newest["date"].toString();
        QVERIFY2(QDateTime::fromString(date, Qt::ISODate).isValid() && date.endsWith('Z'), qPrintable(date));
        QCOMPARE(compact(newest),
                 json(R"({"original":"gamma.txt","new":"2024-03-30_brief_finanzamt.txt","originalPath":"%1",
            "newPath":"%2","date":"%3","provider":"OpenAI","confidence":0.6,"reverted":false,"batch":2})",
                      document("gamma.txt"), document("2024-03-30_brief_finanzamt.txt"), date));
    }

    void unverifiedFieldsAndExplanation()
    {
        const QString stromReply = R"({"datum":"2024-04-01","kategorie":"rechnung","beschreibung":"Strom",)"
                                   R"("absender":"Stadtwerke München GmbH","betrag":"1234.56","confidence":0.9})";
        m_llm.setReply("strom.txt", stromReply);
        touch(document("strom.txt"),
              "STADTWERKE MÜNCHEN kunde@example.de\nRechnung vom 15.03.2024\nSumme 1.234,56 EUR");
        COMPARE_REPLY(
            send("POST", "/v1/suggest", json(R"({"paths":["%1"],"template":"{datum}"})", document("strom.txt"))), 200,
            json(
                R"({"suggestions":[{"id":"%1","original":"strom.txt","confidence":0.9,"unverified":["datum"],"needsReview":true,
                                     "suggested":"2024-04-01_rechnung_strom.txt","approved":false,"renamable":false}]})",
                send("GET", "/v1/jobs").json()["jobs"][0]["id"].toString()));
        const QJsonObject job = send("GET", "/v1/jobs").json()["jobs"][0].toObject();
        const QByteArray explain = "/v1/jobs/" + job["id"].toString().toUtf8() + "/explain";
        const QJsonObject explanation = send("GET", explain).json();
        // The verdicts are tst_grounding's; here their form, a flagged and a backed one.
        const QJsonArray fields = explanation["fields"].toArray();
        QCOMPARE(compact(QJsonArray{fields[0], fields[1]}), json(R"([
            {"field":"datum","value":"2024-04-01","source":"modell","status":"unverified",
             "reason":"Datum nicht im Dokument gefunden"},
            {"field":"betrag","value":"1234.56","source":"modell","status":"verified","passage":"1.234,56","offset":58}])"));
        const QString prompt = LlmStub::userPrompt(m_llm.server().requests().last());
        // As sent: masked, the offsets moved along.
        QCOMPARE(explanation["sent"]["excerpt"],
                 "STADTWERKE MÜNCHEN [E-Mail]\nRechnung vom 15.03.2024\nSumme 1.234,56 EUR");
        QCOMPARE(compact(explanation["sent"]["masked"]),
                 json(R"([{"part":"excerpt","placeholder":"[E-Mail]","offset":19}])"));
        QCOMPARE(explanation["sent"]["fileName"], "strom.txt");
        QVERIFY2(prompt.contains("Metadaten: " + explanation["sent"]["metadata"].toString() + "\n"),
                 qPrintable(prompt));
        QCOMPARE(explanation["sent"]["template"], "{datum}");
        QCOMPARE(explanation["reply"], stromReply);
        QCOMPARE(explanation["suggested"], "2024-04-01_rechnung_strom.txt");
        COMPARE_REPLY(send("GET", "/v1/jobs/" + job["id"].toString().toUtf8() + "/other"), 404,
                      json(R"({"error":"not found"})"));
        // An edited date is checked again: the document's own is backed, another is not.
        const QByteArray edit = "/v1/jobs/" + job["id"].toString().toUtf8();
        QCOMPARE(send("PUT", edit, R"({"suggested":"2024-03-15_rechnung_strom.txt"})").status(), 200);
        QVERIFY(!send("GET", "/v1/jobs").json()["jobs"][0].toObject().contains("unverified"));
        QCOMPARE(send("GET", explain).json()["fields"][0]["passage"], "15.03.2024");
        QCOMPARE(send("PUT", edit, R"({"suggested":"2024-03-16_rechnung_strom.txt"})").status(), 200);
        QCOMPARE(compact(send("GET", "/v1/jobs").json()["jobs"][0]["unverified"]), json(R"(["datum"])"));
        QCOMPARE(send("DELETE", "/v1/jobs").status(), 200);
        QCOMPARE(send("GET", explain).status(), 404);
        // Asked again, the file is answered from the reply cache, and the suggestion says so.
        const QByteArray again = json(R"({"paths":["%1"],"template":"{datum}"})", document("strom.txt"));
        QCOMPARE(send("POST", "/v1/suggest", again).json()["suggestions"][0]["cached"], true);
        QCOMPARE(send("DELETE", "/v1/jobs").status(), 200);
    }

    void historyQueries_data()
    {
        QTest::addColumn<QByteArray>("query");
        QTest::addColumn<QStringList>("originals");
        const QStringList all{"gamma.txt", "beta.txt", "alpha.txt"};
        const QByteArray future = QDateTime::currentDateTimeUtc().addSecs(3600).toString(Qt::ISODate).toUtf8();
        QTest::newRow("provider is case-sensitive") << QByteArray("?provider=openai") << QStringList{};
        QTest::newRow("from future") << "?from=" + future << QStringList{};
        QTest::newRow("bare dates are no bound") << QByteArray("?from=2999-01-01&to=2000-01-01") << all;
        QTest::newRow("limit 0") << QByteArray("?limit=0") << QStringList{};
        QTest::newRow("limit abc ignored") << QByteArray("?limit=abc") << all;
        QTest::newRow("negative limit is none") << QByteArray("?limit=-1") << all;
    }

    void historyQueries()
    {
        QFETCH(QByteArray, query);
        QFETCH(QStringList, originals);
        const Reply reply = send("GET", "/v1/history" + query);
        QCOMPARE(reply.status(), 200);
        QCOMPARE(field(reply.json()["history"].toArray(), "original"), originals);
        QCOMPARE(reply.json()["count"], originals.size());
    }

    void historyRecordRevertDelete()
    {
        const QJsonObject alpha = m_history.at(2).toObject();
        const QByteArray alphaId = alpha["newPath"].toString().toUtf8(); // absolute: the target has "//"
        COMPARE_REPLY(send("GET", "/v1/history/" + alphaId), 200, compact(alpha));
        for (const QByteArray method : {"GET", "DELETE"})
            COMPARE_REPLY(send(method, "/v1/history/" + document("none.txt").toUtf8()), 404,
                          json(R"({"error":"not found"})"));

        COMPARE_REPLY(send("POST", "/v1/revert", R"({"id":7})"), 400, json(R"({"error":"missing id, batch or last"})"));
        COMPARE_REPLY(send("POST", "/v1/revert", json(R"({"id":"%1"})", alphaId)), 200,
                      json(R"({"ok":true,"reverted":"alpha.txt"})"));
        QVERIFY(QFile::exists(document("alpha.txt")) && !QFile::exists(document("alpha-edited.txt")));
        QCOMPARE(send("GET", "/v1/history/" + alphaId).json()["reverted"], true);

        const QByteArray betaId = m_history.at(1)["newPath"].toString().toUtf8();
        COMPARE_REPLY(send("DELETE", "/v1/history/" + betaId), 200, json(R"({"ok":true,"deleted":"beta.txt"})"));
        QCOMPARE(field(send("GET", "/v1/history").json()["history"].toArray(), "original"),
                 QStringList({"gamma.txt", "alpha.txt"}));
        QVERIFY(QFile::exists(QString::fromUtf8(betaId))); // deleting a record leaves the file alone
    }

    void failuresSayWhyPerFile()
    {
        m_llm.setFailure("kaputt.txt", 500);
        const QString kaputt = touch(document("kaputt.txt"), "Inhalt 1"),
                      heil = given("heil.txt", "Inhalt 2", "2024-07-01", "rechnung", "Wasser", 0.8),
                      weg = given("weg.txt", "Inhalt 3 vom 02.07.2024", "2024-07-02", "brief", "Bank", 0.8);
        const QByteArray both = json(R"({"paths":["%1","%2"]})", kaputt, heil);

        // Only the failed file carries "error" (the jobs list gives the same entries).
        const QJsonArray suggestions = send("POST", "/v1/suggest", both).json()["suggestions"].toArray();
        const QString reason = suggestions[0]["error"].toString();
        QVERIFY2(!reason.isEmpty(), compact(suggestions).constData());
        QVERIFY(!suggestions[1].toObject().contains("error"));
        QCOMPARE(send("DELETE", "/v1/jobs").status(), 200);

        // Apply lists what it could not rename and why, beside the summary.
        QCOMPARE(send("POST", "/v1/suggest", json(R"({"paths":["%1"]})", weg)).status(), 200);
        QVERIFY(QFile::remove(weg));
        COMPARE_REPLY(send("POST", "/v1/jobs/apply"), 200,
                      json(R"({"count":0,"renamed":[],"error":"weg.txt nicht gefunden",
                          "failures":[{"original":"weg.txt","path":"%1","error":"weg.txt nicht gefunden"}]})",
                           weg));

        // Rename lists the files whose analysis failed the same way.
        const QJsonObject renamed = send("POST", "/v1/rename", both).json();
        QCOMPARE(compact(renamed["failures"]), json(R"([{"original":"kaputt.txt","path":"%1","error":"%2"}])", kaputt,
                                                    QString(reason).replace('"', "\\\"")));
        QCOMPARE(compact(renamed["renamed"]),
                 json(R"([{"original":"heil.txt","new":"%1","path":"%2"}])", "2024-07-01_rechnung_wasser.txt",
                      document("2024-07-01_rechnung_wasser.txt")));
    }

    // A script follows its own run by its handle, whatever else the engine analyses meanwhile;
    // ending it ends that run alone (the cancel itself: tst_analysis), and nothing it found joins the review.
    void runsAreFollowedByTheirHandle()
    {
        QCOMPARE(send("DELETE", "/v1/jobs").status(), 200); // what the failures left
        const QString slow = touch(document("zaeh.txt"), "Langsam");
        const QString own = given("eigen.txt", "Inhalt vom 02.05.2024", "2024-05-02", "rechnung", "Eigen", 0.8);
        m_llm.setDelay("zaeh.txt", 20000);
        const Reply first = send("POST", "/v1/runs", json(R"({"paths":["%1"]})", slow));
        const Reply second = send("POST", "/v1/runs", json(R"({"paths":["%1"]})", own));
        QCOMPARE(std::pair(first.status(), second.status()), std::pair(202, 202));
        const QByteArray slowRun = "/v1/runs/" + first.json()["run"].toString().toUtf8();
        const QByteArray ownRun = "/v1/runs/" + second.json()["run"].toString().toUtf8();
        QCOMPARE(first.json()["state"], "running");
        COMPARE_REPLY(send("GET", ownRun), 200,
                      json(R"({"run":"%1","state":"waiting","progress":{"processed":0,"total":0,"skipped":0}})",
                           second.json()["run"].toString()));

        QCOMPARE(send("DELETE", slowRun).status(), 200);
        QTRY_COMPARE_WITH_TIMEOUT(send("GET", ownRun).json()["state"], "done", 10000);
        const QJsonObject ended = send("GET", slowRun).json();
        QCOMPARE(compact(QJsonObject{
                     {"state", ended["state"]}, {"stopped", ended["stopped"]}, {"suggestions", ended["suggestions"]}}),
                 json(R"({"state":"done","stopped":true,"suggestions":[]})"));
        const QJsonObject done = send("GET", ownRun).json();
        QCOMPARE(compact(done["progress"]), json(R"({"processed":1,"total":1,"skipped":0})"));
        QCOMPARE(done["suggestions"][0]["suggested"], "2024-05-02_rechnung_eigen.txt");
        QCOMPARE(field(send("GET", "/v1/jobs").json()["jobs"].toArray(), "original"), QStringList{"eigen.txt"});
        QCOMPARE(send("DELETE", "/v1/jobs").status(), 200);
        m_llm.setDelay("zaeh.txt", 0);
    }

    void analyzeCutsTextWithoutProvider()
    {
        // Media text is the tag summary, which the source does not cut, so a long title exceeds the reply's cut.
        QString title;
        for (int i = 0; title.size() < 6000; ++i)
            title += "Titel " + QString::number(i) + ' ';
        title.chop(1); // a tag's value is taken trimmed
        QCOMPARE(QProcess::execute("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "anullsrc=cl=mono:r=8000", "-t", "1",
                                              "-metadata", "title=" + title, document("long.wav")}),
                 0);
        const qsizetype providerRequests = m_llm.server().requests().size();

        const Reply reply = send("POST", "/v1/analyze",
                                 json(R"({"paths":["%1","%2"]})", document("long.wav"), document("missing.mp3")));
        QCOMPARE(reply.json()["count"], 2);
        QJsonObject file = reply.json()["files"][0].toObject();
        file.remove("creationDate"); // only where the file system records a birth time
        // Its form is the history's date's (suggestEditApplyRename).
        QVERIFY(QDateTime::fromString(file.take("modificationDate").toString(), Qt::ISODate).isValid());
        const QString text = file.take("extractedText").toString();
        const int textLength = file.take("textLength").toInt();
        QCOMPARE(compact(file), json(R"({"fileName":"long.wav","fileExtension":"wav","fileSize":%1,
            "metadata":{"source":"avfoundation","duration":"0:01","title":"%2","tracks":"Audio"}})",
                                     QFileInfo(document("long.wav")).size(), title));
        const QString fullText = "duration: 0:01\ntitle: " + title + "\ntracks: Audio";
        QCOMPARE(textLength, fullText.size());
        QCOMPARE(text, fullText.left(5000));

        QCOMPARE(
            compact(reply.json()["files"][1]),
            json(R"({"fileName":"missing.mp3","error":"Keine lesbare Audio- oder Videodatei: Datei nicht gefunden"})"));
        QCOMPARE(m_llm.server().requests().size(), providerRequests); // analysis asks no provider
    }

    void templatesKeepOneDefault()
    {
        COMPARE_REPLY(send("POST", "/v1/templates", R"({"name":"Rechnungen","pattern":"{datum}_{absender}"})"), 200,
                      json(R"({"ok":true,"name":"Rechnungen"})"));
        QCOMPARE(
            send("POST", "/v1/templates", R"({"name":"Meine Vorlage","pattern":"{datum}","example":"x.pdf"})").status(),
            200);
        COMPARE_REPLY(send("POST", "/v1/templates", R"({"name":"Ohne Muster"})"), 400,
                      json(R"({"error":"missing name/pattern"})"));
        // Any pattern is stored as typed: it is the model's hint, not a name the app builds.
        QCOMPARE(send("PUT", "/v1/templates/Rechnungen", "{\"pattern\":\"{datum}_{sender\"}").json()["pattern"],
                 "{datum}_{sender");
        QCOMPARE(send("PUT", "/v1/templates/Rechnungen", R"({"pattern":"{datum}_{absender}"})").status(), 200);
        // A script names a stored template by "templateName"; "template" is a pattern's text.
        const QString file = given("vorlage.txt", "Brief vom 01.06.2024", "2024-06-01", "brief", "Vorlage");
        QCOMPARE(send("POST", "/v1/suggest", json(R"({"paths":["%1"],"templateName":"Rechnungen"})", file)).status(),
                 200);
        QVERIFY(LlmStub::userPrompt(m_llm.server().requests().last()).contains("{datum}_{absender}"));
        COMPARE_REPLY(send("POST", "/v1/suggest", json(R"({"paths":["%1"],"templateName":"Gibt es nicht"})", file)),
                      404, json(R"({"error":"template not found"})"));
        QCOMPARE(send("DELETE", "/v1/jobs").status(), 200);

        const char *listed = R"({"templates":[
            {"name":"Rechnungen","pattern":"{datum}_{absender}","example":"","isDefault":%1},
            {"name":"Meine Vorlage","pattern":"{datum}","example":"x.pdf","isDefault":%2}]})";
        COMPARE_REPLY(
            send("PUT", "/v1/templates/Rechnungen", R"({"isDefault":true})"), 200,
            json(R"({"ok":true,"name":"Rechnungen","pattern":"{datum}_{absender}","example":"","isDefault":true})"));
        COMPARE_REPLY(send("GET", "/v1/templates"), 200, json(listed, "true", "false"));
        QCOMPARE(send("PUT", "/v1/templates/Rechnungen", R"({"isDefault":false})").status(), 200);
        COMPARE_REPLY(send("GET", "/v1/templates"), 200, json(listed, "false", "false"));

        for (const QByteArray method : {"PUT", "DELETE"})
            COMPARE_REPLY(send(method, "/v1/templates/Meine%20Vorlag"), 404, json(R"({"error":"template not found"})"));
        COMPARE_REPLY(send("DELETE", "/v1/templates/Meine%20Vorlage"), 200,
                      json(R"({"ok":true,"deleted":"Meine Vorlage"})"));
        QCOMPARE(field(send("GET", "/v1/templates").json()["templates"].toArray(), "name"), QStringList{"Rechnungen"});
    }

    void watchedFolderRenamesThroughQueue()
    {
        const QString folder = m_home.filePath("watched folder");
        QVERIFY(QDir().mkpath(folder));
        const QByteArray id = QUrl::toPercentEncoding(folder); // "%2F…%20…"
        COMPARE_REPLY(send("POST", "/v1/watch", json(R"({"path":"%1","autoRename":true})", folder)), 200,
                      json(R"({"ok":true,"path":"%1"})", folder));
        COMPARE_REPLY(send("POST", "/v1/watch", R"({"path":1})"), 400, json(R"({"error":"missing path"})"));
        // That an added folder is watched at once: gui_endtoend's folder counts.
        COMPARE_REPLY(send("GET", "/v1/watch"), 200,
                      json(R"({"count":1,"watched":[{"path":"%1","active":true,"autoRename":true}]})", folder));
        COMPARE_REPLY(
            send("PUT", "/v1/watch/" + id, R"({"templateName":"Rechnungen","autoRename":false})"), 200,
            json(R"({"ok":true,"path":"%1","active":true,"autoRename":false,"templateName":"Rechnungen"})", folder));
        COMPARE_REPLY(send("PUT", "/v1/watch/" + id, R"({"templateName":""})"), 200,
                      json(R"({"ok":true,"path":"%1","active":true,"autoRename":false,"templateName":null})", folder));

        // A new path is observed at once: a file that appears there is renamed.
        const QString moved = m_home.filePath("neuer Ordner");
        QVERIFY(QDir().mkpath(moved));
        COMPARE_REPLY(send("PUT", "/v1/watch/" + id, json(R"({"path":"%1","autoRename":true})", moved)), 200,
                      json(R"({"ok":true,"path":"%1","active":true,"autoRename":true,"templateName":null})", moved));
        m_llm.setReply("quittung.txt", llmReply("2024-05-06", "beleg", "Baumarkt", 0.9));
        touch(moved + "/quittung.txt", "Baumarkt 6.5.24");
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(moved + "/2024-05-06_beleg_baumarkt.txt"), 15000);

        COMPARE_REPLY(send("DELETE", "/v1/watch/" + QUrl::toPercentEncoding(moved)), 200,
                      json(R"({"ok":true,"deleted":"%1"})", moved));
        COMPARE_REPLY(send("GET", "/v1/watch"), 200, json(R"({"count":0,"watched":[]})"));
    }

    void queuePauseEnqueueResumeClear()
    {
        const QString q1 = given("q1.txt", "Kassenbon 01.06.2024", "2024-06-01", "beleg", "Kaffee"),
                      q2 = given("q2.txt", "Kassenbon June 2, 2024", "2024-06-02", "beleg", "Brot");

        COMPARE_REPLY(send("POST", "/v1/queue/pause"), 200, json(R"({"ok":true,"isPaused":true})"));
        COMPARE_REPLY(send("POST", "/v1/queue", json(R"({"paths":["%1","%2"]})", q1, q2)), 200,
                      json(R"({"ok":true,"enqueued":2,"total":2})"));
        COMPARE_REPLY(send("GET", "/v1/queue"), 200,
                      json(R"({"pending":["%1","%2"],"count":2,"isPaused":true,"isRunning":false})", q1, q2));

        // A suggestion under review stays while the queue analyses and applies its own files.
        const QString reviewed = touch(document("pruefen.txt"), "Kassenbon");
        QCOMPARE(send("POST", "/v1/suggest", json(R"({"paths":["%1"]})", reviewed)).status(), 200);

        COMPARE_REPLY(send("POST", "/v1/queue/resume"), 200, json(R"({"ok":true,"isPaused":false})"));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(document("2024-06-01_beleg_kaffee.txt")) &&
                                     QFile::exists(document("2024-06-02_beleg_brot.txt")),
                                 15000);
        QTRY_COMPARE_WITH_TIMEOUT(send("GET", "/v1/queue").json()["isRunning"], false, 5000);
        COMPARE_REPLY(send("GET", "/v1/queue"), 200,
                      json(R"({"pending":[],"count":0,"isPaused":false,"isRunning":false})"));
        QCOMPARE(field(send("GET", "/v1/jobs").json()["jobs"].toArray(), "original"), QStringList{"pruefen.txt"});
        QVERIFY(QFile::exists(reviewed));
        QCOMPARE(send("DELETE", "/v1/jobs").status(), 200);

        QCOMPARE(send("POST", "/v1/queue/pause").status(), 200);
        QCOMPARE(send("POST", "/v1/queue", json(R"({"paths":["%1","%2","%1"]})", document("x"), document("y")))
                     .json()["total"],
                 3);
        COMPARE_REPLY(send("DELETE", "/v1/queue"), 200, json(R"({"ok":true,"cleared":3})"));
        QCOMPARE(send("POST", "/v1/queue/resume").status(), 200);
    }

    void settingsChangedListAndMaskedTokens()
    {
        const char *settings = R"({"ai":{"provider":"OpenAI","model":"gpt-4o","endpoint":"%1","configured":true},
            "api":{"enabled":true,"port":%2,"hasToken":false},
            "kvx":{"enabled":true,"port":%3,"token":"%4","connected":true},
            "general":{"autoRename":false,"autoRenameVerifiedOnly":%5,"showMenuBar":%5,"preserveTimestamps":true}})";
        COMPARE_REPLY(send("GET", "/v1/settings"), 200,
                      json(settings, m_llm.baseUrl(), StoredPort, m_korvex.port(), "", "true"));

        // The new port applies only at the next start, so the running server is safe.
        COMPARE_REPLY(send("POST", "/v1/settings", R"({"apiPort":8080,"kvxToken":"kvx-secret"})"), 200,
                      json(R"({"ok":true,"changed":["apiPort=8080","kvxToken"]})"));
        COMPARE_REPLY(send("POST", "/v1/settings",
                           R"({"apiPort":"9090","kvxPort":1.5,"showMenuBar":"no","autoRenameVerifiedOnly":0})"),
                      200, json(R"({"ok":true,"changed":[]})"));
        COMPARE_REPLY(send("GET", "/v1/settings"), 200,
                      json(settings, m_llm.baseUrl(), 8080, m_korvex.port(), "***", "true"));
    }

    // The name building itself is tst_namebuilder's; here: what changed, and the preview following it.
    void rulesWithPreview()
    {
        const QString before = send("GET", "/v1/rules").json()["preview"].toString();
        const struct {
            const char *body;
            const char *changed;
        } steps[] = {
            {R"({"casing":"upper","separator":"/","maxLength":"20"})", "[]"},
            {R"({"prefix":"X","separator":"-","casing":"kleinbuchstaben"})", R"(["casing","separator","prefix"])"},
            {R"({"separator":"_","prefix":""})", R"(["separator","prefix"])"},
        };
        for (const auto &step : steps) {
            const Reply reply = send("POST", "/v1/rules", step.body);
            QCOMPARE(reply.status(), 200);
            QCOMPARE(compact(reply.json()["changed"]), json(step.changed));
            QCOMPARE(send("GET", "/v1/rules").json()["preview"], reply.json()["preview"]);
        }
        QCOMPARE(send("GET", "/v1/rules").json()["preview"], before); // back to the first rules
        // What the rules refuse (their words: tst_renamerules) changes nothing.
        QCOMPARE(send("POST", "/v1/rules", R"({"maxLength":-1})").status(), 400);
        QCOMPARE(send("GET", "/v1/rules").json()["preview"], before);
    }

    // The window endpoints over the real window; its screenshots are the GUI scripts' (harness.py).
    void uiStateAndNavigate()
    {
        touch(document("ui.txt"), "Notiz");
        QCOMPARE(send("POST", "/v1/suggest", json(R"({"paths":["%1"]})", document("ui.txt"))).status(), 200);
        const QJsonObject state = send("GET", "/v1/ui/state").json();
        QVERIFY(state["window"]["visible"].toBool() && state["window"]["width"].toInt() > 0);
        QCOMPARE(state["jobCount"], 1);
        COMPARE_REPLY(send("DELETE", "/v1/jobs"), 200, json(R"({"ok":true,"cleared":1})"));

        COMPARE_REPLY(send("POST", "/v1/ui/navigate", R"({"tab":"history"})"), 200,
                      json(R"({"ok":true,"tab":"history"})"));
        COMPARE_REPLY(send("POST", "/v1/ui/navigate", R"({"tab":"History"})"), 400,
                      json(R"({"error":"invalid tab","valid":["files","history","templates","watch"]})"));
        QCOMPARE(send("GET", "/v1/ui/state").json()["tab"], "history");
    }

    // the token locks out every later request without it
    void systemEndpointsAndToken()
    {
        const SandboxState sandbox = SandboxState::probe(); // the app's helpers report what this kernel offers
        COMPARE_REPLY(send("GET", "/v1/health"), 200,
                      json(R"({"sandbox":{"complete":%1,"landlock":%2,"seccomp":%3},"status":"ok","version":"0.1.0"})",
                           QString(sandbox.isComplete() ? "true" : "false"), QString::number(sandbox.landlockABI),
                           QString(sandbox.seccomp ? "true" : "false")));

        COMPARE_REPLY(send("POST", "/v1/settings", R"({"apiToken":"t0ken"})"), 200,
                      json(R"({"ok":true,"changed":["apiToken"]})"));
        QCOMPARE(send("GET", "/v1/health").status(), 401); // the reply and the header forms are tst_apiserver's
        const Reply settings = send("GET", "/v1/settings", {}, "X-API-Token: t0ken\r\n");
        QCOMPARE(settings.json()["api"]["hasToken"], true);
        QVERIFY(!settings.body().contains("t0ken"));
    }

    // last: what the earlier functions set is there after a restart (the settings are written as the
    // app quits), and so is the review list with the user's edit and tick
    void settingsRulesAndReviewSurviveARestart()
    {
        const QByteArray token = "X-API-Token: t0ken\r\n";
        QCOMPARE(send("DELETE", "/v1/jobs", {}, token).status(), 200);
        const QString first = given("bleibt.txt", "Brief vom 02.05.2024", "2024-05-02", "brief", "Bleibt"),
                      second = given("auch.txt", "Brief vom 03.05.2024", "2024-05-03", "brief", "Auch");
        QCOMPARE(send("POST", "/v1/suggest", json(R"({"paths":["%1","%2"]})", first, second), token).status(), 200);
        const QString id = send("GET", "/v1/jobs", {}, token).json()["jobs"][0]["id"].toString();
        QCOMPARE(
            send("PUT", "/v1/jobs/" + id.toUtf8(), R"({"suggested":"von_hand.txt","approved":false})", token).status(),
            200);
        const QJsonValue review = send("GET", "/v1/jobs", {}, token).json()["jobs"];
        QCOMPARE(review[0]["suggested"], "von_hand.txt");
        const QByteArray rules =
            R"({"dateFormat":"DD.MM.YYYY","prefix":"Ä","maxLength":42,"replaceUmlauts":false,"categories":["quittung"]})";
        QCOMPARE(compact(send("POST", "/v1/rules", rules, token).json()["changed"]),
                 json(R"(["dateFormat","prefix","maxLength","replaceUmlauts","categories"])"));
        const QByteArrayList before{send("GET", "/v1/settings", {}, token).body(),
                                    send("GET", "/v1/rules", {}, token).body()};
        QVERIFY(stopsCleanly(m_app));
        startApp();
        QCOMPARE(
            (QByteArrayList{send("GET", "/v1/settings", {}, token).body(), send("GET", "/v1/rules", {}, token).body()}),
            before);
        QCOMPARE(compact(send("GET", "/v1/jobs", {}, token).json()["jobs"]), compact(review));
    }

private:
    void startApp()
    {
        const qsizetype logged = m_log.size();
        m_app.start(NAMORIX_BINARY, {});
        QVERIFY(m_app.waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT((m_port = announcedPort(m_log, logged)), 15000);
    }

    Reply send(const QByteArray &method, const QByteArray &target, const QByteArray &body = {},
               const QByteArray &headers = {})
    {
        return exchange(m_port, request(method, target, body, headers));
    }
    QString document(const QString &name) const { return m_home.filePath("docs/" + name); }
    /** A document holding `content`, and the model's reply for it. */
    QString given(const char *name, const QByteArray &content, const char *date, const char *category,
                  const char *description, double confidence = 0.9)
    {
        m_llm.setReply(name, llmReply(date, category, description, confidence));
        return touch(document(name), content);
    }

    QTemporaryDir m_home;
    LlmStub m_llm;
    KorvexStub m_korvex;
    QProcess m_app;
    QByteArray m_log;
    quint16 m_port = 0;                     ///< where the app listens: NAMORIX_API_PORT=0 lets the system pick it
    static constexpr int StoredPort = 4711; ///< the setting, not listened on
    bool m_failed = false;
    QJsonArray m_history; ///< the three entries of the rename flow, newest first
};

QTEST_GUILESS_MAIN(TestApiEndToEnd)
#include "tst_apiendtoend.moc"
