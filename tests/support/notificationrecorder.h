#pragma once

#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

/** Stands in for the desktop's notification daemon on a private bus and records every call. */
class NotificationRecorder final : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Call {
        QString appName, title, body;
        QStringList actions;
        QVariantMap hints;
    };
    QList<Call> calls;

    bool registerOn(QDBusConnection connection)
    {
        return connection.registerObject("/org/freedesktop/Notifications", this,
                                         QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals) &&
               connection.registerService("org.freedesktop.Notifications");
    }

Q_SIGNALS:
    /** What the daemon sends when the user presses a notification's button. */
    void ActionInvoked(uint id, const QString &actionKey);
    /** What it sends when a notification goes (expired, dismissed, pressed). */
    void NotificationClosed(uint id, uint reason);

public Q_SLOTS:
    uint Notify(const QString &appName, uint, const QString &, const QString &summary, const QString &body,
                const QStringList &actions, const QVariantMap &hints, int)
    {
        calls.append({appName, summary, body, actions, hints});
        return uint(calls.size());
    }
};
