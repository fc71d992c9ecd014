#pragma once

#include <QColor>
#include <QPalette>

/** The few fixed colours of the window (status dots, badges, warnings) and the derived text tones. */
namespace UIColors {

inline QColor green()
{
    return QColor(0x2e, 0xa0, 0x43);
}
inline QColor orange()
{
    return QColor(0xe6, 0x7e, 0x00);
}
inline QColor red()
{
    return QColor(0xd9, 0x30, 0x25);
}
inline QColor grey()
{
    return QColor(0x8e, 0x8e, 0x93);
}

/** Between text and background, fainter than the placeholder tone. */
inline QColor tertiary(const QPalette &palette)
{
    const QColor text = palette.color(QPalette::WindowText);
    const QColor base = palette.color(QPalette::Window);
    return QColor((text.red() + 2 * base.red()) / 3, (text.green() + 2 * base.green()) / 3,
                  (text.blue() + 2 * base.blue()) / 3);
}

inline QColor secondary(const QPalette &palette)
{
    return palette.color(QPalette::PlaceholderText);
}
inline QColor accent(const QPalette &palette)
{
    return palette.color(QPalette::Highlight);
}

/**
 * `palette` for the one primary button of a view: Qt widgets have no "suggested action" look, so
 * it takes the highlight colours. A disabled button keeps the plain look.
 */
inline QPalette primaryButton(QPalette palette)
{
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Button, palette.color(group, QPalette::Highlight));
        palette.setColor(group, QPalette::ButtonText, palette.color(group, QPalette::HighlightedText));
    }
    return palette;
}

} // namespace UIColors
