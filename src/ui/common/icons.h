#pragma once

#include <QColor>
#include <QIcon>
#include <QStringView>

/**
 * The SF Symbol names the window uses, mapped in one place to freedesktop icon names. A theme
 * that lacks them all falls back to the bundled SVG, so no icon-only control is ever blank.
 */
namespace Icons {

/** The icon for `symbol` (e.g. "eye"); an unknown name gives a null icon. */
[[nodiscard]] QIcon symbol(QStringView symbol);
/** `icon` at `size`, drawn in `highlighted` when its row is selected, so it stays visible on the highlight. */
[[nodiscard]] QIcon onHighlight(const QIcon &icon, QSize size, const QColor &highlighted);
/** The application's own icon: a wand with stars. */
[[nodiscard]] QIcon appIcon();

} // namespace Icons
