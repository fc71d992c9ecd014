#include "automation/desktopnotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

namespace {

const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString ObjectPath = QStringLiteral("/org/freedesktop/Notifications");
/** The key of a notification's `index`th button. */
QString actionKey(qsizetype index)
{
    return QStringLiteral("namorix-action-%1").arg(index);
}

} // namespace

DesktopNotifier::DesktopNotifier()
    : DesktopNotifier(QDBusConnection::sessionBus())
{
}

DesktopNotifier::DesktopNotifier(QDBusConnection connection)
    : m_connection(std::move(connection))
{
    if (!m_connection.isConnected())
        return;
    m_connection.connect(Service, ObjectPath, Service, QStringLiteral("ActionInvoked"), this,
                         SLOT(actionInvoked(uint, QString)));
    m_connection.connect(Service, ObjectPath, Service, QStringLiteral("NotificationClosed"), this, SLOT(closed(uint)));
}

void DesktopNotifier::post(const QString &title, const QString &body, const QList<Action> &actions)
{
    if (!m_connection.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(Service, ObjectPath, Service, QStringLiteral("Notify"));
    // The theme's message sound is the desktop's default notification sound; expire -1 lets the
    // server decide how long the bubble stays.
    const QVariantMap hints{{QStringLiteral("sound-name"), QStringLiteral("message-new-instant")}};
    QStringList keysAndLabels;
    QHash<QString, std::function<void()>> runs;
    for (qsizetype i = 0; i < actions.size(); ++i) {
        keysAndLabels << actionKey(i) << actions[i].label;
        runs.insert(actionKey(i), actions[i].run);
    }
    call << QStringLiteral("Namorix") << 0U << QString() << title << body << keysAndLabels << hints << -1;
    if (actions.isEmpty()) {
        // Not awaited: a missing service only produces an error reply nobody needs to read.
        m_connection.asyncCall(call);
        return;
    }
    auto *watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, runs](QDBusPendingCallWatcher *w) {
        const QDBusPendingReply<uint> reply = *w;
        if (reply.isValid())
            m_actions.insert(reply.value(), runs);
        w->deleteLater();
    });
}

void DesktopNotifier::actionInvoked(uint id, const QString &key)
{
    const auto notification = m_actions.find(id);
    if (notification == m_actions.end())
        return;
    // Taken out first: a press runs once, even if the server reports it twice. The other buttons
    // stay for a server that keeps the bubble after a press.
    const std::function<void()> run = notification->take(key);
    if (notification->isEmpty())
        m_actions.erase(notification);
    if (run)
        run();
}

void DesktopNotifier::closed(uint id)
{
    m_actions.remove(id);
}
