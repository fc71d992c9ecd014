#include "aisettings.h"

#include "ai/keychainstore.h"
#include "common/processwide.h"
#include "settings/defaultsstore.h"

namespace {
const QString ProviderKey = QStringLiteral("ai.provider");
const QString ModelKey = QStringLiteral("ai.model");
const QString EndpointKey = QStringLiteral("ai.endpoint");
const QString Account = QStringLiteral("default");
} // namespace

AISettings::AISettings(DefaultsStore &store, KeychainStore &keychain, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_keychain(keychain)
    , m_provider(enumFromRaw<AIProviderType>(store.stringValue(ProviderKey).value_or(QString())).value_or(AIProviderType::claude))
    , m_model(store.stringValue(ModelKey).value_or(QString()))
    , m_endpoint(store.stringValue(EndpointKey).value_or(QString()))
{
}

AISettings &AISettings::shared()
{
    return processWide<AISettings>([] { return new AISettings(DefaultsStore::standard(), KeychainStore::shared()); });
}

bool AISettings::needsAPIKey(AIProviderType type)
{
    return type == AIProviderType::claude || type == AIProviderType::openai || type == AIProviderType::gemini;
}

QString AISettings::defaultModel(AIProviderType type)
{
    switch (type) {
    case AIProviderType::claude: return QStringLiteral("claude-sonnet-4-20250514");
    case AIProviderType::openai: return QStringLiteral("gpt-4o");
    case AIProviderType::gemini: return QStringLiteral("gemini-2.0-flash");
    case AIProviderType::ollama: return QStringLiteral("llama3.2");
    case AIProviderType::apple: break;
    }
    return QStringLiteral("apple-on-device");
}

QString AISettings::defaultEndpoint(AIProviderType type)
{
    switch (type) {
    case AIProviderType::claude: return QStringLiteral("https://api.anthropic.com");
    case AIProviderType::openai: return QStringLiteral("https://api.openai.com");
    case AIProviderType::gemini: return QStringLiteral("https://generativelanguage.googleapis.com");
    case AIProviderType::ollama: return QStringLiteral("http://127.0.0.1:11434");
    case AIProviderType::apple: break;
    }
    return {};
}

QString AISettings::keychainService(AIProviderType type)
{
    return QStringLiteral("namorix-") + rawValue(type);
}

void AISettings::setProvider(AIProviderType value)
{
    const bool differs = value != m_provider;
    m_provider = value;
    m_store.setString(ProviderKey, rawValue(value));
    if (differs)
        Q_EMIT providerChanged();
}

void AISettings::setModel(const QString &value)
{
    const bool differs = value != m_model;
    m_model = value;
    m_store.setString(ModelKey, value);
    if (differs)
        Q_EMIT modelChanged();
}

void AISettings::setEndpoint(const QString &value)
{
    const bool differs = value != m_endpoint;
    m_endpoint = value;
    m_store.setString(EndpointKey, value);
    if (differs)
        Q_EMIT endpointChanged();
}

QString AISettings::effectiveModel() const
{
    return m_model.isEmpty() ? defaultModel(m_provider) : m_model;
}

QString AISettings::effectiveEndpoint() const
{
    return m_endpoint.isEmpty() ? defaultEndpoint(m_provider) : m_endpoint;
}

QCoro::Task<QString> AISettings::apiKey()
{
    const AIProviderType provider = m_provider;
    if (!m_keys.contains(provider)) {
        // Arguments of a coroutine call inside co_await must be named: see docs/decisions.md.
        const QString service = keychainService(provider);
        const std::optional<QString> stored = co_await m_keychain.read(service, Account);
        m_keys.insert(provider, stored.value_or(QString()));
    }
    co_return m_keys.value(provider);
}

QCoro::Task<> AISettings::setApiKey(QString key)
{
    const AIProviderType provider = m_provider;
    m_keys.insert(provider, key);
    Q_EMIT apiKeyChanged();
    const QString service = keychainService(provider);
    co_await m_keychain.save(key, service, Account);
}

QCoro::Task<bool> AISettings::isConfigured()
{
    if (!needsAPIKey(m_provider))
        co_return true;
    co_return !(co_await apiKey()).isEmpty();
}
