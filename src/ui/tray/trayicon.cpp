#include "ui/tray/trayicon.h"

#include "settings/defaultsstore.h"
#include "settings/generalflags.h"
#include "ui/common/icons.h"
#include "ui/tray/traypanel.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QWindow>

TrayIcon::TrayIcon(const RenameEngine::Services &services, ObjectStore *store, DefaultsStore &defaults, QObject *parent)
    : QObject(parent)
    , m_panel(std::make_unique<TrayPanel>(services, store, defaults))
    , m_menu(std::make_unique<QMenu>())
    , m_icon(new QSystemTrayIcon(Icons::appIcon(), this))
{
    m_icon->setToolTip(QStringLiteral("Namorix"));
    m_menu->addAction(qtTrId("tray.showWindow"), this, &TrayIcon::showWindowRequested);
    m_menu->addSeparator();
    // exit, not quit: quit first asks every window to close, and the hidden main window declines.
    m_menu->addAction(qtTrId("menu.quit"), qApp, [] { QCoreApplication::exit(0); });
    m_icon->setContextMenu(m_menu.get());
    connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            togglePanel();
    });
    m_icon->setVisible(GeneralFlags::showMenuBar.read(defaults));
    connect(&FlagChanges::shared(), &FlagChanges::written, this,
            [this, store = &defaults](const DefaultsStore *changedStore, const QString &key, bool on) {
                if (changedStore == store && key == GeneralFlags::showMenuBar.keyString())
                    setShown(on);
            });
}

void TrayIcon::setShown(bool shown)
{
    if (shown == m_icon->isVisible())
        return;
    m_icon->setVisible(shown);
    if (!shown)
        m_panel->hide(); // nothing left to click it away with
    Q_EMIT shownChanged(shown);
}

TrayIcon::~TrayIcon() = default;

void TrayIcon::togglePanel()
{
    // A click on the icon may take the focus first, closing the panel; it stays closed then.
    if (m_panel->isVisible() || m_panel->hiddenJustNow()) {
        m_panel->hide();
        return;
    }
    const QPoint cursor = QCursor::pos();
    const QScreen *screen = QGuiApplication::screenAt(cursor);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    m_panel->adjustSize();
    // A StatusNotifierItem host does not tell where the icon is; the click was near it, though.
    // On Wayland the compositor places windows: the move is not honoured there, nor needed.
    const QRect area = screen ? screen->availableGeometry() : QRect(cursor, m_panel->size());
    m_panel->move(TrayPanel::placement(m_icon->geometry(), m_panel->size(), area, cursor));
    // X11 only: a Wayland compositor lists its windows its own way, and a hidden owner has no surface there.
    if (m_owner && QGuiApplication::platformName() == u"xcb") {
        m_owner->winId(); // made, even while hidden in the tray
        m_panel->winId();
        m_panel->windowHandle()->setTransientParent(m_owner->windowHandle());
    }
    m_panel->show();
    m_panel->raise();
    m_panel->activateWindow();
}
