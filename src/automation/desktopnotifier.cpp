#include "automation/desktopnotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QStringList>
#include <QVariantMap>

namespace {

const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString ObjectPath = QStringLiteral("/org/freedesktop/Notifications");

} // namespace

DesktopNotifier::DesktopNotifier()
    : DesktopNotifier(QDBusConnection::sessionBus())
{
}

DesktopNotifier::DesktopNotifier(QDBusConnection connection)
    : m_connection(std::move(connection))
{
}

void DesktopNotifier::post(const QString &title, const QString &body)
{
    if (!m_connection.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(Service, ObjectPath, Service, QStringLiteral("Notify"));
    // The theme's message sound is the desktop's default notification sound; expire -1 lets the
    // server decide how long the bubble stays.
    const QVariantMap hints{{QStringLiteral("sound-name"), QStringLiteral("message-new-instant")}};
    call << QStringLiteral("Namorix") << 0U << QString() << title << body << QStringList() << hints << -1;
    // Not awaited: a missing service only produces an error reply nobody needs to read.
    m_connection.asyncCall(call);
}
