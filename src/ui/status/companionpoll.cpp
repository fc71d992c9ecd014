#include "ui/status/companionpoll.h"

#include "companion/kvxclient.h"
#include "settings/appsettings.h"

#include <QPointer>

CompanionPoll::CompanionPoll(KVXClient &client, AppSettings &settings, QObject *parent)
    : QObject(parent)
    , m_client(client)
    , m_settings(settings)
{
    m_timer.setInterval(IntervalMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { poll(); });
    connect(&m_settings, &AppSettings::kvxEnabledChanged, this, [this] { poll(); });
}

void CompanionPoll::start()
{
    m_timer.start();
    poll();
}

QCoro::Task<> CompanionPoll::poll()
{
    if (m_polling)
        co_return;
    if (!m_settings.kvxEnabled()) {
        setAvailable(false);
        co_return;
    }
    m_polling = true;
    const QPointer<CompanionPoll> self(this);
    QCoro::Task<bool> asking = m_client.isAvailable();
    const bool available = co_await std::move(asking);
    if (!self)
        co_return;
    m_polling = false;
    setAvailable(available && m_settings.kvxEnabled());
}

void CompanionPoll::setAvailable(bool available)
{
    if (available == m_available)
        return;
    m_available = available;
    Q_EMIT availabilityChanged(available);
}
