#pragma once

#include <QCoroTask>
#include <QObject>
#include <QTimer>

class AppSettings;
class KVXClient;

/**
 * Asks every 30 seconds whether Korvex is reachable (a disabled companion counts as not). The
 * client answers asynchronously with short time-outs, so a hung Korvex never stalls the window;
 * a poll still in flight is never doubled.
 */
class CompanionPoll final : public QObject
{
    Q_OBJECT

public:
    static constexpr int IntervalMs = 30 * 1000;

    CompanionPoll(KVXClient &client, AppSettings &settings, QObject *parent = nullptr);

    [[nodiscard]] bool isAvailable() const { return m_available; }
    /** Polls now (when no poll is running) and then every interval. */
    void start();

Q_SIGNALS:
    void availabilityChanged(bool available);

private:
    QCoro::Task<> poll();
    void setAvailable(bool available);

    KVXClient &m_client;
    AppSettings &m_settings;
    QTimer m_timer;
    bool m_available = false;
    bool m_polling = false;
};
