#include "ui/tray/closetotray.h"

#include "settings/defaultsstore.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

CloseToTray::CloseToTray(QWidget &window, const QSystemTrayIcon *tray, DefaultsStore &defaults,
                         const QDBusConnection &bus, QObject *parent)
    : QObject(parent)
    , m_window(window)
    , m_tray(tray)
    , m_defaults(defaults)
    , m_notifier(bus)
{
    // With a tray, hiding the last window (or starting hidden) must not end the process.
    if (tray)
        QGuiApplication::setQuitOnLastWindowClosed(false);
    window.installEventFilter(this);
}

bool CloseToTray::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != &m_window || event->type() != QEvent::Close)
        return false;
    if (!m_tray || !m_tray->isVisible()) {
        // After the close itself, so the window is gone when the event loop ends.
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        return false;
    }
    event->ignore();
    m_window.hide();
    const QString key = NoticeShownKey.toString();
    if (!m_defaults.boolValue(key)) {
        m_defaults.setBool(key, true);
        m_notifier.post(qtTrId("tray.closedNotice.title"), qtTrId("tray.closedNotice.body"));
    }
    return true;
}
