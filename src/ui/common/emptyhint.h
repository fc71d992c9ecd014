#pragma once

#include <QLabel>

class QAbstractItemView;

/**
 * A centred, wrapped hint over an item view while its model has no rows, so an empty list says
 * what belongs there instead of showing a blank area. Screen readers get it as the view's
 * description. The view's model must be set before.
 */
class EmptyHint final : public QLabel
{
    Q_OBJECT

public:
    EmptyHint(QAbstractItemView *view, const QString &text);

    /** Changes the hint, e.g. from "nothing yet" to "nothing matches". */
    void setHint(const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void refresh();

    QAbstractItemView *m_view;
};
