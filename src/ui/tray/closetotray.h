#pragma once

#include "automation/desktopnotifier.h"

#include <QObject>
#include <QPointer>

class DefaultsStore;
class QSystemTrayIcon;
class QWidget;

/**
 * What closing the main window means. With a tray icon shown the window only hides and Namorix
 * keeps running there; the first time ever a desktop notification says so. Without one, closing
 * the window ends Namorix, also when other windows (preview, information) are still open.
 */
class CloseToTray final : public QObject
{
    Q_OBJECT

public:
    /** Set once the notification has been shown. */
    static constexpr QStringView NoticeShownKey = u"tray.closeNoticeShown";

    /** `tray` may be null (no tray on this desktop). */
    CloseToTray(QWidget &window, const QSystemTrayIcon *tray, DefaultsStore &defaults,
                const QDBusConnection &bus = QDBusConnection::sessionBus(), QObject *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget &m_window;
    QPointer<const QSystemTrayIcon> m_tray;
    DefaultsStore &m_defaults;
    DesktopNotifier m_notifier;
};
