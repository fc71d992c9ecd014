// Runs through with-session-bus.sh --keyring: a private bus and a throwaway, unlocked keyring.
#include "ai/aisettings.h"
#include "ai/secretservicekeychain.h"
#include "settings/defaultsstore.h"

#include "awaittask.h"

#include <QAbstractEventDispatcher>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <libsecret/secret.h>

namespace {

const SecretSchema &schema()
{
    static const SecretSchema s = [] {
        SecretSchema x{};
        x.name = "org.namorix.Credential";
        x.attributes[0] = {"service", SECRET_SCHEMA_ATTRIBUTE_STRING};
        x.attributes[1] = {"account", SECRET_SCHEMA_ATTRIBUTE_STRING};
        return x;
    }();
    return s;
}

// What the keyring itself holds, bypassing the store: labels and collections of the matching items.
QStringList itemsInKeyring(const char *service, const char *account)
{
    GError *error = nullptr;
    GList *items = secret_password_search_sync(&schema(), SECRET_SEARCH_ALL, nullptr, &error, "service", service,
                                               "account", account, nullptr);
    if (error)
        qFatal("search failed: %s", error->message);
    QStringList found;
    for (GList *i = items; i; i = i->next) {
        gchar *label = secret_retrievable_get_label(SECRET_RETRIEVABLE(i->data));
        const QString path = QString::fromUtf8(g_dbus_proxy_get_object_path(G_DBUS_PROXY(i->data)));
        found << QString::fromUtf8(label) + " @ " + path.section('/', 0, -2);
        g_free(label);
    }
    g_list_free_full(items, g_object_unref);
    return found;
}

} // namespace

class TestKeychainSecretService final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void callbacksOnTheGuiThread();
    void roundTrips();
    void foreignItems();
    void callsKeepTheirOrder();
    void aiSettingsKeys();
    void cleanupTestCase();

private:
    QTemporaryDir m_dir;
    QString m_fallback;
};

void TestKeychainSecretService::initTestCase()
{
    if (qgetenv("NAMORIX_PRIVATE_KEYRING") != "yes")
        QFAIL("run through with-session-bus.sh --keyring: this test writes to the keyring it finds");
    m_fallback = m_dir.filePath("credentials.json");
}

void TestKeychainSecretService::callbacksOnTheGuiThread()
{
    // Without glib in Qt's loop the store drives glib itself; either way it must not hang.
    const bool glib = QAbstractEventDispatcher::instance()->inherits("QEventDispatcherGlib");
    QCOMPARE(glib, qEnvironmentVariableIsEmpty("QT_NO_GLIB"));

    SecretServiceKeychain keychain(m_fallback);
    QThread *resumedOn = nullptr;
    auto probe = [&]() -> QCoro::Task<std::optional<QString>> {
        auto value = co_await keychain.read("thread-check", "default");
        resumedOn = QThread::currentThread();
        co_return value;
    };
    QCOMPARE(awaitTask(probe()), std::nullopt);
    QCOMPARE(resumedOn, QThread::currentThread());
    QCOMPARE(keychain.backend(), SecretServiceKeychain::Backend::secretService);
}

void TestKeychainSecretService::roundTrips()
{
    SecretServiceKeychain keychain(m_fallback);
    QCOMPARE(awaitTask(keychain.read("svc", "default")), std::nullopt);
    awaitTask(keychain.remove("svc", "default")); // nothing there: no error, nothing created

    awaitTask(keychain.save("first", "svc", "default"));
    awaitTask(keychain.save("other account", "svc", "second"));
    awaitTask(keychain.save("second", "svc", "default"));
    QCOMPARE(awaitTask(keychain.read("svc", "default")), QString("second"));
    QCOMPARE(awaitTask(keychain.read("svc", "second")), QString("other account"));
    QCOMPARE(itemsInKeyring("svc", "default"), QStringList{"Namorix: svc @ /org/freedesktop/secrets/collection/login"});

    const QString unicode = QString::fromUtf8("Schlüssel-ключ-🔑-") + QChar(0) + "-end";
    awaitTask(keychain.save(unicode, QString::fromUtf8("dienst-ü"), "default"));
    awaitTask(keychain.save("", "empty", "default"));

    SecretServiceKeychain fresh(m_fallback);
    QCOMPARE(awaitTask(fresh.read(QString::fromUtf8("dienst-ü"), "default")), unicode);
    QCOMPARE(awaitTask(fresh.read("empty", "default")), QString(""));
    awaitTask(fresh.remove("svc", "default"));
    QCOMPARE(awaitTask(fresh.read("svc", "default")), std::nullopt);
    QCOMPARE(awaitTask(fresh.read("svc", "second")), QString("other account"));
    QVERIFY(itemsInKeyring("svc", "default").isEmpty());
}

void TestKeychainSecretService::foreignItems()
{
    // Bytes another program left under our schema that are not UTF-8 read as no secret at all.
    SecretValue *value = secret_value_new("\xff\xfe bad", -1, "application/octet-stream");
    QVERIFY(secret_password_store_binary_sync(&schema(), SECRET_COLLECTION_DEFAULT, "foreign", value, nullptr, nullptr,
                                              "service", "foreign", "account", "default", nullptr));
    secret_value_unref(value);
    SecretServiceKeychain keychain(m_fallback);
    QCOMPARE(awaitTask(keychain.read("foreign", "default")), std::nullopt);
}

void TestKeychainSecretService::callsKeepTheirOrder()
{
    SecretServiceKeychain keychain(m_fallback);
    // Started together, finished in call order: the read sees the last save, the second read
    // the removal.
    auto a = keychain.save("one", "order", "default");
    auto b = keychain.save("two", "order", "default");
    auto c = keychain.read("order", "default");
    auto d = keychain.remove("order", "default");
    auto e = keychain.read("order", "default");
    QCOMPARE(awaitTask(std::move(c)), QString("two"));
    QCOMPARE(awaitTask(std::move(e)), std::nullopt);
}

void TestKeychainSecretService::aiSettingsKeys()
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
    QCOMPARE(keychain.backend(), SecretServiceKeychain::Backend::secretService);
    QCOMPARE(itemsInKeyring("namorix-OpenAI", "default"),
             QStringList{"Namorix: namorix-OpenAI @ /org/freedesktop/secrets/collection/login"});
}

void TestKeychainSecretService::cleanupTestCase()
{
    QVERIFY2(!QFile::exists(m_fallback), "a reachable keyring must never fall back to the file");
}

QTEST_GUILESS_MAIN(TestKeychainSecretService)
#include "tst_keychainsecretservice.moc"
