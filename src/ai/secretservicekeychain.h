#pragma once

#include "ai/keychainstore.h"

#include <QString>

#include <coroutine>
#include <deque>
#include <memory>
#include <optional>
#include <utility>

class FileKeychain;

/**
 * The user's keyring through the Secret Service API (libsecret): one item per (service, account)
 * with the schema "org.namorix.Credential" and the attributes "service" and "account", labelled
 * "Namorix: <service>", in the default collection. Use it from the GUI thread only: libsecret's
 * callbacks arrive through that thread's glib main context, which Qt's event loop runs (a timer
 * drives it while a call is pending if Qt runs without glib). Calls run one at a time in call
 * order, so a read sees every earlier save. The object must outlive the calls made on it.
 *
 * Whether a Secret Service is there is decided once per run, by the first call: when the session
 * bus cannot be reached (no address, dead socket), or the bus answers that nobody owns
 * org.freedesktop.secrets and nothing can be started for it (ServiceUnknown, NameHasNoOwner, a
 * failed activation), the FileKeychain at `fallbackFilePath` takes over for the rest of the run,
 * and one German line on stderr (once per process) says where keys go.
 *
 * With a Secret Service, a save must read back: a keyring that refuses the item (no default
 * collection, locked, a dismissed prompt) or stores it but cannot give it back leaves it to the
 * file, and the placement says why. A key the keyring takes is removed from the file, so a key
 * in the file is always newer than the keyring's: a read asks the file first, then the keyring.
 * A failed lookup looks like a missing secret. Error messages are logged under "namorix.ai" at debug
 * level only; they never hold secrets.
 */
class SecretServiceKeychain final : public KeychainStore
{
public:
    enum class Backend { undecided, secretService, file };

    explicit SecretServiceKeychain(QString fallbackFilePath);
    ~SecretServiceKeychain() override;
    Q_DISABLE_COPY_MOVE(SecretServiceKeychain)

    /** Whether a Secret Service serves this run; `undecided` until the first call has finished deciding. */
    [[nodiscard]] Backend backend() const { return m_backend; }

    QCoro::Task<std::optional<QString>> read(QString service, QString account) override;
    QCoro::Task<SecretPlacement> save(QString value, QString service, QString account) override;
    QCoro::Task<> remove(QString service, QString account) override;

private:
    // Admits one call at a time, in arrival order; the pass lets the next one in when dropped.
    class Turn final
    {
    public:
        explicit Turn(SecretServiceKeychain *owner)
            : m_owner(owner)
        {
        }
        Turn(Turn &&other) noexcept
            : m_owner(std::exchange(other.m_owner, nullptr))
        {
        }
        Turn &operator=(Turn &&) = delete;
        ~Turn();

    private:
        SecretServiceKeychain *m_owner;
    };
    struct TurnAwaiter {
        SecretServiceKeychain &owner;
        bool await_ready() noexcept;
        void await_suspend(std::coroutine_handle<> waiting) { owner.m_waiting.push_back(waiting); }
        Turn await_resume() noexcept { return Turn(&owner); }
    };
    TurnAwaiter nextTurn() { return TurnAwaiter{*this}; }
    void passTurn();

    struct Lookup {
        std::optional<QString> value;
        bool serviceMissing = false;
    };

    // Settles the backend if undecided by reaching the bus; true when the file is in use.
    QCoro::Task<bool> usesFile();
    void switchToFile();
    // Settles the backend after a keyring call has answered; true when the file takes over.
    bool settle(bool serviceMissing);
    FileKeychain &file();
    QCoro::Task<Lookup> lookup(QByteArray service, QByteArray account);
    // Saves in the file; the notice starts with `cause`, why the keyring did not take it.
    QCoro::Task<SecretPlacement> saveInFile(QString value, QString service, QString account, QString cause);

    const QString m_fallbackFilePath;
    Backend m_backend = Backend::undecided;
    std::unique_ptr<FileKeychain> m_file;
    bool m_busy = false;
    std::deque<std::coroutine_handle<>> m_waiting;
};
