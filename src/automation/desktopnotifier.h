#pragma once

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

/**
 * Posts immediate desktop notifications through org.freedesktop.Notifications on the session
 * bus, with the default message sound, optionally with one action button (say "Rückgängig")
 * whose function runs when the user presses it. Fire and forget: without a bus or a notification
 * service nothing is shown and nothing fails.
 */
class DesktopNotifier final : public QObject
{
    Q_OBJECT

public:
    struct Action {
        QString label;
        std::function<void()> run;
    };

    /** On the session bus. */
    DesktopNotifier();
    explicit DesktopNotifier(QDBusConnection connection);

    void post(const QString &title, const QString &body, const std::optional<Action> &action = std::nullopt);

private Q_SLOTS:
    void actionInvoked(uint id, const QString &key);
    void closed(uint id);

private:
    QDBusConnection m_connection;
    QHash<uint, std::function<void()>> m_actions; ///< by notification id, until it is closed
};
