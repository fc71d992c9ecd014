#include "ui/files/resultbar.h"

#include "ui/common/icons.h"
#include "ui/common/palette.h"

#include <QAccessible>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>

ResultBar::ResultBar(QWidget *parent)
    : QFrame(parent)
    , m_icon(new QLabel)
    , m_text(new QLabel)
    , m_actions(new QHBoxLayout)
    , m_close(new QToolButton)
{
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    m_text->setWordWrap(true);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_close->setIcon(Icons::symbol(u"xmark.circle"));
    m_close->setAutoRaise(true);
    m_close->setToolTip(qtTrId("result.close"));
    m_close->setAccessibleName(qtTrId("result.close"));
    connect(m_close, &QToolButton::clicked, this, &QWidget::hide);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(10, 6, 6, 6);
    row->addWidget(m_icon);
    row->addWidget(m_text, 1);
    row->addLayout(m_actions);
    row->addWidget(m_close);
    hide();
}

QString ResultBar::text() const
{
    return m_text->text();
}

void ResultBar::showResult(const QString &text, Tone tone, const QList<Action> &actions)
{
    const QColor mark = tone == Tone::done ? UIColors::green() : UIColors::orange();
    QPalette tinted = palette();
    QColor ground = mark;
    ground.setAlphaF(0.15f);
    const QColor window =
        parentWidget() ? parentWidget()->palette().color(QPalette::Window) : palette().color(QPalette::Window);
    tinted.setColor(QPalette::Window, UIColors::readableOn(ground, window, 1.0));
    setPalette(tinted);
    m_icon->setPixmap(
        Icons::symbol(tone == Tone::done ? u"checkmark.circle.fill" : u"exclamationmark.triangle").pixmap(16, 16));
    m_text->setText(text);
    setAccessibleName(text);
    while (QLayoutItem *item = m_actions->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (const Action &action : actions) {
        auto *button = new QPushButton(action.text);
        button->setAccessibleName(action.text);
        connect(button, &QPushButton::clicked, this, action.run);
        m_actions->addWidget(button);
    }
    show();
    QAccessibleEvent alert(this, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
}
