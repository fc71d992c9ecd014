#pragma once

#include "ai/keychainstore.h"

#include <QHash>

#include <functional>

/** Secrets for one test, in memory: for tests about something other than the keyring. */
class MemoryKeychain final : public KeychainStore
{
public:
    QCoro::Task<std::optional<QString>> read(QString service, QString account) override
    {
        const QString key = service + u'\n' + account;
        co_return m_secrets.contains(key) ? std::optional<QString>(m_secrets.value(key)) : std::nullopt;
    }
    QCoro::Task<SecretPlacement> save(QString value, QString service, QString account) override
    {
        ++saves;
        if (onSave)
            onSave(); // a keyring that asks for its password here takes the focus
        m_secrets.insert(service + u'\n' + account, value);
        co_return SecretPlacement{};
    }

    int saves = 0;
    std::function<void()> onSave;
    QCoro::Task<> remove(QString service, QString account) override
    {
        m_secrets.remove(service + u'\n' + account);
        co_return;
    }

private:
    QHash<QString, QString> m_secrets;
};
