#include "automation/desktopnotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

namespace {

const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString ObjectPath = QStringLiteral("/org/freedesktop/Notifications");
const QString ActionKey = QStringLiteral("namorix-action");

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

void DesktopNotifier::post(const QString &title, const QString &body, const std::optional<Action> &action)
{
    if (!m_connection.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(Service, ObjectPath, Service, QStringLiteral("Notify"));
    // The theme's message sound is the desktop's default notification sound; expire -1 lets the
    // server decide how long the bubble stays.
    const QVariantMap hints{{QStringLiteral("sound-name"), QStringLiteral("message-new-instant")}};
    const QStringList actions = action ? QStringList{ActionKey, action->label} : QStringList();
    call << QStringLiteral("Namorix") << 0U << QString() << title << body << actions << hints << -1;
    if (!action) {
        // Not awaited: a missing service only produces an error reply nobody needs to read.
        m_connection.asyncCall(call);
        return;
    }
    auto *watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, run = action->run](QDBusPendingCallWatcher *w) {
        const QDBusPendingReply<uint> reply = *w;
        if (reply.isValid())
            m_actions.insert(reply.value(), run);
        w->deleteLater();
    });
}

void DesktopNotifier::actionInvoked(uint id, const QString &key)
{
    if (key != ActionKey)
        return;
    // Taken out first: the action runs once, even if the server reports the press twice.
    if (const std::function<void()> run = m_actions.take(id))
        run();
}

void DesktopNotifier::closed(uint id)
{
    m_actions.remove(id);
}
