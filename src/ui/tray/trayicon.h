#pragma once

#include "engine/renameengine.h"

#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>

#include <memory>

class DefaultsStore;
class QMenu;
class TrayPanel;

/**
 * Namorix in the system tray (StatusNotifierItem or XEmbed, whatever the desktop offers): the
 * app icon; a left click opens or closes the panel next to it, a right click offers
 * "Fenster anzeigen" and "Beenden". Create it only when a tray is available. The icon is shown
 * while the general flag "showMenuBar" is on and follows it when it changes.
 */
class TrayIcon final : public QObject
{
    Q_OBJECT

public:
    /** Whether the desktop shows tray icons at all; without one Namorix has no tray. */
    [[nodiscard]] static bool isAvailable() { return QSystemTrayIcon::isSystemTrayAvailable(); }

    TrayIcon(const RenameEngine::Services &services, ObjectStore *store, DefaultsStore &defaults,
             QObject *parent = nullptr);
    ~TrayIcon() override;
    Q_DISABLE_COPY_MOVE(TrayIcon)

    [[nodiscard]] const QSystemTrayIcon &icon() const { return *m_icon; }
    [[nodiscard]] TrayPanel *panel() const { return m_panel.get(); }
    [[nodiscard]] QMenu *menu() const { return m_menu.get(); }

    /** Shows the panel next to the icon, or hides it when it is open. */
    void togglePanel();
    /**
     * The window the panel belongs to: the panel is its transient, which keeps it off the
     * taskbar (a window of its own there otherwise, under window managers that list tool windows).
     */
    void setOwner(QWidget *window) { m_owner = window; }

Q_SIGNALS:
    void showWindowRequested();
    /** The "showMenuBar" flag changed, and the icon with it. */
    void shownChanged(bool shown);

private:
    void setShown(bool shown);

    std::unique_ptr<TrayPanel> m_panel;
    QPointer<QWidget> m_owner;
    std::unique_ptr<QMenu> m_menu;
    QSystemTrayIcon *m_icon;
};
