#include "awaittask.h"
#include "companion/kvxclient.h"
#include "korvexstub.h"
#include "settings/defaultsstore.h"

#include <QtTest>

class TestKVXClient final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_fx = std::make_unique<Fixture>();
        QVERIFY(m_fx->korvex.listen());
        m_fx->store.setInteger("kvx.port", m_fx->korvex.port());
    }

    void cleanup() { m_fx.reset(); }

    void availabilityIsCachedBothWays()
    {
        QVERIFY(awaitTask(m_fx->client.isAvailable()));
        m_fx->korvex.setHealthStatus(503); // unwell: the first answer stands for 30 seconds
        m_fx->client.advanceClockForTesting(10'000);
        QVERIFY(awaitTask(m_fx->client.isAvailable()));

        m_fx->client.advanceClockForTesting(20'000);
        QVERIFY(!awaitTask(m_fx->client.isAvailable()));
        m_fx->korvex.setHealthStatus(200); // well again, but the failure is cached too
        QVERIFY(!awaitTask(m_fx->client.isAvailable()));
        m_fx->client.advanceClockForTesting(30'000);
        QVERIFY(awaitTask(m_fx->client.isAvailable()));

        // Only 200 counts as healthy.
        m_fx->korvex.setHealthStatus(204);
        m_fx->client.advanceClockForTesting(30'000);
        QVERIFY(!awaitTask(m_fx->client.isAvailable()));
    }

    void disabledAsksNothing()
    {
        m_fx->store.setBool("kvx.enabled", false);
        QVERIFY(!awaitTask(m_fx->client.isAvailable()));
        const KVXResult<QString> text = awaitTask(m_fx->client.extractText("/a/b.pdf"));
        QVERIFY(!text);
        QCOMPARE(text.error().message(), "KVX-Anfrage fehlgeschlagen");
        QVERIFY(m_fx->korvex.server().requests().isEmpty());
    }

    void exactPathWinsOverSameName()
    {
        m_fx->korvex.addDocument({"first", "/home/a/rechnung.pdf"});
        m_fx->korvex.addDocument({"exact", "/home/b/rechnung.pdf"});
        m_fx->korvex.addDocument({"other", "/home/c/rechnung-alt.pdf"});

        QCOMPARE(awaitTask(m_fx->client.findDocumentID("/home/b/rechnung.pdf")).value(), "exact");
        QCOMPARE(awaitTask(m_fx->client.findDocumentID("/elsewhere/rechnung.pdf")).value(), "first");
        const KVXResult<QString> missing = awaitTask(m_fx->client.findDocumentID("/home/b/brief.pdf"));
        QCOMPARE(missing.error().code(), KVXError::Code::notIndexed);
        QCOMPARE(missing.error().message(), "Datei nicht in KVX indexiert");

        const RecordedRequest &search = m_fx->korvex.server().requests().first();
        QCOMPARE(search.headers.value("content-type"), "application/json");
        QCOMPARE(QJsonDocument::fromJson(search.body).object(), (QJsonObject{{"query", "rechnung.pdf"}, {"limit", 5}}));
    }

    void requestsCarryTokenOnlyWhenSet()
    {
        m_fx->korvex.addDocument({"d", "/x/y.pdf"});
        QVERIFY(awaitTask(m_fx->client.extractText("/x/y.pdf")));
        for (const RecordedRequest &request : m_fx->korvex.server().requests())
            QVERIFY2(!request.headers.contains("authorization"), qPrintable(request.path));

        m_fx->korvex.server().clearRequests();
        m_fx->store.setString("kvx.token", "s3cret");
        QVERIFY(awaitTask(m_fx->client.extractText("/x/y.pdf")));
        const QList<RecordedRequest> &requests = m_fx->korvex.server().requests();
        QCOMPARE(requests.size(), 2); // health is cached
        for (const RecordedRequest &request : requests)
            QCOMPARE(request.headers.value("authorization"), "Bearer s3cret");
    }

    void pagesComeInOrder()
    {
        m_fx->korvex.addDocument({"d", "/x/d.pdf", {{3, "drei"}, {1, "eins"}, {2, "zwei"}, {1, "eins-b"}}});
        QCOMPARE(awaitTask(m_fx->client.fetchDocumentText("d")).value(), "eins\neins-b\nzwei\ndrei");
    }

    void failuresMapToTheirErrors_data()
    {
        QTest::addColumn<QString>("documentId");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body"); // empty: the stub's own answer
        QTest::addColumn<KVXError::Code>("expected");
        const auto row = [](const char *name, const QString &id, int status, const QByteArray &body,
                            KVXError::Code expected) { QTest::newRow(name) << id << status << body << expected; };
        row("blank pages", "blank", 200, {}, KVXError::Code::emptyText);
        row("server error", "d", 500, {}, KVXError::Code::requestFailed);
        row("id not valid in a path", "a b", 200, {}, KVXError::Code::invalidURL);
        row("malformed JSON", "d", 200, "{\"pages\": [", KVXError::Code::decoding);
        row("page number not an integer", "d", 200, R"({"pages":[{"page":1.5,"text":"x"}]})", KVXError::Code::decoding);
        row("text missing", "d", 200, R"({"pages":[{"page":1}]})", KVXError::Code::decoding);
    }

    void failuresMapToTheirErrors()
    {
        QFETCH(QString, documentId);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        m_fx->korvex.addDocument({"d", "/x/d.pdf"});
        m_fx->korvex.addDocument({"blank", "/x/blank.pdf", {{1, " \n\t"}, {2, "\n"}}});
        m_fx->korvex.setRequestStatus(status);
        if (!body.isEmpty())
            m_fx->korvex.server().setHandler([body](const RecordedRequest &) { return StubResponse{200, body}; });
        const KVXResult<QString> text = awaitTask(m_fx->client.fetchDocumentText(documentId));
        QVERIFY(!text);
        QTEST(text.error().code(), "expected");
    }

    void unreachableKorvexSaysSoInGerman()
    {
        m_fx->korvex.close();
        const KVXResult<QString> id = awaitTask(m_fx->client.findDocumentID("/x/y.pdf"));
        QCOMPARE(id.error().code(), KVXError::Code::transport);
        QCOMPARE(id.error().message(), "KVX nicht erreichbar: Verbindung abgelehnt");
    }

private:
    struct Fixture {
        KorvexStub korvex;
        DefaultsStore store;
        KVXClient client{store};
    };
    std::unique_ptr<Fixture> m_fx;
};

QTEST_GUILESS_MAIN(TestKVXClient)
#include "tst_kvxclient.moc"
