#include "ui/common/diffpainter.h"

#include "ui/common/palette.h"

#include <QFontMetrics>
#include <QPainter>

void paintDiffLine(QPainter &painter, const QRect &rect, const QList<NameDiff::Segment> &segments,
                   const QPalette &palette, bool selected)
{
    painter.save();
    painter.setClipRect(rect);
    const QFont plain = painter.font();
    QFont struck = plain;
    struck.setStrikeOut(true);
    const QFontMetrics metrics(plain);
    const QString ellipsis = QStringLiteral("…");
    const int limit = rect.right() - metrics.horizontalAdvance(ellipsis);
    const QColor text = palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
    const QColor base = palette.color(QPalette::Base);
    const auto ground = [](QColor color, float alpha) {
        color.setAlphaF(alpha);
        return color;
    };
    int x = rect.left();
    for (const NameDiff::Segment &segment : segments) {
        const bool removed = segment.kind == NameDiff::Segment::Kind::removed;
        const bool added = segment.kind == NameDiff::Segment::Kind::added;
        QString shown = segment.text;
        int width = metrics.horizontalAdvance(shown);
        const bool cut = x + width > rect.right();
        if (cut) {
            shown =
                metrics.elidedText(shown, Qt::ElideRight, std::max(0, limit - x) + metrics.horizontalAdvance(ellipsis));
            width = metrics.horizontalAdvance(shown);
        }
        const QRect run(x, rect.top(), width, rect.height());
        QColor color = text;
        if (added || removed) {
            const QColor mark = added ? UIColors::green() : UIColors::red();
            if (selected) {
                painter.fillRect(run, ground(text, 0.25f));
            } else {
                painter.fillRect(run, ground(mark, 0.15f));
                // Checked against the tinted ground the run is drawn on.
                QColor tinted = ground(mark, 0.15f);
                tinted = UIColors::readableOn(tinted, base, 1.0);
                color = UIColors::readableOn(mark, tinted);
            }
        }
        painter.setFont(removed ? struck : plain);
        painter.setPen(color);
        painter.drawText(run, Qt::AlignLeft | Qt::AlignVCenter, shown);
        x += width;
        if (cut)
            break;
    }
    painter.restore();
}
