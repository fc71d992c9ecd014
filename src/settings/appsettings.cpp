#include "appsettings.h"

#include "settings/defaultsstore.h"
#include "settings/writethrough.h"

#include "common/processwide.h"

#include <QDir>
#include <QStandardPaths>

const QString AppSettings::Key::apiEnabled = QStringLiteral("api.enabled");
const QString AppSettings::Key::apiPort = QStringLiteral("api.port");
const QString AppSettings::Key::apiToken = QStringLiteral("api.token");
const QString AppSettings::Key::kvxEnabled = QStringLiteral("kvx.enabled");
const QString AppSettings::Key::kvxPort = QStringLiteral("kvx.port");
const QString AppSettings::Key::kvxToken = QStringLiteral("kvx.token");

AppSettings::AppSettings(DefaultsStore &store, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_apiEnabled(storedBool(store, Key::apiEnabled, true))
    , m_apiPort(storedPort(store, Key::apiPort, DefaultApiPort))
    , m_apiToken(store.stringValue(Key::apiToken).value_or(QString()))
    , m_kvxEnabled(storedBool(store, Key::kvxEnabled, true))
    , m_kvxPort(storedPort(store, Key::kvxPort, DefaultKvxPort))
    , m_kvxToken(store.stringValue(Key::kvxToken).value_or(QString()))
{
}

QString AppSettings::apiSocketPath()
{
    QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.isEmpty() || !QDir(runtime).exists())
        runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return QDir(runtime).filePath(QStringLiteral("namorix/api.sock"));
}

AppSettings &AppSettings::shared()
{
    return processWide<AppSettings>([] { return new AppSettings(DefaultsStore::standard()); });
}

bool AppSettings::storedBool(const DefaultsStore &store, const QString &key, bool fallback)
{
    return store.contains(key) ? store.boolValue(key) : fallback;
}

qint64 AppSettings::storedPort(const DefaultsStore &store, const QString &key, qint64 fallback)
{
    const qint64 value = store.integerValue(key);
    return value == 0 ? fallback : value;
}

template <typename T>
void AppSettings::assign(T &field, const T &value, const QString &key, void (AppSettings::*notify)())
{
    const auto store = [&] {
        field = value;
        if constexpr (std::is_same_v<T, bool>)
            m_store.setBool(key, value);
        else if constexpr (std::is_same_v<T, qint64>)
            m_store.setInteger(key, value);
        else
            m_store.setString(key, value);
    };
    writeThrough(field, value, store, [&] { Q_EMIT(this->*notify)(); });
}

void AppSettings::setApiEnabled(bool value)
{
    assign(m_apiEnabled, value, Key::apiEnabled, &AppSettings::apiEnabledChanged);
}
void AppSettings::setApiPort(qint64 value)
{
    assign(m_apiPort, value, Key::apiPort, &AppSettings::apiPortChanged);
}
void AppSettings::setApiToken(const QString &value)
{
    assign(m_apiToken, value, Key::apiToken, &AppSettings::apiTokenChanged);
}
void AppSettings::setKvxEnabled(bool value)
{
    assign(m_kvxEnabled, value, Key::kvxEnabled, &AppSettings::kvxEnabledChanged);
}
void AppSettings::setKvxPort(qint64 value)
{
    assign(m_kvxPort, value, Key::kvxPort, &AppSettings::kvxPortChanged);
}
void AppSettings::setKvxToken(const QString &value)
{
    assign(m_kvxToken, value, Key::kvxToken, &AppSettings::kvxTokenChanged);
}
