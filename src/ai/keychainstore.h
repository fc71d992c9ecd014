#pragma once

#include <QCoroTask>
#include <QString>

#include <optional>

/**
 * One secret per (service, account) in the user's Secret Service keyring (libsecret). Where no
 * Secret Service answers, a file readable only by the user (mode 0600) in the config folder.
 * All calls are asynchronous: a keyring may ask the user to unlock it.
 */
class KeychainStore
{
public:
    virtual ~KeychainStore() = default;

    static KeychainStore &shared();

    /** The secret, or nullopt when there is none or it cannot be read. */
    virtual QCoro::Task<std::optional<QString>> read(QString service, QString account) = 0;
    /** Replaces the secret; failures are silent (the previous one may be gone). */
    virtual QCoro::Task<> save(QString value, QString service, QString account) = 0;
    /** Removes the secret; a missing one is not an error. */
    virtual QCoro::Task<> remove(QString service, QString account) = 0;
};
