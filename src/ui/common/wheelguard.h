#pragma once

#include <QObject>

/**
 * Keeps the mouse wheel from changing settings by accident: a drop-down or number field takes the
 * wheel only while it has the keyboard focus, as in KDE and GNOME applications; otherwise the
 * wheel scrolls whatever scrolls around it. Installed once on the application.
 */
class WheelGuard final : public QObject
{
    Q_OBJECT

public:
    /** Installs one guard on the running application. */
    static void install();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    using QObject::QObject;
};
