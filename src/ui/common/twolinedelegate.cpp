#include "ui/common/twolinedelegate.h"

#include "ui/common/palette.h"

#include <QApplication>
#include <QPainter>

namespace {

constexpr int Margin = 4;

QFont captionFont(const QFont &base)
{
    QFont font = base;
    font.setPointSizeF(base.pointSizeF() * 0.85);
    return font;
}

} // namespace

void TwoLineDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QString title = opt.text;
    opt.text.clear();
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    const bool selected = opt.state & QStyle::State_Selected;
    const QRect area = opt.rect.adjusted(Margin + 2, Margin, -Margin, -Margin);
    const QFontMetrics titleMetrics(opt.font);
    const QFont caption = captionFont(opt.font);
    painter->save();
    painter->setFont(opt.font);
    painter->setPen(opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter->drawText(area.left(), area.top() + titleMetrics.ascent(),
                      titleMetrics.elidedText(title, Qt::ElideRight, area.width()));
    painter->setFont(caption);
    painter->setPen(selected ? opt.palette.color(QPalette::HighlightedText) : UIColors::secondary(opt.palette));
    const QFontMetrics captionMetrics(caption);
    painter->drawText(area.left(), area.top() + titleMetrics.height() + captionMetrics.ascent(),
                      captionMetrics.elidedText(index.data(SubtitleRole).toString(), Qt::ElideMiddle, area.width()));
    painter->restore();
}

QSize TwoLineDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const QFontMetrics title(option.font);
    const QFontMetrics caption(captionFont(option.font));
    const int width = std::max(title.horizontalAdvance(index.data(Qt::DisplayRole).toString()),
                               caption.horizontalAdvance(index.data(SubtitleRole).toString()));
    return {width + 2 * Margin + 2, title.height() + caption.height() + 2 * Margin};
}
