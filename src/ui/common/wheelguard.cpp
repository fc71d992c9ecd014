#include "ui/common/wheelguard.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QWheelEvent>

namespace {

/** The drop-down or number field `widget` belongs to (a spin box's line edit included), if any. */
QWidget *valueControl(QWidget *widget)
{
    for (QWidget *w = widget; w && !w->isWindow(); w = w->parentWidget()) {
        if (qobject_cast<QComboBox *>(w) || qobject_cast<QAbstractSpinBox *>(w))
            return w;
    }
    return nullptr;
}

} // namespace

void WheelGuard::install()
{
    static WheelGuard *guard = nullptr;
    if (!guard && qApp) {
        guard = new WheelGuard(qApp);
        qApp->installEventFilter(guard);
    }
}

bool WheelGuard::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::Wheel || !watched->isWidgetType())
        return false;
    QWidget *control = valueControl(static_cast<QWidget *>(watched));
    if (!control || control->hasFocus() || !control->parentWidget())
        return false;
    // Handed to what surrounds the control, so a scroll area around it still scrolls.
    auto *wheel = static_cast<QWheelEvent *>(event);
    QWidget *parent = control->parentWidget();
    QWheelEvent forwarded(parent->mapFromGlobal(wheel->globalPosition()), wheel->globalPosition(), wheel->pixelDelta(),
                          wheel->angleDelta(), wheel->buttons(), wheel->modifiers(), wheel->phase(), wheel->inverted(),
                          wheel->source());
    QCoreApplication::sendEvent(parent, &forwarded);
    return true;
}
