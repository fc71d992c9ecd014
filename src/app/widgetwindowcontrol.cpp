#include "app/widgetwindowcontrol.h"

#include <QApplication>
#include <QPixmap>

#include <algorithm>

namespace {

/** The visible top-level window with this title (a dialog, the settings window), if any. */
QWidget *windowTitled(const QString &title)
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    const auto found = std::find_if(windows.begin(), windows.end(),
                                    [&](QWidget *w) { return w->isVisible() && w->windowTitle() == title; });
    return found != windows.end() ? *found : nullptr;
}

} // namespace

WidgetWindowControl::WidgetWindowControl(QWidget *mainWindow)
    : m_mainWindow(mainWindow)
{
}

std::optional<WindowControl::State> WidgetWindowControl::state() const
{
    if (!m_mainWindow)
        return std::nullopt;
    return State{m_mainWindow->frameGeometry(), m_mainWindow->isVisible()};
}

std::optional<QImage> WidgetWindowControl::capture(const std::optional<QString> &title) const
{
    QWidget *window = title ? windowTitled(*title) : m_mainWindow.data();
    if (!window)
        return std::nullopt;
    return window->grab().toImage(); // the client area only
}
