#pragma once

#include <QStyledItemDelegate>

/** One tray panel row: the current file name, small and faint, over the suggested name. */
class PanelRowDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    [[nodiscard]] QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    [[nodiscard]] static QFont captionFont();
    [[nodiscard]] static QFont calloutFont();
};
