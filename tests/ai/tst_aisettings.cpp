#include "ai/aisettings.h"
#include "ai/filekeychain.h"
#include "settings/defaultsstore.h"

#include "awaittask.h"

#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

class TestAISettings final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void freshInstall();
    void storedProvider();
    void providersWithoutKey();
    void modelAndEndpointOutliveSwitch();

private:
    QTemporaryDir m_dir;
};

void TestAISettings::freshInstall()
{
    DefaultsStore store;
    FileKeychain keychain(m_dir.filePath("fresh.json"));
    AISettings settings(store, keychain);
    QCOMPARE(settings.provider(), AIProviderType::claude);
    QCOMPARE(settings.effectiveModel(), QString("claude-sonnet-4-20250514"));
    QCOMPARE(awaitTask(settings.apiKey()), QString());
    QCOMPARE(awaitTask(settings.isConfigured()), false);

    for (AIProviderType type : {AIProviderType::claude, AIProviderType::openai, AIProviderType::gemini}) {
        const QUrl origin(AISettings::defaultEndpoint(type));
        QCOMPARE(origin.scheme(), QString("https"));
        QVERIFY(!origin.host().isEmpty());
        QCOMPARE(origin.path(), QString());
        QVERIFY(AISettings::needsAPIKey(type));
    }
    QCOMPARE(AISettings::keychainService(AIProviderType::openai), QString("namorix-OpenAI"));
}

void TestAISettings::storedProvider()
{
    DefaultsStore store;
    FileKeychain keychain(m_dir.filePath("stored.json"));
    store.setString("ai.provider", "ollama"); // raw values are case-sensitive
    QCOMPARE(AISettings(store, keychain).provider(), AIProviderType::claude);
    store.setString("ai.provider", "Gemini");
    QCOMPARE(AISettings(store, keychain).provider(), AIProviderType::gemini);
    AISettings(store, keychain).setProvider(AIProviderType::openai);
    QCOMPARE(store.stringValue("ai.provider"), QString("OpenAI"));
}

void TestAISettings::providersWithoutKey()
{
    DefaultsStore store;
    FileKeychain keychain(m_dir.filePath("nokey.json"));
    AISettings settings(store, keychain);
    settings.setProvider(AIProviderType::ollama);
    QCOMPARE(settings.effectiveEndpoint(), QString("http://127.0.0.1:11434"));
    QCOMPARE(settings.effectiveModel(), QString("llama3.2"));
    QCOMPARE(awaitTask(settings.isConfigured()), true);

    settings.setProvider(AIProviderType::apple);
    QCOMPARE(settings.effectiveModel(), QString("apple-on-device"));
    QCOMPARE(settings.effectiveEndpoint(), QString());
    QCOMPARE(awaitTask(settings.isConfigured()), true);

    // An empty key is stored, yet counts as none.
    settings.setProvider(AIProviderType::claude);
    awaitTask(settings.setApiKey(""));
    QCOMPARE(awaitTask(keychain.read("namorix-Claude", "default")), QString(""));
    QCOMPARE(awaitTask(settings.isConfigured()), false);
}

void TestAISettings::modelAndEndpointOutliveSwitch()
{
    DefaultsStore store;
    FileKeychain keychain(m_dir.filePath("switch.json"));
    AISettings settings(store, keychain);
    settings.setModel("  ");
    settings.setEndpoint("http://10.0.0.5:8080");
    settings.setProvider(AIProviderType::ollama);
    QCOMPARE(settings.effectiveModel(), QString("  "));
    QCOMPARE(settings.effectiveEndpoint(), QString("http://10.0.0.5:8080"));
    settings.setModel("");
    QCOMPARE(settings.effectiveModel(), QString("llama3.2"));
}

QTEST_GUILESS_MAIN(TestAISettings)
#include "tst_aisettings.moc"
