#include "aisettings.h"

#include "ai/keychainstore.h"
#include "ai/providercatalogue.h"
#include "common/processwide.h"
#include "common/stringtable.h"
#include "settings/defaultsstore.h"
#include "settings/writethrough.h"

#include <QLocale>
#include <QPointer>
#include <QUrl>

#include <algorithm>
#include <climits>

namespace {
const QString ProviderKey = QStringLiteral("ai.provider");
const QString Account = QStringLiteral("default");
const QString OwnDetailsKey = QStringLiteral("ai.ownDetails");
const QString LocalFirstKey = QStringLiteral("ai.localFirst");
// Written once the terms are accepted: a profile that has it is older than this version.
const QString LegalAcceptedKey = QStringLiteral("hasAcceptedLegal");

/**
 * The stored provider. A fresh profile starts on the device; a profile from before the on-device
 * namer that never chose a provider keeps the language model it has been using.
 */
AIProviderType initialProvider(const DefaultsStore &store)
{
    if (const std::optional<QString> stored = store.stringValue(ProviderKey))
        return enumFromRaw<AIProviderType>(*stored).value_or(AIProviderType::claude);
    return store.contains(LegalAcceptedKey) ? AIProviderType::claude : AIProviderType::local;
}

QString modelKey(AIProviderType type)
{
    return QStringLiteral("ai.model.") + rawValue(type).toLower();
}

QString endpointKey(AIProviderType type)
{
    return QStringLiteral("ai.endpoint.") + rawValue(type).toLower();
}

QString maskKey(AIProviderType type)
{
    return QStringLiteral("ai.mask.") + rawValue(type).toLower();
}

QString keyEndpointKey(AIProviderType type)
{
    return QStringLiteral("ai.keyEndpoint.") + rawValue(type).toLower();
}

/** An endpoint as compared for a key's binding: host in lower case, no trailing slash. */
QString comparable(const QString &endpoint)
{
    const QString trimmed = endpoint.trimmed();
    QUrl url(trimmed);
    if (!url.isValid() || url.host().isEmpty())
        return trimmed;
    QString path = url.path();
    while (path.endsWith(u'/'))
        path.chop(1);
    url.setPath(path);
    return url.toString();
}

// Earlier versions kept one model and endpoint for all providers; they belong to the provider
// that was selected when they were typed.
void moveFlatKeys(DefaultsStore &store, AIProviderType selected)
{
    const std::pair<QString, QString> moves[] = {{QStringLiteral("ai.model"), modelKey(selected)},
                                                 {QStringLiteral("ai.endpoint"), endpointKey(selected)}};
    for (const auto &[flat, perProvider] : moves) {
        if (!store.contains(flat))
            continue;
        if (const std::optional<QString> value = store.stringValue(flat))
            store.setString(perProvider, *value);
        store.remove(flat);
    }
}
} // namespace

AISettings::AISettings(DefaultsStore &store, KeychainStore &keychain, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_keychain(keychain)
    , m_provider(initialProvider(store))
{
    moveFlatKeys(store, m_provider);
}

AISettings &AISettings::shared()
{
    return processWide<AISettings>([] { return new AISettings(DefaultsStore::standard(), KeychainStore::shared()); });
}

bool AISettings::needsAPIKey(AIProviderType type)
{
    return ProviderCatalogue::facts(type).needsKey;
}

bool AISettings::isAvailable(AIProviderType type)
{
    return ProviderCatalogue::facts(type).available;
}

QString AISettings::defaultModel(AIProviderType type)
{
    return ProviderCatalogue::facts(type).defaultModel;
}

QString AISettings::defaultEndpoint(AIProviderType type)
{
    return ProviderCatalogue::facts(type).defaultEndpoint;
}

QString AISettings::keychainService(AIProviderType type)
{
    return QStringLiteral("namorix-") + rawValue(type);
}

QString AISettings::model() const
{
    return m_store.stringValue(modelKey(m_provider)).value_or(QString());
}

QString AISettings::endpoint() const
{
    return m_store.stringValue(endpointKey(m_provider)).value_or(QString());
}

void AISettings::setProvider(AIProviderType value)
{
    const AIProviderType before = m_provider;
    const QString modelBefore = model();
    const QString endpointBefore = endpoint();
    const bool maskBefore = maskPersonalData();
    m_provider = value;
    m_store.setString(ProviderKey, rawValue(value));
    if (value != before)
        Q_EMIT providerChanged();
    if (model() != modelBefore)
        Q_EMIT modelChanged();
    if (endpoint() != endpointBefore)
        Q_EMIT endpointChanged();
    if (maskPersonalData() != maskBefore)
        Q_EMIT maskPersonalDataChanged();
}

void AISettings::setModel(const QString &value)
{
    writeThrough(
        model(), value, [&] { m_store.setString(modelKey(m_provider), value); }, [&] { Q_EMIT modelChanged(); });
}

void AISettings::setEndpoint(const QString &value)
{
    writeThrough(
        endpoint(), value, [&] { m_store.setString(endpointKey(m_provider), value); },
        [&] { Q_EMIT endpointChanged(); });
}

bool AISettings::maskPersonalData() const
{
    // Text sent to a cloud service leaves the machine; a local model's request does not.
    const QString key = maskKey(m_provider);
    return m_store.contains(key) ? m_store.boolValue(key) : ProviderCatalogue::facts(m_provider).paidCloud;
}

void AISettings::setMaskPersonalData(bool value)
{
    writeThrough(
        maskPersonalData(), value, [&] { m_store.setBool(maskKey(m_provider), value); },
        [&] { Q_EMIT maskPersonalDataChanged(); });
}

bool AISettings::localFirst() const
{
    return m_store.boolValue(LocalFirstKey);
}

void AISettings::setLocalFirst(bool value)
{
    writeThrough(
        localFirst(), value, [&] { m_store.setBool(LocalFirstKey, value); }, [&] { Q_EMIT localFirstChanged(); });
}

QStringList AISettings::detailLines(const QStringList &lines)
{
    QStringList details;
    for (const QString &line : lines) {
        if (!line.trimmed().isEmpty())
            details << line.trimmed();
    }
    return details;
}

QStringList AISettings::ownDetails() const
{
    QStringList stored;
    for (const QVariant &entry : m_store.arrayValue(OwnDetailsKey).value_or(QVariantList()))
        stored << entry.toString();
    return detailLines(stored);
}

void AISettings::setOwnDetails(const QStringList &value)
{
    const QStringList details = detailLines(value);
    writeThrough(
        ownDetails(), details, [&] { m_store.setStringList(OwnDetailsKey, details); },
        [&] { Q_EMIT ownDetailsChanged(); });
}

QString AISettings::effectiveModel() const
{
    return effectiveModel(m_provider);
}

QString AISettings::effectiveModel(AIProviderType provider) const
{
    const QString value = m_store.stringValue(modelKey(provider)).value_or(QString());
    return value.isEmpty() ? defaultModel(provider) : value;
}

QString AISettings::effectiveEndpoint() const
{
    const QString value = endpoint();
    return value.isEmpty() ? defaultEndpoint(m_provider) : value;
}

QCoro::Task<QString> AISettings::storedKey(AIProviderType provider)
{
    if (const auto known = m_keys.constFind(provider); known != m_keys.cend())
        co_return *known;
    const quint64 setsBefore = m_keysSet.value(provider);
    // Arguments of a coroutine call inside co_await must be named: see docs/decisions.md.
    const QString service = keychainService(provider);
    const QPointer<AISettings> self(this);
    const std::optional<QString> stored = co_await m_keychain.read(service, Account);
    if (!self)
        co_return stored.value_or(QString());
    if (m_keysSet.value(provider) != setsBefore) // set while the keyring answered: that key is newer
        co_return m_keys.value(provider);
    if (stored)
        m_keys.insert(provider, *stored);
    co_return stored.value_or(QString());
}

QCoro::Task<QString> AISettings::apiKey()
{
    const AIProviderType provider = m_provider;
    const QPointer<AISettings> self(this);
    QCoro::Task<QString> lookup = storedKey(provider);
    const QString key = co_await std::move(lookup);
    // Judged after the lookup, as the endpoint may have changed while the keyring answered; the
    // caller resumes at once, so the endpoint it reads next is the one judged here.
    if (!self || !keyFitsEndpoint(provider))
        co_return QString();
    co_return key;
}

QCoro::Task<SecretPlacement> AISettings::setApiKey(QString key)
{
    const AIProviderType provider = m_provider;
    m_keys.insert(provider, key);
    const quint64 set = ++m_keysSet[provider];
    bindKey();
    Q_EMIT apiKeyChanged();
    const QString service = keychainService(provider);
    const QPointer<AISettings> self(this);
    QCoro::Task<SecretPlacement> saving = m_keychain.save(key, service, Account);
    const SecretPlacement placed = co_await std::move(saving);
    if (self && placed.place == SecretPlacement::Place::nowhere && m_keysSet.value(provider) == set) {
        m_keys.remove(provider);
        Q_EMIT apiKeyChanged();
    }
    co_return placed;
}

QString AISettings::keyEndpoint() const
{
    return m_store.stringValue(keyEndpointKey(m_provider)).value_or(defaultEndpoint(m_provider));
}

bool AISettings::keyFitsEndpoint(AIProviderType provider) const
{
    if (!needsAPIKey(provider))
        return true;
    const QString endpoint = m_store.stringValue(endpointKey(provider)).value_or(QString());
    const QString bound = m_store.stringValue(keyEndpointKey(provider)).value_or(defaultEndpoint(provider));
    return comparable(endpoint.isEmpty() ? defaultEndpoint(provider) : endpoint) == comparable(bound);
}

void AISettings::bindKey()
{
    if (needsAPIKey(m_provider))
        m_store.setString(keyEndpointKey(m_provider), effectiveEndpoint());
}

QCoro::Task<bool> AISettings::hasKeyForOtherEndpoint()
{
    const AIProviderType provider = m_provider;
    const QPointer<AISettings> self(this);
    QCoro::Task<QString> lookup = storedKey(provider);
    const QString key = co_await std::move(lookup);
    co_return self && !key.isEmpty() && !keyFitsEndpoint(provider);
}

void AISettings::confirmKeyForEndpoint()
{
    bindKey();
    Q_EMIT apiKeyChanged();
}

QCoro::Task<bool> AISettings::isConfigured()
{
    if (!needsAPIKey(m_provider))
        co_return true;
    QCoro::Task<QString> lookup = apiKey();
    const QString key = co_await std::move(lookup);
    co_return !key.isEmpty();
}
