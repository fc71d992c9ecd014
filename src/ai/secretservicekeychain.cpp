#include "secretservicekeychain.h"

#include "ai/ailog.h"
#include "ai/filekeychain.h"
#include "common/strictutf8.h"
#include "common/stringtable.h"

#include <QAbstractEventDispatcher>
#include <QStringDecoder>
#include <QThread>
#include <QTimer>

#include <atomic>

#include <libsecret/secret.h>

namespace {

const SecretSchema &credentialSchema()
{
    static const SecretSchema schema = [] {
        SecretSchema s{};
        s.name = "org.namorix.Credential";
        s.flags = SECRET_SCHEMA_NONE;
        s.attributes[0] = {"service", SECRET_SCHEMA_ATTRIBUTE_STRING};
        s.attributes[1] = {"account", SECRET_SCHEMA_ATTRIBUTE_STRING};
        return s;
    }();
    return schema;
}

// Qt's event loop runs the default glib main context, where libsecret delivers its callbacks,
// unless Qt was started without glib (QT_NO_GLIB); then this timer runs that context while a
// call is pending.
class GlibPump final
{
public:
    static bool needed()
    {
        const QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance(QThread::currentThread());
        return !dispatcher || !dispatcher->inherits("QEventDispatcherGlib");
    }
    static void hold()
    {
        if (s_pending++ == 0)
            timer().start();
    }
    static void release()
    {
        if (--s_pending == 0)
            timer().stop();
    }

private:
    static QTimer &timer()
    {
        static QTimer *timer = [] {
            auto *t = new QTimer;
            t->setInterval(5);
            QObject::connect(t, &QTimer::timeout, [] {
                for (int i = 0; i < 16 && g_main_context_iteration(nullptr, FALSE); ++i) {
                }
            });
            return t;
        }();
        return *timer;
    }
    static inline int s_pending = 0;
};

struct ObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
using AsyncResult = std::unique_ptr<GAsyncResult, ObjectUnref>;

// One GIO-style asynchronous call: `start(callback, data)` begins it, and co_await yields the
// GAsyncResult for the matching _finish function once the callback has come.
template <typename Start> class GAsyncCall final
{
public:
    explicit GAsyncCall(Start start)
        : m_start(std::move(start))
    {
    }

    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> waiting)
    {
        m_waiting = waiting;
        m_pumped = GlibPump::needed();
        if (m_pumped)
            GlibPump::hold();
        m_start(&GAsyncCall::finished, this);
    }
    AsyncResult await_resume() noexcept { return std::move(m_result); }

private:
    static void finished(GObject *, GAsyncResult *result, gpointer data)
    {
        auto *call = static_cast<GAsyncCall *>(data);
        call->m_result.reset(G_ASYNC_RESULT(g_object_ref(result)));
        if (call->m_pumped)
            GlibPump::release();
        call->m_waiting.resume();
    }

    Start m_start;
    std::coroutine_handle<> m_waiting;
    AsyncResult m_result;
    bool m_pumped = false;
};

// The bus itself says nobody provides the Secret Service or it could not be started. Errors the
// service returns (locked, dismissed, no such object) are not among these.
bool serviceMissing(const GError *error)
{
    if (!error || error->domain != G_DBUS_ERROR)
        return false;
    switch (error->code) {
    case G_DBUS_ERROR_SERVICE_UNKNOWN:
    case G_DBUS_ERROR_NAME_HAS_NO_OWNER:
    case G_DBUS_ERROR_NO_SERVER:
    case G_DBUS_ERROR_SPAWN_EXEC_FAILED:
    case G_DBUS_ERROR_SPAWN_FORK_FAILED:
    case G_DBUS_ERROR_SPAWN_CHILD_EXITED:
    case G_DBUS_ERROR_SPAWN_CHILD_SIGNALED:
    case G_DBUS_ERROR_SPAWN_FAILED:
    case G_DBUS_ERROR_SPAWN_SETUP_FAILED:
    case G_DBUS_ERROR_SPAWN_CONFIG_INVALID:
    case G_DBUS_ERROR_SPAWN_SERVICE_INVALID:
    case G_DBUS_ERROR_SPAWN_SERVICE_NOT_FOUND:
    case G_DBUS_ERROR_SPAWN_PERMISSIONS_INVALID:
    case G_DBUS_ERROR_SPAWN_FILE_INVALID:
    case G_DBUS_ERROR_SPAWN_NO_MEMORY:
        return true;
    default:
        return false;
    }
}

// Logs and frees the error of a finished call, keeping its message in `message` if given; says
// whether it means there is no Secret Service.
bool takeError(GError *error, const char *action, const QByteArray &service, QString *message = nullptr)
{
    if (!error)
        return false;
    const bool missing = serviceMissing(error);
    qCDebug(lcAI, "%s %s failed: %s", action, service.constData(), error->message);
    // The service's own words are D-Bus paths and English: the user is told what they mean.
    if (message) {
        const bool cancelled = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED) ||
                               QByteArrayView(error->message).contains("dismissed");
        const bool noCollection = QByteArrayView(error->message).contains("/org/freedesktop/secrets/collection");
        *message = StringTable::text(cancelled      ? "keychain.cancelled"
                                     : noCollection ? "keychain.noCollection"
                                                    : "keychain.locked");
    }
    g_error_free(error);
    return missing;
}

std::optional<QString> decodeUtf8(const char *data, gsize length)
{
    return strictUtf8(QByteArrayView(data, qsizetype(length)));
}

} // namespace

SecretServiceKeychain::SecretServiceKeychain(QString fallbackFilePath)
    : m_fallbackFilePath(std::move(fallbackFilePath))
{
}

SecretServiceKeychain::~SecretServiceKeychain() = default;

SecretServiceKeychain::Turn::~Turn()
{
    if (m_owner)
        m_owner->passTurn();
}

bool SecretServiceKeychain::TurnAwaiter::await_ready() noexcept
{
    if (owner.m_busy)
        return false;
    owner.m_busy = true;
    return true;
}

void SecretServiceKeychain::passTurn()
{
    if (m_waiting.empty()) {
        m_busy = false;
        return;
    }
    const std::coroutine_handle<> next = m_waiting.front();
    m_waiting.pop_front();
    next.resume();
}

QCoro::Task<bool> SecretServiceKeychain::usesFile()
{
    if (m_backend == Backend::undecided) {
        GAsyncCall call(
            [](GAsyncReadyCallback done, gpointer data) { g_bus_get(G_BUS_TYPE_SESSION, nullptr, done, data); });
        const AsyncResult result = co_await std::move(call);
        GError *error = nullptr;
        if (GDBusConnection *bus = g_bus_get_finish(result.get(), &error)) {
            // The shared connection would otherwise raise SIGTERM when the session bus goes away.
            g_dbus_connection_set_exit_on_close(bus, FALSE);
            g_object_unref(bus);
        } else {
            qCDebug(lcAI, "no session bus: %s", error->message);
            g_error_free(error);
            switchToFile();
        }
    }
    co_return m_backend == Backend::file;
}

bool SecretServiceKeychain::settle(bool serviceMissing)
{
    if (m_backend == Backend::undecided) {
        if (serviceMissing)
            switchToFile();
        else
            m_backend = Backend::secretService;
    }
    return m_backend == Backend::file;
}

FileKeychain &SecretServiceKeychain::file()
{
    if (!m_file)
        m_file = std::make_unique<FileKeychain>(m_fallbackFilePath);
    return *m_file;
}

void SecretServiceKeychain::switchToFile()
{
    m_backend = Backend::file;
    static std::atomic_flag announced;
    if (!announced.test_and_set())
        qCWarning(lcAI, "no Secret Service reachable: API keys are stored in %s (readable by this account only)",
                  qUtf8Printable(m_fallbackFilePath));
}

QCoro::Task<SecretServiceKeychain::Lookup> SecretServiceKeychain::lookup(QByteArray service, QByteArray account)
{
    GAsyncCall call([&](GAsyncReadyCallback done, gpointer data) {
        secret_password_lookup(&credentialSchema(), nullptr, done, data, "service", service.constData(), "account",
                               account.constData(), nullptr);
    });
    const AsyncResult result = co_await std::move(call);
    GError *error = nullptr;
    SecretValue *value = secret_password_lookup_binary_finish(result.get(), &error);
    Lookup found{std::nullopt, takeError(error, "lookup of", service)};
    if (value) {
        gsize length = 0;
        const char *data = secret_value_get(value, &length);
        found.value = decodeUtf8(data, length);
        secret_value_unref(value);
    }
    co_return found;
}

QCoro::Task<SecretPlacement> SecretServiceKeychain::saveInFile(QString value, QString service, QString account,
                                                               QString cause)
{
    QCoro::Task<SecretPlacement> saving = file().save(value, service, account);
    SecretPlacement placed = co_await std::move(saving);
    placed.notice = cause + u' ' +
                    (placed.place == SecretPlacement::Place::privateFile
                         ? StringTable::text("keychain.inPrivateFile").arg(m_fallbackFilePath)
                         : placed.notice);
    co_return placed;
}

QCoro::Task<std::optional<QString>> SecretServiceKeychain::read(QString service, QString account)
{
    const Turn turn = co_await nextTurn();
    if (co_await usesFile())
        co_return co_await file().read(service, account);

    // The file holds only keys the keyring refused (one it takes leaves the file): its copy is
    // newer than any the keyring still has.
    if (std::optional<QString> refused = co_await file().read(service, account))
        co_return refused;
    QCoro::Task<Lookup> asking = lookup(service.toUtf8(), account.toUtf8());
    const Lookup found = co_await std::move(asking);
    settle(found.serviceMissing);
    co_return found.value;
}

QCoro::Task<SecretPlacement> SecretServiceKeychain::save(QString value, QString service, QString account)
{
    const Turn turn = co_await nextTurn();
    if (co_await usesFile()) {
        QCoro::Task<SecretPlacement> saving =
            saveInFile(value, service, account, StringTable::text("keychain.noService"));
        co_return co_await std::move(saving);
    }

    const QByteArray serviceUtf8 = service.toUtf8();
    const QByteArray accountUtf8 = account.toUtf8();
    const QByteArray label = QByteArrayLiteral("Namorix: ") + serviceUtf8;
    GAsyncCall call([&](GAsyncReadyCallback done, gpointer data) {
        const QByteArray bytes = value.toUtf8();
        SecretValue *secret = secret_value_new(bytes.constData(), bytes.size(), "text/plain");
        // The service replaces an item with the same attributes, so there is never a second one.
        secret_password_store_binary(&credentialSchema(), SECRET_COLLECTION_DEFAULT, label.constData(), secret, nullptr,
                                     done, data, "service", serviceUtf8.constData(), "account", accountUtf8.constData(),
                                     nullptr);
        secret_value_unref(secret);
    });
    const AsyncResult result = co_await std::move(call);
    GError *error = nullptr;
    secret_password_store_finish(result.get(), &error);
    QString refusal;
    if (settle(takeError(error, "storing", serviceUtf8, &refusal))) {
        QCoro::Task<SecretPlacement> saving =
            saveInFile(value, service, account, StringTable::text("keychain.noService"));
        co_return co_await std::move(saving);
    }
    if (refusal.isEmpty()) {
        // A keyring that says yes and gives back nothing (no default collection, a read-only
        // backend) would lose the key by the next run.
        QCoro::Task<Lookup> asking = lookup(serviceUtf8, accountUtf8);
        const Lookup back = co_await std::move(asking);
        if (back.value == value) {
            // A copy the keyring once refused would come back if the keyring is locked later.
            QCoro::Task<> forgetting = file().remove(service, account);
            co_await std::move(forgetting);
            co_return SecretPlacement{};
        }
        refusal = StringTable::text("keychain.notReadBack");
    }
    QCoro::Task<SecretPlacement> saving =
        saveInFile(value, service, account, StringTable::text("keychain.refused").arg(refusal));
    co_return co_await std::move(saving);
}

QCoro::Task<> SecretServiceKeychain::remove(QString service, QString account)
{
    const Turn turn = co_await nextTurn();
    if (co_await usesFile())
        co_return co_await file().remove(service, account);

    const QByteArray serviceUtf8 = service.toUtf8();
    const QByteArray accountUtf8 = account.toUtf8();
    GAsyncCall call([&](GAsyncReadyCallback done, gpointer data) {
        secret_password_clear(&credentialSchema(), nullptr, done, data, "service", serviceUtf8.constData(), "account",
                              accountUtf8.constData(), nullptr);
    });
    const AsyncResult result = co_await std::move(call);
    GError *error = nullptr;
    secret_password_clear_finish(result.get(), &error); // false without an error: there was none
    settle(takeError(error, "removing", serviceUtf8));
    // The file may hold a copy the keyring refused, or all of them when it took over.
    co_await file().remove(service, account);
}
