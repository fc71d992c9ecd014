#pragma once

#include <QProxyStyle>

/**
 * The platform's style with hint texts readable: the placeholder tone, which the window also uses
 * for counts and hints, is darkened (or lightened) until it reaches WCAG AA contrast on both the
 * window and the list backgrounds. Applied wherever the palette is made, so it follows a switch
 * between light and dark.
 */
class ReadableStyle final : public QProxyStyle
{
    Q_OBJECT

public:
    using QProxyStyle::polish;
    using QProxyStyle::QProxyStyle;

    void polish(QPalette &palette) override;

    /** Wraps the application's style. */
    static void install();
};
