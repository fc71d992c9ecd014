#pragma once

#include "ai/aiprovidertype.h"
#include "ai/keychainstore.h" // every caller of setApiKey needs the whole placement

#include <QCoroTask>
#include <QObject>
#include <QString>
#include <QStringList>

class DefaultsStore;

/**
 * Which provider is asked ("ai.provider"), with which model and at which address. Each provider
 * keeps its own model and endpoint ("ai.model.<provider>", "ai.endpoint.<provider>", e.g.
 * "ai.endpoint.openai"), so a key never goes to the address typed for another provider; model(),
 * endpoint() and their setters act on the selected provider. The flat "ai.model" and
 * "ai.endpoint" of earlier versions are moved once to the provider selected at that time. The
 * API key of each provider lives in the credential store. Whether personal data is masked before
 * a request leaves the machine is kept per provider too ("ai.mask.<provider>"; on by default for
 * the cloud providers, off for the local Ollama); the user's own details ("ai.ownDetails") are one
 * list for all. Empty model or endpoint means the
 * provider's default. Writes go through to the store at once; the change signals fire only on
 * a real change (switching the provider also signals a model or endpoint that changes with it).
 * Lives on the GUI thread.
 * What the providers were asked and what that cost is the UsageLedger's.
 *
 * A key is bound to the endpoint it was entered for ("ai.keyEndpoint.<provider>"; a key stored
 * before bindings existed counts as entered for the provider's default endpoint). While the
 * provider's effective endpoint is another one, apiKey() is empty and the provider is not
 * configured, so a changed endpoint never receives the key until it is entered again or
 * confirmed for the new address.
 *
 * Keys are looked up asynchronously (a keyring may have to ask the user to unlock it), so no
 * read or write ever blocks the GUI thread. A key found or set is kept in memory; a lookup that
 * found nothing (no key, a locked keyring, a dismissed unlock) is not, so the next one asks
 * again. A key set while a lookup is pending wins over that lookup's older answer. A key no
 * store could keep is dropped from memory as well: the provider is configured only with a key
 * that will still be there after a restart.
 */
class AISettings final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(AIProviderType provider READ provider WRITE setProvider NOTIFY providerChanged)
    Q_PROPERTY(QString model READ model WRITE setModel NOTIFY modelChanged)
    Q_PROPERTY(QString endpoint READ endpoint WRITE setEndpoint NOTIFY endpointChanged)
    Q_PROPERTY(bool maskPersonalData READ maskPersonalData WRITE setMaskPersonalData NOTIFY maskPersonalDataChanged)
    Q_PROPERTY(QStringList ownDetails READ ownDetails WRITE setOwnDetails NOTIFY ownDetailsChanged)
    Q_PROPERTY(bool localFirst READ localFirst WRITE setLocalFirst NOTIFY localFirstChanged)

public:
    AISettings(DefaultsStore &store, KeychainStore &keychain, QObject *parent = nullptr);
    Q_DISABLE_COPY_MOVE(AISettings)

    static AISettings &shared();

    [[nodiscard]] static bool needsAPIKey(AIProviderType type);
    /** Whether the provider can run here at all: the on-device model of another platform cannot. */
    [[nodiscard]] static bool isAvailable(AIProviderType type);
    [[nodiscard]] static QString defaultModel(AIProviderType type);
    /** The provider's public API origin (no path, no trailing slash); empty for `local` and `apple`. */
    [[nodiscard]] static QString defaultEndpoint(AIProviderType type);
    /** "namorix-" + the provider's raw value: the credential store's service name. */
    [[nodiscard]] static QString keychainService(AIProviderType type);

    AIProviderType provider() const { return m_provider; }
    QString model() const;
    QString endpoint() const;
    void setProvider(AIProviderType value);
    void setModel(const QString &value);
    void setEndpoint(const QString &value);

    /** Whether the selected provider is sent the text with personal data masked. */
    [[nodiscard]] bool maskPersonalData() const;
    void setMaskPersonalData(bool value);
    /**
     * Whether a language model is asked only for files the on-device namer is unsure of ("ai.localFirst",
     * off by default): an e-invoice or a known sender with date and total is named without a request.
     */
    [[nodiscard]] bool localFirst() const;
    void setLocalFirst(bool value);
    /** The user's names and address lines that are masked in every text. */
    [[nodiscard]] QStringList ownDetails() const;
    /** Stores detailLines(value). */
    void setOwnDetails(const QStringList &value);
    /** `lines` trimmed, blank ones dropped: the own details as kept. */
    [[nodiscard]] static QStringList detailLines(const QStringList &lines);

    [[nodiscard]] QString effectiveModel() const;
    /** The model `provider` asks with: its own choice or its default. */
    [[nodiscard]] QString effectiveModel(AIProviderType provider) const;
    [[nodiscard]] QString effectiveEndpoint() const;

    /** The current provider's key; empty when none is stored or it was entered for another endpoint. */
    QCoro::Task<QString> apiKey();
    /**
     * Stores `key` for the current provider, bound to its effective endpoint (an empty key is
     * stored as empty), and says where it went: the keyring, the private key file (with the
     * reason) or nowhere (with the reason; the key is then forgotten).
     */
    QCoro::Task<SecretPlacement> setApiKey(QString key);
    /** The endpoint the current provider's key was entered for. */
    [[nodiscard]] QString keyEndpoint() const;
    /** Whether the current provider has a stored key that was entered for another endpoint. */
    QCoro::Task<bool> hasKeyForOtherEndpoint();
    /** Binds the current provider's stored key to its effective endpoint: the user confirmed it. */
    void confirmKeyForEndpoint();
    /** A key for providers that need one; always true for the others. */
    QCoro::Task<bool> isConfigured();

Q_SIGNALS:
    void providerChanged();
    void modelChanged();
    void endpointChanged();
    void maskPersonalDataChanged();
    void ownDetailsChanged();
    void localFirstChanged();
    void apiKeyChanged();

private:
    /** The key as stored, whatever endpoint it was entered for. */
    QCoro::Task<QString> storedKey(AIProviderType provider);
    [[nodiscard]] bool keyFitsEndpoint(AIProviderType provider) const;
    /** Binds the current provider's key to its effective endpoint. */
    void bindKey();

    DefaultsStore &m_store;
    KeychainStore &m_keychain;
    AIProviderType m_provider = AIProviderType::claude;
    QHash<AIProviderType, QString> m_keys;    ///< keys found or set so far
    QHash<AIProviderType, quint64> m_keysSet; ///< how often each key was set: a newer set wins
};
