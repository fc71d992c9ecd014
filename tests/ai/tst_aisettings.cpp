// AI settings over a credential store. Runs with no session bus at all, and through
// with-session-bus.sh on a bus without a Secret Service: keys must end up in the private file.
#include "ai/aisettings.h"
#include "ai/costestimate.h"
#include "ai/filekeychain.h"
#include "ai/providercatalogue.h"
#include "ai/secretservicekeychain.h"
#include "ai/usageledger.h"
#include "awaittask.h"
#include "settings/defaultsstore.h"

#include <QtTest>

#include <sys/stat.h>

namespace {

QStringList s_warnings;
QtMessageHandler s_previousHandler = nullptr;

void collectWarnings(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg)
        s_warnings << message;
    s_previousHandler(type, context, message);
}

mode_t modeOf(const QString &path)
{
    struct stat info = {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

} // namespace

class TestAISettings final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (qgetenv("NAMORIX_PRIVATE_BUS") != "1")
            qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + QFile::encodeName(m_home.filePath("no-bus-here")));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath("config")));
        m_previousUmask = ::umask(0); // with nothing masked, only an explicit 0600 keeps others out
        s_previousHandler = qInstallMessageHandler(collectWarnings);
    }

    void cleanupTestCase()
    {
        qInstallMessageHandler(s_previousHandler);
        ::umask(m_previousUmask);
    }

    void keysPersistInAPrivateFile()
    {
        KeychainStore &shared = KeychainStore::shared();
        QCOMPARE(awaitTask(shared.read("namorix-Claude", "default")), std::nullopt);
        awaitTask(shared.save("sk-ant-first", "namorix-Claude", "default"));
        const SecretPlacement placed = awaitTask(shared.save("sk-ant-secret", "namorix-Claude", "default"));
        awaitTask(shared.save("sk-gone", "svc", "default"));
        awaitTask(shared.remove("svc", "default"));
        const QString standard = m_home.filePath("config/namorix/credentials.json");
        QCOMPARE(placed.place, SecretPlacement::Place::privateFile); // and the window says so
        QVERIFY2(placed.notice.startsWith("Kein Schlüsselbund") && placed.notice.contains(standard),
                 qPrintable(placed.notice));
        QCOMPARE(modeOf(standard), mode_t(0600));
        FileKeychain file(standard); // a later run reads what this one stored
        QCOMPARE(awaitTask(file.read("namorix-Claude", "default")), QString("sk-ant-secret"));
        QCOMPARE(awaitTask(file.read("svc", "default")), std::nullopt);

        // A second store falls back as well, without a second notice.
        const QString other = m_home.filePath("other/credentials.json");
        SecretServiceKeychain second(other);
        awaitTask(second.save("sk-other", "svc", "default"));
        QCOMPARE(awaitTask(FileKeychain(other).read("svc", "default")), QString("sk-other"));

        const QStringList notices = s_warnings.filter("no Secret Service reachable");
        QCOMPARE(notices.size(), 1);
        QVERIFY(notices[0].contains(standard));
        QVERIFY(!s_warnings.join('\n').contains("sk-"));
    }

    void storedProvider_data()
    {
        QTest::addColumn<QString>("stored"); // the raw "ai.provider" value; null: never set
        QTest::addColumn<AIProviderType>("provider");
        QTest::addColumn<bool>("configured");
        QTest::addColumn<bool>("olderProfile"); // the terms were accepted before there was an on-device namer
        QTest::newRow("fresh install: on the device") << QString() << AIProviderType::local << true << false;
        QTest::newRow("older profile keeps its model") << QString() << AIProviderType::claude << false << true;
        QTest::newRow("Lokal") << "Lokal" << AIProviderType::local << true << true;
        QTest::newRow("raw values are case-sensitive") << "ollama" << AIProviderType::claude << false << false;
        QTest::newRow("Ollama") << "Ollama" << AIProviderType::ollama << true << false;
    }

    void storedProvider()
    {
        QFETCH(QString, stored);
        QFETCH(AIProviderType, provider);
        QFETCH(bool, configured);
        QFETCH(bool, olderProfile);
        DefaultsStore store;
        if (!stored.isNull())
            store.setString("ai.provider", stored);
        if (olderProfile)
            store.setBool("hasAcceptedLegal", true);
        FileKeychain keychain(m_home.filePath(QTest::currentDataTag()));
        AISettings settings(store, keychain);
        QCOMPARE(settings.provider(), provider);
        QCOMPARE(awaitTask(settings.isConfigured()), configured);
        // Nothing that runs here is masked or priced: nothing leaves the machine.
        QCOMPARE(settings.maskPersonalData(), ProviderCatalogue::facts(provider).paidCloud);
        awaitTask(settings.setApiKey(""));
        QCOMPARE(awaitTask(keychain.read(AISettings::keychainService(provider), "default")), QString(""));
        QCOMPARE(awaitTask(settings.isConfigured()), configured);
    }

    void flatKeysMoveOnceToTheSelectedProvider()
    {
        DefaultsStore store;
        store.setString("ai.provider", "OpenAI");
        store.setString("ai.model", "gpt-local");
        store.setString("ai.endpoint", "http://127.0.0.1:9");
        FileKeychain keychain(m_home.filePath(QTest::currentTestFunction()));
        {
            AISettings settings(store, keychain);
            QCOMPARE(settings.model(), "gpt-local");
            QCOMPARE(settings.endpoint(), "http://127.0.0.1:9");
            QVERIFY(!store.contains("ai.model") && !store.contains("ai.endpoint"));

            // Switching shows the other provider's own values and says so.
            QSignalSpy models(&settings, &AISettings::modelChanged);
            QSignalSpy endpoints(&settings, &AISettings::endpointChanged);
            settings.setProvider(AIProviderType::claude);
            QCOMPARE_NE(settings.effectiveEndpoint(), "http://127.0.0.1:9");
            QCOMPARE(models.size(), 1);
            QCOMPARE(endpoints.size(), 1);
        }
        // Nothing left to move: Claude, now selected, does not inherit OpenAI's values.
        AISettings settings(store, keychain);
        QCOMPARE(settings.endpoint(), QString());
        settings.setProvider(AIProviderType::openai);
        QCOMPARE(settings.effectiveEndpoint(), "http://127.0.0.1:9");
    }

    // A key works only at the address it was entered for; older keys belong to the default one.
    void keyFollowsOnlyItsEndpoint()
    {
        DefaultsStore store;
        store.setString("ai.provider", "OpenAI");
        store.setString("ai.endpoint.openai", "http://127.0.0.1:9/");
        FileKeychain keychain(m_home.filePath(QTest::currentTestFunction()));
        awaitTask(keychain.save("sk-alt", AISettings::keychainService(AIProviderType::openai), "default"));
        AISettings settings(store, keychain);
        QCOMPARE(awaitTask(settings.apiKey()), QString()); // stored before bindings: the default address's
        QVERIFY(awaitTask(settings.hasKeyForOtherEndpoint()));
        QCOMPARE(settings.keyEndpoint(), "https://api.openai.com");

        settings.setEndpoint("");
        QCOMPARE(awaitTask(settings.apiKey()), "sk-alt");
        settings.setEndpoint("http://127.0.0.1:9");
        awaitTask(settings.setApiKey("sk-neu"));
        settings.setEndpoint("HTTP://127.0.0.1:9/"); // the same address, written differently
        QCOMPARE(awaitTask(settings.apiKey()), "sk-neu");
        settings.setEndpoint("http://127.0.0.1:10");
        QVERIFY(!awaitTask(settings.isConfigured()));
        settings.confirmKeyForEndpoint();
        QCOMPARE(awaitTask(settings.apiKey()), "sk-neu");
        QVERIFY(!awaitTask(settings.hasKeyForOtherEndpoint()));
        settings.setProvider(AIProviderType::gemini); // each provider its own key
        QCOMPARE(awaitTask(settings.apiKey()), QString());
        settings.setProvider(AIProviderType::openai);
        QCOMPARE(awaitTask(settings.apiKey()), "sk-neu");
        settings.setProvider(AIProviderType::ollama); // no key, nothing bound
        QVERIFY(awaitTask(settings.isConfigured()));
    }

    // A new month starts from zero; the settings window says it the German way.
    void usageCountsThisMonth()
    {
        DefaultsStore store;
        FileKeychain keychain(m_home.filePath(QTest::currentTestFunction()));
        AISettings settings(store, keychain);
        UsageLedger ledger(store, settings);
        ledger.addUsage(AIProviderType::gemini, 900, 0, QDate(2026, 11, 30));
        ledger.addUsage(AIProviderType::gemini, 30, 10, QDate(2026, 12, 1));
        ledger.addNamedHere(AIProviderType::gemini, QDate(2026, 12, 2));
        ledger.addUsage(AIProviderType::gemini, 2, -5, QDate(2026, 12, 31)); // a negative count adds nothing
        QCOMPARE(ledger.usage(AIProviderType::gemini, QDate(2026, 12, 6)), (UsageLedger::Usage{2, 42, 10, 1}));
        QCOMPARE(ledger.usage(AIProviderType::gemini, QDate(2027, 1, 1)), UsageLedger::Usage{});

        QCOMPARE(UsageLedger::describeUsage({1240, 2'100'000}), "Diesen Monat: 1.240 Anfragen, 2,1 Mio. Tokens");
        QCOMPARE(UsageLedger::describeUsage({1, 1}), "Diesen Monat: 1 Anfrage, 1 Token");
        QCOMPARE(UsageLedger::describeUsage({12, 999'999}), "Diesen Monat: 12 Anfragen, 999.999 Tokens");
        QCOMPARE(UsageLedger::describeUsage({0, 3'450'000'000}), "Diesen Monat: 0 Anfragen, 3,5 Mrd. Tokens");
        QCOMPARE(UsageLedger::describeUsage({3, 900, 0, 1'204}),
                 "Diesen Monat: 3 Anfragen, 900 Tokens · 1.204 Dateien ohne Anfrage benannt");
    }

    // Each provider's usage at its model's price: the user's, the default, or the provider's
    // default model's for a model without one; a local model is free. The budget is reached at its amount.
    void costAndBudgetThisMonth()
    {
        DefaultsStore store;
        FileKeychain keychain(m_home.filePath(QTest::currentTestFunction()));
        AISettings settings(store, keychain);
        UsageLedger ledger(store, settings);
        const QDate today(2026, 12, 6);
        ledger.addUsage(AIProviderType::claude, 1'000'000, 200'000, today); // 2,58 + 2,58
        ledger.addUsage(AIProviderType::ollama, 5'000'000, 100'000, today);
        settings.setProvider(AIProviderType::openai);
        settings.setModel("gpt-eigen");
        QCOMPARE(ledger.price(), (TokenPrice{2.15, 8.60}));
        ledger.addUsage(AIProviderType::openai, 0, 100'000, today); // 0,86
        QCOMPARE(PriceTable::euros(ledger.costThisMonth(today)), "6,02 €");

        QSignalSpy priced(&ledger, &UsageLedger::priceChanged);
        settings.setProvider(AIProviderType::claude);
        QVERIFY(!priced.isEmpty()); // another model, another price
        priced.clear();
        ledger.setPrice({3, 15});
        ledger.setPrice({3, 15});
        QCOMPARE(priced.size(), 1);
        QCOMPARE(PriceTable::euros(ledger.costThisMonth(today)), "6,86 €");
        settings.setProvider(AIProviderType::ollama);
        QCOMPARE(ledger.price(), TokenPrice{});

        QVERIFY(!ledger.isOverBudget(today)); // no budget
        ledger.setMonthlyBudget(6.86);
        QVERIFY(ledger.isOverBudget(today));
        QCOMPARE(ledger.budgetReached(today), "Monatsbudget von 6,86 € erreicht (diesen Monat 6,86 €)");
        ledger.setMonthlyBudget(6.87);
        QVERIFY(!ledger.isOverBudget(today));
        ledger.setMonthlyBudget(1);
        QVERIFY(!ledger.isOverBudget(QDate(2027, 1, 1))); // a new month

        AISettings reopenedSettings(store, keychain); // kept in the store; the default price is not
        UsageLedger reopened(store, reopenedSettings);
        QCOMPARE(reopened.monthlyBudget(), 1.0);
        QCOMPARE(PriceTable::euros(reopened.costThisMonth(today)), "6,86 €");
        reopenedSettings.setProvider(AIProviderType::claude);
        reopened.setPrice({2.58, 12.90});
        QCOMPARE(store.arrayValue("ai.prices"), QVariantList());
    }

    // What the question before a big run states, from the files' sizes.
    void costEstimate_data()
    {
        QTest::addColumn<RunSize>("run");
        QTest::addColumn<TokenPrice>("price");
        QTest::addColumn<QString>("estimate");
        QTest::newRow("3000 documents to Claude")
            << RunSize{3000, 3000 * 2000} << TokenPrice{2.58, 12.90} << "≈ 3.000 Dateien, ≈ 2,9 Mio. Tokens, ≈ 10,03 €";
        QTest::newRow("one file") << RunSize{1, 2000} << TokenPrice{2.15, 8.60} << "≈ 1 Datei, ≈ 976 Tokens, < 0,01 €";
    }

    void costEstimate()
    {
        QFETCH(RunSize, run);
        QFETCH(TokenPrice, price);
        QTEST(CostEstimate::of(run, price).describe(), "estimate");
    }

    // Sizes only: a file counts up to the excerpt's length; a missing one counts nothing.
    void costEstimateMeasuresSizes()
    {
        QTemporaryDir dir;
        QStringList files;
        for (const auto &[name, size] : {std::pair{"leer", 0}, {"kurz", 100}, {"lang", 10'000}}) {
            QFile file(dir.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(size, 'x'));
            files << file.fileName();
        }
        const RunSize run = CostEstimate::measure(files << dir.filePath("fehlt"));
        QCOMPARE(run.files, 4);
        QCOMPARE(run.excerptChars, 2100);
    }

private:
    QTemporaryDir m_home;
    mode_t m_previousUmask = 0;
};

QTEST_GUILESS_MAIN(TestAISettings)
#include "tst_aisettings.moc"
