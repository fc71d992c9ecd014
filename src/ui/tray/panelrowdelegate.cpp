#include "ui/tray/panelrowdelegate.h"

#include "ui/common/palette.h"
#include "ui/files/joblistmodel.h"

#include <QApplication>
#include <QPainter>

namespace {

constexpr int Gap = 8; // between rows, split above and below each
// Some fonts draw "_" below their descent: room for it, or "tray_test.txt" reads "tray test.txt".
constexpr int Underline = 2;

} // namespace

QFont PanelRowDelegate::captionFont()
{
    QFont font = QApplication::font();
    font.setPointSizeF(font.pointSizeF() * 0.8);
    return font;
}

QFont PanelRowDelegate::calloutFont()
{
    QFont font = QApplication::font();
    font.setPointSizeF(font.pointSizeF() * 0.92);
    return font;
}

QSize PanelRowDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    return {200, QFontMetrics(captionFont()).height() + QFontMetrics(calloutFont()).height() + Gap + 2 * Underline};
}

void PanelRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    painter->save();
    const QRect text = option.rect.adjusted(0, Gap / 2, 0, -Gap / 2);
    const int captionHeight = QFontMetrics(captionFont()).height() + Underline;
    const QRect upper(text.left(), text.top(), text.width(), captionHeight);
    const QRect lower(text.left(), text.top() + captionHeight, text.width(), text.height() - captionHeight);

    painter->setFont(captionFont());
    painter->setPen(UIColors::secondary(option.palette));
    painter->drawText(upper, Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip,
                      painter->fontMetrics().elidedText(index.data(JobListModel::OriginalNameRole).toString(),
                                                        Qt::ElideMiddle, upper.width()));
    painter->setFont(calloutFont());
    painter->setPen(option.palette.color(QPalette::Text));
    painter->drawText(
        lower, Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip,
        painter->fontMetrics().elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideMiddle, lower.width()));
    painter->restore();
}
