#pragma once

#include <QStyledItemDelegate>

/**
 * Paints a row as its display text with a second line below it (the SubtitleRole text) in
 * caption size and the secondary colour: template name over pattern, folder name over path.
 */
class TwoLineDelegate final : public QStyledItemDelegate
{
    Q_OBJECT

public:
    static constexpr int SubtitleRole = Qt::UserRole + 40;

    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    [[nodiscard]] QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};
