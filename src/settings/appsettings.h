#pragma once

#include <QObject>
#include <QString>

class DefaultsStore;

/**
 * Settings of the local REST API and of the Korvex companion client.
 *
 * Loaded once; every assignment writes through to the store at once (also an unchanged value),
 * and the change signals fire only on a real change. A stored port of 0 reads as the default,
 * so 0 can never be configured. Ports are not range-checked here: whoever opens or connects
 * to a port rejects one outside 1–65535.
 */
class AppSettings final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool apiEnabled READ apiEnabled WRITE setApiEnabled NOTIFY apiEnabledChanged)
    Q_PROPERTY(qint64 apiPort READ apiPort WRITE setApiPort NOTIFY apiPortChanged)
    Q_PROPERTY(QString apiToken READ apiToken WRITE setApiToken NOTIFY apiTokenChanged)
    Q_PROPERTY(bool kvxEnabled READ kvxEnabled WRITE setKvxEnabled NOTIFY kvxEnabledChanged)
    Q_PROPERTY(qint64 kvxPort READ kvxPort WRITE setKvxPort NOTIFY kvxPortChanged)
    Q_PROPERTY(QString kvxToken READ kvxToken WRITE setKvxToken NOTIFY kvxTokenChanged)

public:
    static constexpr qint64 DefaultApiPort = 43821;
    static constexpr qint64 DefaultKvxPort = 44477;

    struct Key {
        static const QString apiEnabled, apiPort, apiToken, kvxEnabled, kvxPort, kvxToken;
    };

    explicit AppSettings(DefaultsStore &store, QObject *parent = nullptr);
    Q_DISABLE_COPY_MOVE(AppSettings)

    /** The process-wide settings over DefaultsStore::standard(), created on first use. */
    static AppSettings &shared();

    /** How every reader of these keys interprets the store (the Korvex client reads it directly). */
    [[nodiscard]] static bool storedBool(const DefaultsStore &store, const QString &key, bool fallback);
    [[nodiscard]] static qint64 storedPort(const DefaultsStore &store, const QString &key, qint64 fallback);

    /** The API's Unix-domain socket: `$XDG_RUNTIME_DIR/namorix/api.sock` (Qt's private runtime folder without it). */
    [[nodiscard]] static QString apiSocketPath();

    bool apiEnabled() const { return m_apiEnabled; }
    qint64 apiPort() const { return m_apiPort; }
    QString apiToken() const { return m_apiToken; }
    bool kvxEnabled() const { return m_kvxEnabled; }
    qint64 kvxPort() const { return m_kvxPort; }
    QString kvxToken() const { return m_kvxToken; }

    void setApiEnabled(bool value);
    void setApiPort(qint64 value);
    void setApiToken(const QString &value);
    void setKvxEnabled(bool value);
    void setKvxPort(qint64 value);
    void setKvxToken(const QString &value);

Q_SIGNALS:
    void apiEnabledChanged();
    void apiPortChanged();
    void apiTokenChanged();
    void kvxEnabledChanged();
    void kvxPortChanged();
    void kvxTokenChanged();

private:
    template <typename T> void assign(T &field, const T &value, const QString &key, void (AppSettings::*notify)());

    DefaultsStore &m_store;
    bool m_apiEnabled = true;
    qint64 m_apiPort = DefaultApiPort;
    QString m_apiToken;
    bool m_kvxEnabled = true;
    qint64 m_kvxPort = DefaultKvxPort;
    QString m_kvxToken;
};
