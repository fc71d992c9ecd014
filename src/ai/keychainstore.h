#pragma once

#include <QCoroTask>
#include <QString>

#include <optional>

/** Where a saved secret ended up. */
struct SecretPlacement {
    enum class Place {
        keyring,     // the store it was given to, and it reads back
        privateFile, // the private key file (mode 0600), because the keyring is missing or refused it
        nowhere,     // neither took it: it is lost after this run
    };
    Place place = Place::keyring;
    QString notice; ///< German, for the user: why not the keyring and where it went; empty for `keyring`
};

/**
 * One secret per (service, account) in the user's Secret Service keyring (libsecret). Where no
 * Secret Service answers, or it refuses a secret, a file readable only by the user (mode 0600)
 * in the config folder. All calls are asynchronous: a keyring may ask the user to unlock it.
 */
class KeychainStore
{
public:
    virtual ~KeychainStore() = default;

    static KeychainStore &shared();

    /** The secret, or nullopt when there is none or it cannot be read. */
    virtual QCoro::Task<std::optional<QString>> read(QString service, QString account) = 0;
    /** Replaces the secret and says where it went; `nowhere` may have lost the previous one. */
    virtual QCoro::Task<SecretPlacement> save(QString value, QString service, QString account) = 0;
    /** Removes the secret; a missing one is not an error. */
    virtual QCoro::Task<> remove(QString service, QString account) = 0;
};
