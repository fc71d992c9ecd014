#pragma once

#include <QColor>
#include <QPalette>

#include <algorithm>
#include <cmath>

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

/** Relative luminance as WCAG defines it (sRGB, 0 black … 1 white). */
inline double luminance(const QColor &color)
{
    const auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF()) + 0.0722 * channel(color.blueF());
}

/** WCAG contrast ratio, 1 … 21. */
inline double contrast(const QColor &a, const QColor &b)
{
    const double first = luminance(a);
    const double second = luminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

/** `color` (flattened onto `ground` when translucent) moved towards black or white, whichever
 * `ground` is further from, until it reaches `ratio`. */
inline QColor readableOn(QColor color, const QColor &ground, double ratio = 4.5)
{
    const float alpha = color.alphaF();
    color = QColor::fromRgbF(color.redF() * alpha + ground.redF() * (1 - alpha),
                             color.greenF() * alpha + ground.greenF() * (1 - alpha),
                             color.blueF() * alpha + ground.blueF() * (1 - alpha));
    const QColor target = luminance(ground) > 0.18 ? QColor(Qt::black) : QColor(Qt::white);
    for (int step = 0; step <= 20; ++step) {
        const double t = step / 20.0;
        const QColor mixed = QColor::fromRgbF(float(color.redF() + (target.redF() - color.redF()) * t),
                                              float(color.greenF() + (target.greenF() - color.greenF()) * t),
                                              float(color.blueF() + (target.blueF() - color.blueF()) * t));
        if (contrast(mixed, ground) >= ratio)
            return mixed;
    }
    return target;
}

/** Between text and background, fainter than the placeholder tone, yet readable (WCAG AA). */
inline QColor tertiary(const QPalette &palette)
{
    const QColor text = palette.color(QPalette::WindowText);
    const QColor base = palette.color(QPalette::Window);
    return readableOn(QColor((text.red() + 2 * base.red()) / 3, (text.green() + 2 * base.green()) / 3,
                             (text.blue() + 2 * base.blue()) / 3),
                      base);
}

inline QColor secondary(const QPalette &palette)
{
    return readableOn(palette.color(QPalette::PlaceholderText), palette.color(QPalette::Window));
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
