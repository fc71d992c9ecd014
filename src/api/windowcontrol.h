#pragma once

#include <QImage>
#include <QRect>
#include <QString>

#include <optional>

/**
 * The app's windows as the UI endpoints see them. The API library links no widgets, so the app
 * implements this over its main window; which section shows is NavigationState's, not this.
 */
class WindowControl
{
public:
    virtual ~WindowControl() = default;

    struct State {
        QRect frame; ///< with the window manager's frame
        bool visible = false;
    };
    /** The main window's; nothing when there is none. */
    [[nodiscard]] virtual std::optional<State> state() const = 0;
    /**
     * The client area of the main window, or of the visible top-level window titled `title`, at its
     * device pixel ratio; nothing when there is no such window, a null image when grabbing failed.
     */
    [[nodiscard]] virtual std::optional<QImage> capture(const std::optional<QString> &title) const = 0;
};
