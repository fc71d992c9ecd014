#include "keychainstore.h"

#include "ai/filekeychain.h"
#include "ai/secretservicekeychain.h"

KeychainStore &KeychainStore::shared()
{
    // Never destroyed: calls may still be pending when the application quits.
    static auto *keychain = new SecretServiceKeychain(FileKeychain::standardFilePath());
    return *keychain;
}
