#include "ui/rules/formsection.h"

#include "ui/common/icons.h"
#include "ui/common/palette.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

FormSection::FormSection(const QString &title, QStringView symbol, QWidget *parent)
    : QWidget(parent)
    , m_body(new QVBoxLayout)
    , m_footer(FormStyle::caption({}))
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);
    if (!title.isEmpty()) {
        auto *header = new QHBoxLayout;
        header->setSpacing(4);
        if (!symbol.isEmpty())
            header->addWidget(FormStyle::icon(symbol, 12));
        auto *text = new QLabel(title);
        QFont font = text->font();
        font.setBold(true);
        text->setFont(font);
        header->addWidget(text);
        header->addStretch(1);
        column->addLayout(header);
    }
    auto *frame = new QFrame;
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setLayout(m_body);
    frame->setAccessibleName(title);
    column->addWidget(frame);
    m_footer->setWordWrap(true);
    m_footer->hide();
    column->addWidget(m_footer);
}

void FormSection::setFooter(const QString &text)
{
    m_footer->setText(text);
    m_footer->setVisible(!text.isEmpty());
}

namespace FormStyle {

QLabel *caption(const QString &text, bool tertiary)
{
    auto *label = new QLabel(text);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 0.85);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, tertiary ? UIColors::tertiary(palette) : UIColors::secondary(palette));
    label->setPalette(palette);
    return label;
}

QLabel *icon(QStringView symbol, int size)
{
    auto *label = new QLabel;
    label->setPixmap(Icons::symbol(symbol).pixmap(size, size));
    label->setFixedSize(size, size);
    return label;
}

QFont monospace()
{
    return QFontDatabase::systemFont(QFontDatabase::FixedFont);
}

QToolButton *iconButton(QStringView symbol, const QString &accessibleName)
{
    auto *button = new QToolButton;
    button->setIcon(Icons::symbol(symbol));
    button->setAutoRaise(true);
    button->setAccessibleName(accessibleName);
    button->setToolTip(accessibleName);
    return button;
}

} // namespace FormStyle
