// namorix-cli as a user runs it, in a private home with the LLM stub as the provider: first with
// no app (the core headless in the command), then against the real app's REST API. The functions
// run in declaration order and share the home and its history.
#include "engineharness.h"
#include "llmstub.h"
#include "privatehome.h"
#include "rawhttp.h"
#include "refusedport.h"

#include <csignal>

namespace {

struct Outcome {
    int exitCode = -1;
    QString out;
    QString err;
};

} // namespace

class TestCli final : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home;
    LlmStub m_llm;
    QProcess m_app;
    quint16 m_port = 0;   ///< the app's, as it says on start
    RefusedPort m_nobody; ///< the companion's port, and the API port the command tries when no app runs

    QString file(const QString &name) const { return m_home.filePath("docs/" + name); }

    /** Starts the command in `home`, else the shared one; the stub answers as the test's event loop runs. */
    void start(QProcess &process, const QStringList &arguments, const QByteArray &input = {},
               const QTemporaryDir *home = nullptr)
    {
        process.setProcessEnvironment(privateHomeEnvironment(home ? *home : m_home));
        process.start(NAMORIX_CLI, arguments);
        QVERIFY(process.waitForStarted(10000));
        process.write(input);
        process.closeWriteChannel();
    }

    Outcome finish(QProcess &process)
    {
        if (process.state() != QProcess::NotRunning) {
            QSignalSpy finished(&process, &QProcess::finished);
            finished.wait(60000);
        }
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
    }

    Outcome cli(const QStringList &arguments, const QByteArray &input = {}, const QTemporaryDir *home = nullptr)
    {
        QProcess process;
        start(process, arguments, input, home);
        return finish(process);
    }

    QJsonObject json(const QStringList &arguments)
    {
        const Outcome run = cli(arguments + QStringList{"--json"});
        return QJsonDocument::fromJson(run.out.toUtf8()).object();
    }

    /** Ctrl+C while the provider still thinks about the file: exit 130, the file keeps its name. */
    void interruptMidAnalysis()
    {
        const QString slow = touch(file("langsam.txt"), "Rechnung vom 15.03.2024, langsam");
        m_llm.setDelay("langsam.txt", 20000);
        const qsizetype asked = m_llm.askedFiles().size();
        const QStringList before = QDir(file("")).entryList(QDir::Files);
        QProcess process;
        start(process, {"rename", "--yes", slow});
        QTRY_VERIFY_WITH_TIMEOUT(m_llm.askedFiles().size() > asked, 20000);
        ::kill(pid_t(process.processId()), SIGINT);
        const Outcome run = finish(process);
        QCOMPARE(run.exitCode, 130);
        QVERIFY2(run.err.contains("Abgebrochen – nichts umbenannt."), qPrintable(run.err));
        if (m_app.state() == QProcess::Running) {
            // The app's run ended with the command, long before the provider's 20 s: its result
            // never joins the user's review.
            QTRY_COMPARE(exchange(m_port, request("GET", "/v1/jobs")).json()["processing"], false);
            const QJsonArray jobs = exchange(m_port, request("GET", "/v1/jobs")).json()["jobs"].toArray();
            QVERIFY(std::none_of(jobs.begin(), jobs.end(),
                                 [](const QJsonValue &job) { return job["original"] == "langsam.txt"; }));
        }
        QCOMPARE(QDir(file("")).entryList(QDir::Files), before); // the command is gone, the app's run over
        QVERIFY(QFile::remove(slow));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        QVERIFY(m_llm.listen());
        touch(m_home.filePath("config/namorix/settings.json"),
              QString(R"({"api.port":%1,"kvx.port":%1,"hasAcceptedLegal":true,"onboardingDone":true,)"
                      R"("ai.provider":"Ollama","ai.endpoint.ollama":"%2"})")
                  .arg(m_nobody.port())
                  .arg(m_llm.baseUrl())
                  .toUtf8());
        m_llm.setFailure("kaputt.txt", 400);
    }

    void cleanupTestCase()
    {
        if (m_app.state() != QProcess::NotRunning) {
            m_app.terminate();
            QVERIFY(m_app.waitForFinished(10000));
        }
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("nothing") << QStringList() << "Aufruf: namorix-cli BEFEHL";
        QTest::newRow("unknown command") << QStringList{"umbenennen", "a.txt"} << "Unbekannter Befehl: umbenennen";
        QTest::newRow("unknown option") << QStringList{"rename", "--ja", "a.txt"} << "Hilfe: namorix-cli rename --help";
        QTest::newRow("no files") << QStringList{"suggest"} << "Keine Dateien angegeben.";
        QTest::newRow("two undo targets") << QStringList{"undo", "--last", "--batch", "1"} << "genau eines";
        QTest::newRow("limit not a number") << QStringList{"history", "--limit", "viele"} << "--limit braucht";
    }

    void usageErrors()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const Outcome run = cli(arguments);
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QCOMPARE(run.out, QString());
    }

    // A profile that never accepted the terms: the core refuses, the command says what to do.
    void termsFirst()
    {
        QTemporaryDir fresh;
        touch(fresh.filePath("config/namorix/settings.json"), R"({"api.enabled":false,"kvx.enabled":false})");
        const QString letter = touch(fresh.filePath("brief.txt"), "Rechnung vom 15.03.2024");
        const Outcome run = cli({"rename", "--yes", letter}, {}, &fresh);
        QCOMPARE(std::pair(run.exitCode, run.err),
                 std::pair(1, QString("Bitte öffnen Sie Namorix einmal und nehmen Sie die Nutzungsbedingungen an.\n")));
        QVERIFY(QFile::exists(letter));
    }

    // No app runs: the command does the work itself over the same core.
    void headless()
    {
        const QString dated = touch(file("scan.txt"), "Rechnung vom 15.03.2024, Mobilfunk");
        const QString undated = touch(file("notiz.txt"), "Eine Notiz ohne Angaben");
        const QString broken = touch(file("kaputt.txt"), "Rechnung vom 15.03.2024, kaputt");
        const QString renamed = file("2024-03-15_rechnung_mobilfunk_maerz.txt");

        const QJsonObject status = json({"status"});
        QCOMPARE(status["app"]["running"], false);
        QCOMPARE(status["settings"]["ai"]["provider"], "Ollama");

        // Its objects are the API's; that it renames nothing shows below, where both are still there.
        const QJsonArray suggestions = json({"suggest", dated, undated})["suggestions"].toArray();
        QCOMPARE(suggestions.size(), 2);
        QCOMPARE(suggestions[0]["suggested"], "2024-03-15_rechnung_mobilfunk_maerz.txt");

        // Declined: nothing renamed.
        Outcome run = cli({"rename", dated}, "n\n");
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.out.contains("scan.txt") && run.out.contains("2024-03-15_rechnung_mobilfunk_maerz.txt"),
                 qPrintable(run.out));
        QVERIFY(QFile::exists(dated));

        // Confirmed with "j": the checked file is renamed; the unchecked, the failing and the missing
        // one are each named with their reason, and the exit code says so.
        run = cli({"rename", dated, undated, broken, file("fehlt.txt")}, "j\n");
        QCOMPARE(run.exitCode, 1);
        QVERIFY(QFile::exists(renamed) && QFile::exists(undated) && QFile::exists(broken));
        for (const QString expected :
             {"notiz.txt: nicht umbenannt, weil ungeprüft (datum)", "kaputt.txt: ", "fehlt.txt: Datei nicht gefunden"})
            QVERIFY2(run.err.contains(expected), qPrintable(run.err));
        QVERIFY2(run.out.contains("1 Datei umbenannt. Rückgängig: namorix-cli undo --batch 1"), qPrintable(run.out));

        // --yes renames the unchecked one too, all done.
        run = cli({"rename", "--yes", undated});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(!QFile::exists(undated));

        const QJsonArray history = json({"history", "--search", "NOTIZ"})["history"].toArray();
        QCOMPARE(history.size(), 1);
        // Above it in the history 1,000 renames already taken back: --last still finds the live one.
        {
            auto store = ObjectStore::open(m_home.filePath("data/namorix/namorix.sqlite"));
            QVERIFY(store);
            QList<RenameRecord> undone;
            const QDateTime now = QDateTime::currentDateTimeUtc();
            for (int i = 0; i < 1000; ++i) {
                const QString name = QString("f%1.txt").arg(i);
                undone << RenameRecord{0, "/weg/" + name, "/weg/x" + name, name, "x" + name, now, "OpenAI", 0.9, true,
                                       {}};
            }
            QVERIFY((*store)->insert(undone));
        }
        run = cli({"undo", "--last"});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(QFile::exists(undated));
        QCOMPARE(cli({"undo", "--last"}).exitCode, 0); // the first rename, scan.txt's
        QVERIFY(QFile::exists(dated));
        run = cli({"undo", "--last"});
        QCOMPARE(std::pair(run.exitCode, run.err), std::pair(1, QString("Nichts rückgängig zu machen.\n")));

        interruptMidAnalysis();
    }

    // The app runs: the command goes through its REST API (its socket here).
    void againstTheApp()
    {
        m_app.setProcessEnvironment(privateHomeEnvironment(m_home));
        m_app.setProcessChannelMode(QProcess::MergedChannels);
        m_app.start(NAMORIX_BINARY, {});
        QVERIFY(m_app.waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT((m_port = announcedPort(m_app.peek(1 << 20))), 20000);

        const QJsonObject status = json({"status"});
        QCOMPARE(status["app"]["running"], true);
        QVERIFY(status.contains("queue"));

        const QString letter = touch(file("brief.txt"), "Rechnung vom 15.03.2024, Brief");
        // A failing file is reported by the same command code as without the app (headless).
        Outcome run = cli({"rename", "--yes", letter});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(!QFile::exists(letter), qPrintable(run.out + run.err));
        // The app's own history has it, after the headless ones.
        const QJsonObject newest = json({"history", "--limit", "1"})["history"][0].toObject();
        QCOMPARE(newest["original"], "brief.txt");

        run = cli({"undo", "--batch", QString::number(newest["batch"].toInteger())});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(QFile::exists(letter));
        run = cli({"undo", file("nie-umbenannt.txt")});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains("nie-umbenannt.txt: nicht im Verlauf"), qPrintable(run.err));

        interruptMidAnalysis();
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
