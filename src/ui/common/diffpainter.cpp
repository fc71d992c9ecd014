#include "ui/common/diffpainter.h"

#include "ui/common/palette.h"

#include <QFontMetrics>
#include <QPainter>

void paintDiffLine(QPainter &painter, const QRect &rect, const QList<NameDiff::Segment> &segments,
                   const QColor &textColor)
{
    painter.save();
    painter.setClipRect(rect);
    const QFont plain = painter.font();
    QFont struck = plain;
    struck.setStrikeOut(true);
    const QFontMetrics metrics(plain);
    const QString ellipsis = QStringLiteral("…");
    const int limit = rect.right() - metrics.horizontalAdvance(ellipsis);
    int x = rect.left();
    for (const NameDiff::Segment &segment : segments) {
        const bool removed = segment.kind == NameDiff::Segment::Kind::removed;
        const bool added = segment.kind == NameDiff::Segment::Kind::added;
        QString text = segment.text;
        int width = metrics.horizontalAdvance(text);
        const bool cut = x + width > rect.right();
        if (cut) {
            text =
                metrics.elidedText(text, Qt::ElideRight, std::max(0, limit - x) + metrics.horizontalAdvance(ellipsis));
            width = metrics.horizontalAdvance(text);
        }
        const QRect run(x, rect.top(), width, rect.height());
        QColor color = textColor;
        if (added || removed) {
            color = added ? UIColors::green() : UIColors::red();
            QColor ground = color;
            ground.setAlphaF(0.15f);
            painter.fillRect(run, ground);
        }
        painter.setFont(removed ? struck : plain);
        painter.setPen(color);
        painter.drawText(run, Qt::AlignLeft | Qt::AlignVCenter, text);
        x += width;
        if (cut)
            break;
    }
    painter.restore();
}
