#include "ai/aisettings.h"
#include "ai/filekeychain.h"
#include "settings/defaultsstore.h"

#include "awaittask.h"
#include "memorykeychain.h"

#include <QtTest>

class TestAISettings final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Providers without a key are configured as they are; an empty key counts as none.
    void storedProvider_data()
    {
        QTest::addColumn<QString>("stored"); // the raw "ai.provider" value; null: never set
        QTest::addColumn<AIProviderType>("provider");
        QTest::addColumn<bool>("configured");
        QTest::newRow("fresh install") << QString() << AIProviderType::claude << false;
        QTest::newRow("raw values are case-sensitive") << "ollama" << AIProviderType::claude << false;
        QTest::newRow("Ollama") << "Ollama" << AIProviderType::ollama << true;
        QTest::newRow("Apple") << "Apple" << AIProviderType::apple << true;
    }

    void storedProvider()
    {
        QFETCH(QString, stored);
        QFETCH(AIProviderType, provider);
        QFETCH(bool, configured);
        DefaultsStore store;
        if (!stored.isNull())
            store.setString("ai.provider", stored);
        FileKeychain keychain(m_dir.filePath(QTest::currentDataTag()));
        AISettings settings(store, keychain);
        QCOMPARE(settings.provider(), provider);
        QCOMPARE(awaitTask(settings.isConfigured()), configured);
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
        MemoryKeychain keychain;
        {
            AISettings settings(store, keychain);
            QCOMPARE(settings.model(), "gpt-local");
            QCOMPARE(settings.endpoint(), "http://127.0.0.1:9");
            QVERIFY(!store.contains("ai.model") && !store.contains("ai.endpoint"));
            QCOMPARE(store.stringValue("ai.endpoint.openai"), "http://127.0.0.1:9");

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
        MemoryKeychain keychain;
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
        settings.setProvider(AIProviderType::ollama); // no key, nothing bound
        QVERIFY(awaitTask(settings.isConfigured()));
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestAISettings)
#include "tst_aisettings.moc"
