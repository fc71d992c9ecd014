#pragma once

#include <QDBusConnection>
#include <QString>

/**
 * Posts immediate desktop notifications through org.freedesktop.Notifications on the session
 * bus, with the default message sound. Fire and forget: without a bus or a notification service
 * nothing is shown and nothing fails.
 */
class DesktopNotifier final
{
public:
    /** On the session bus. */
    DesktopNotifier();
    explicit DesktopNotifier(QDBusConnection connection);

    void post(const QString &title, const QString &body);

private:
    QDBusConnection m_connection;
};
