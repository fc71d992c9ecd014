#pragma once

#include <QDBusConnection>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>

/**
 * Posts immediate desktop notifications through org.freedesktop.Notifications on the session
 * bus, with the default message sound, optionally with action buttons (say "Rückgängig" and
 * "Anzeigen"), each running its function when the user presses it, once, until the notification
 * closes. Fire and forget: without a bus or a notification service nothing is shown and nothing
 * fails.
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

    /** The buttons in the order given. */
    void post(const QString &title, const QString &body, const QList<Action> &actions = {});

private Q_SLOTS:
    void actionInvoked(uint id, const QString &key);
    void closed(uint id);

private:
    QDBusConnection m_connection;
    /** By notification id, until it is closed; each by its action key. */
    QHash<uint, QHash<QString, std::function<void()>>> m_actions;
};
