// Runs through with-session-bus.sh --keyring: a private bus and a throwaway, unlocked keyring.
// CTest runs it twice, the second time with Qt's event loop running without glib.
#include "ai/aisettings.h"
#include "ai/secretservicekeychain.h"
#include "settings/defaultsstore.h"

#include "awaittask.h"

#include <QAbstractEventDispatcher>
#include <QTemporaryDir>
#include <QTest>

class TestKeychainSecretService final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (qgetenv("NAMORIX_PRIVATE_KEYRING") != "yes")
            QFAIL("run through with-session-bus.sh --keyring: this test writes to the keyring it finds");
        // Without glib in Qt's loop the store drives glib itself; either way no call may hang.
        const bool glib = QAbstractEventDispatcher::instance()->inherits("QEventDispatcherGlib");
        QCOMPARE(glib, qEnvironmentVariableIsEmpty("QT_NO_GLIB"));
    }

    void roundTrip()
    {
        const QString unicode = QString::fromUtf8("Schlüssel-ключ-🔑-") + QChar(0) + "-end";
        SecretServiceKeychain keychain(m_fallback);
        QCOMPARE(awaitTask(keychain.read("svc", "default")), std::nullopt);
        awaitTask(keychain.remove("svc", "default")); // nothing there: not an error
        awaitTask(keychain.save("first", "svc", "default"));
        awaitTask(keychain.save("other account", "svc", "second"));
        awaitTask(keychain.save(unicode, "svc", "default"));
        QCOMPARE(keychain.backend(), SecretServiceKeychain::Backend::secretService);

        SecretServiceKeychain fresh(m_fallback);
        QCOMPARE(awaitTask(fresh.read("svc", "default")), unicode);
        awaitTask(fresh.remove("svc", "default"));
        QCOMPARE(awaitTask(SecretServiceKeychain(m_fallback).read("svc", "default")), std::nullopt);
        QCOMPARE(awaitTask(SecretServiceKeychain(m_fallback).read("svc", "second")), QString("other account"));
    }

    void callsKeepTheirOrder()
    {
        // Started together, finished in call order: the read sees the last save, the second read the removal.
        SecretServiceKeychain keychain(m_fallback);
        auto a = keychain.save("one", "order", "default");
        auto b = keychain.save("two", "order", "default");
        auto c = keychain.read("order", "default");
        auto d = keychain.remove("order", "default");
        auto e = keychain.read("order", "default");
        QCOMPARE(awaitTask(std::move(c)), QString("two"));
        QCOMPARE(awaitTask(std::move(e)), std::nullopt);
    }

    void aiSettingsKeepsAKeyPerProvider()
    {
        DefaultsStore store;
        {
            SecretServiceKeychain keychain(m_fallback);
            AISettings settings(store, keychain);
            settings.setProvider(AIProviderType::openai);
            awaitTask(settings.setApiKey("sk-openai-1234"));
            settings.setProvider(AIProviderType::gemini);
            QCOMPARE(awaitTask(settings.apiKey()), QString());
            QCOMPARE(awaitTask(settings.isConfigured()), false);
            settings.setProvider(AIProviderType::openai);
            QCOMPARE(awaitTask(settings.apiKey()), QString("sk-openai-1234"));
        }
        // Nothing cached: the key has to come from the keyring.
        SecretServiceKeychain keychain(m_fallback);
        AISettings settings(store, keychain);
        QCOMPARE(settings.provider(), AIProviderType::openai);
        QCOMPARE(awaitTask(settings.apiKey()), QString("sk-openai-1234"));
        QCOMPARE(awaitTask(settings.isConfigured()), true);
    }

    void cleanupTestCase() { QVERIFY2(!QFile::exists(m_fallback), "a reachable keyring must never use the file"); }

private:
    QTemporaryDir m_dir;
    const QString m_fallback = m_dir.filePath("credentials.json");
};

QTEST_GUILESS_MAIN(TestKeychainSecretService)
#include "tst_keychainsecretservice.moc"
