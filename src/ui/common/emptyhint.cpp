#include "ui/common/emptyhint.h"

#include <QAbstractItemView>
#include <QEvent>

EmptyHint::EmptyHint(QAbstractItemView *view, const QString &text)
    : QLabel(text, view->viewport())
    , m_view(view)
{
    setObjectName(QStringLiteral("emptyHint"));
    setAlignment(Qt::AlignCenter);
    setWordWrap(true);
    setMargin(24);
    setForegroundRole(QPalette::PlaceholderText);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    view->viewport()->installEventFilter(this);
    QAbstractItemModel *model = view->model();
    connect(model, &QAbstractItemModel::modelReset, this, &EmptyHint::refresh);
    connect(model, &QAbstractItemModel::layoutChanged, this, &EmptyHint::refresh);
    connect(model, &QAbstractItemModel::rowsInserted, this, &EmptyHint::refresh);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &EmptyHint::refresh);
    refresh();
}

void EmptyHint::setHint(const QString &text)
{
    setText(text);
    refresh();
}

bool EmptyHint::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_view->viewport() && event->type() == QEvent::Resize)
        setGeometry(m_view->viewport()->rect());
    return QLabel::eventFilter(watched, event);
}

void EmptyHint::refresh()
{
    const bool empty = m_view->model()->rowCount() == 0;
    setVisible(empty);
    setGeometry(m_view->viewport()->rect());
    m_view->setAccessibleDescription(empty ? text() : QString());
}
