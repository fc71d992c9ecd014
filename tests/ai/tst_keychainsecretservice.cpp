// Runs through with-session-bus.sh --keyring: a private bus and a throwaway, unlocked keyring.
// CTest runs it twice, the second time with Qt's event loop running without glib.
#include "ai/aisettings.h"
#include "ai/filekeychain.h"
#include "ai/secretservicekeychain.h"
#include "settings/defaultsstore.h"

#include "awaittask.h"

#include <QtTest>

#define SECRET_API_SUBJECT_TO_CHANGE
#include <libsecret/secret.h>

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

    // A key per provider is AISettings' (tst_aisettings, tst_firststart); here it is kept in the keyring.
    void aiSettingsKeepTheKeyInTheKeyring()
    {
        DefaultsStore store;
        {
            SecretServiceKeychain keychain(m_fallback);
            AISettings settings(store, keychain);
            settings.setProvider(AIProviderType::openai);
            awaitTask(settings.setApiKey("sk-openai-1234"));
        }
        // Nothing cached: the key has to come from the keyring.
        SecretServiceKeychain keychain(m_fallback);
        AISettings settings(store, keychain);
        QCOMPARE(awaitTask(settings.apiKey()), QString("sk-openai-1234"));
        QCOMPARE(awaitTask(settings.isConfigured()), true);

        // Locked, and nobody can answer the unlock prompt on this bus (as if the user dismissed
        // it): no key now, but the next lookup asks again.
        setKeyringLocked(true);
        AISettings afterLock(store, keychain);
        QCOMPARE(awaitTask(afterLock.isConfigured(), 10000), false);
        setKeyringLocked(false);
        QCOMPARE(awaitTask(afterLock.apiKey()), QString("sk-openai-1234"));
    }

    void keySetDuringLookupIsNotOverwritten()
    {
        DefaultsStore store;
        SecretServiceKeychain keychain(m_fallback);
        awaitTask(keychain.save("sk-old", AISettings::keychainService(AIProviderType::claude), "default"));
        AISettings settings(store, keychain);
        settings.setProvider(AIProviderType::claude);
        auto lookup = settings.apiKey(); // pending: the keyring answers "sk-old" later
        auto set = settings.setApiKey("sk-new");
        QCOMPARE(awaitTask(std::move(lookup)), QString("sk-new"));
        awaitTask(std::move(set));
        QCOMPARE(awaitTask(settings.apiKey()), QString("sk-new"));
        QCOMPARE(awaitTask(keychain.read(AISettings::keychainService(AIProviderType::claude), "default")),
                 QString("sk-new"));
    }

    // Without a default collection the keyring refuses the key: it goes to the private file, says
    // why, and is found there after a restart; a key the keyring takes again leaves the file.
    void refusedKeyGoesToThePrivateFile()
    {
        const QString file = m_dir.filePath("refused/credentials.json");
        DefaultsStore store;
        setDefaultCollection(nullptr);
        {
            SecretServiceKeychain keychain(file);
            const SecretPlacement placed = awaitTask(AISettings(store, keychain).setApiKey("sk-refused"));
            QCOMPARE(placed.place, SecretPlacement::Place::privateFile);
            // The reason in words, not the bus's object paths.
            QVERIFY2(placed.notice.startsWith("Der Schlüsselbund hat den Schlüssel nicht angenommen (") &&
                         !placed.notice.contains("/org/freedesktop") && placed.notice.contains(file),
                     qPrintable(placed.notice));
        }
        SecretServiceKeychain keychain(file);
        AISettings settings(store, keychain);
        QCOMPARE(awaitTask(settings.apiKey()), "sk-refused"); // not the keyring's older "sk-new"
        setDefaultCollection("/org/freedesktop/secrets/collection/login");
        QCOMPARE(awaitTask(settings.setApiKey("sk-taken")).place, SecretPlacement::Place::keyring);
        QCOMPARE(awaitTask(FileKeychain(file).read("namorix-Claude", "default")), std::nullopt);
    }

    void cleanupTestCase() { QVERIFY2(!QFile::exists(m_fallback), "a reachable keyring must never use the file"); }

private:
    // Locks the default collection (gnome-keyring needs no prompt for that), or unlocks it with
    // its password through gnome-keyring's own interface, as no prompt can be shown here.
    static void setKeyringLocked(bool locked)
    {
        GError *error = nullptr;
        SecretService *service = secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION, nullptr, &error);
        QVERIFY2(service, error ? error->message : "");
        SecretCollection *collection = secret_collection_for_alias_sync(service, SECRET_COLLECTION_DEFAULT,
                                                                        SECRET_COLLECTION_NONE, nullptr, &error);
        QVERIFY2(collection, error ? error->message : "");
        if (locked) {
            GList *objects = g_list_append(nullptr, collection);
            QVERIFY(secret_service_lock_sync(service, objects, nullptr, nullptr, &error) == 1);
            g_list_free(objects);
            QVERIFY(secret_collection_get_locked(collection));
        } else {
            SecretValue *password = secret_value_new("throwaway", -1, "text/plain");
            GVariant *secret = secret_service_encode_dbus_secret(service, password);
            secret_value_unref(password);
            GVariant *reply = g_dbus_connection_call_sync(
                g_dbus_proxy_get_connection(G_DBUS_PROXY(service)), "org.freedesktop.secrets",
                "/org/freedesktop/secrets", "org.gnome.keyring.InternalUnsupportedGuiltRiddenInterface",
                "UnlockWithMasterPassword",
                g_variant_new("(o@(oayays))", g_dbus_proxy_get_object_path(G_DBUS_PROXY(collection)), secret), nullptr,
                G_DBUS_CALL_FLAGS_NONE, -1, nullptr, &error);
            QVERIFY2(reply, error ? error->message : "");
            g_variant_unref(reply);
        }
        g_object_unref(collection);
        g_object_unref(service);
    }

    static void setDefaultCollection(const char *path)
    {
        GError *error = nullptr;
        SecretService *service = secret_service_get_sync(SECRET_SERVICE_NONE, nullptr, &error);
        QVERIFY2(service && secret_service_set_alias_to_dbus_path_sync(service, "default", path, nullptr, &error),
                 error ? error->message : "");
        g_object_unref(service);
    }

    QTemporaryDir m_dir;
    const QString m_fallback = m_dir.filePath("credentials.json");
};

QTEST_GUILESS_MAIN(TestKeychainSecretService)
#include "tst_keychainsecretservice.moc"
