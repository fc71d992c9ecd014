#include "ui/watch/celldelegates.h"

#include "ui/common/palette.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {

/** A release of the left button inside the cell, or Space/Return on the current cell. */
bool activates(const QEvent *event, const QStyleOptionViewItem &option)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<const QMouseEvent *>(event);
        return mouse->button() == Qt::LeftButton && option.rect.contains(mouse->position().toPoint());
    }
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<const QKeyEvent *>(event)->key();
        return key == Qt::Key_Space || key == Qt::Key_Select;
    }
    return false;
}

/** Swallows the presses and double-clicks that precede a release, so the view does not act on them. */
bool isMouseNoise(const QEvent *event)
{
    return event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick;
}

void drawBackground(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index)
{
    QStyleOptionViewItem opt = option;
    opt.features &= ~QStyleOptionViewItem::HasCheckIndicator;
    opt.text.clear();
    opt.icon = QIcon();
    opt.index = index;
    const QWidget *widget = option.widget;
    (widget ? widget->style() : QApplication::style())->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
}

} // namespace

void SwitchDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    drawBackground(painter, option, index);
    const bool on = index.data(Qt::CheckStateRole).value<Qt::CheckState>() == Qt::Checked;
    const QSizeF size(28, 16);
    const QRectF track(QPointF(option.rect.center()) - QPointF(size.width() / 2, size.height() / 2), size);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    painter->setBrush(on ? UIColors::green() : UIColors::grey().lighter(140));
    painter->drawRoundedRect(track, size.height() / 2, size.height() / 2);
    const qreal knob = size.height() - 4;
    const qreal x = on ? track.right() - 2 - knob : track.left() + 2;
    painter->setBrush(Qt::white);
    painter->drawEllipse(QRectF(x, track.top() + 2, knob, knob));
    if (option.state & QStyle::State_HasFocus) {
        painter->setPen(QPen(UIColors::accent(option.palette), 1.5));
        painter->setBrush(Qt::NoBrush);
        painter->drawRoundedRect(track.adjusted(-2, -2, 2, 2), size.height() / 2 + 2, size.height() / 2 + 2);
    }
    painter->restore();
}

bool SwitchDelegate::editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                                 const QModelIndex &index)
{
    if (isMouseNoise(event))
        return true;
    if (!activates(event, option) || !(index.flags() & Qt::ItemIsUserCheckable))
        return false;
    const bool on = index.data(Qt::CheckStateRole).value<Qt::CheckState>() == Qt::Checked;
    model->setData(index, on ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
    return true;
}

void IconButtonDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    drawBackground(painter, option, index);
    const QIcon icon = index.data(Qt::DecorationRole).value<QIcon>();
    const QRect target(option.rect.center() - QPoint(8, 8), QSize(16, 16));
    icon.paint(painter, target);
}

bool IconButtonDelegate::editorEvent(QEvent *event, QAbstractItemModel *, const QStyleOptionViewItem &option,
                                     const QModelIndex &index)
{
    if (isMouseNoise(event))
        return true;
    if (!activates(event, option))
        return false;
    Q_EMIT pressed(index);
    return true;
}
