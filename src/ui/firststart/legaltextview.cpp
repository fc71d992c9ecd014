#include "ui/firststart/legaltextview.h"

#include "ui/common/icons.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTextBrowser>
#include <QToolButton>
#include <QVBoxLayout>

LegalTextView::LegalTextView(const char *titleKey, const char *contentKey, QWidget *parent)
    : QDialog(parent)
    , m_content(qtTrId(contentKey))
{
    const QString title = qtTrId(titleKey);
    setWindowTitle(title);
    resize(520, 500);

    auto *heading = new QLabel(title);
    QFont font = heading->font();
    font.setPointSizeF(font.pointSizeF() * 1.25);
    font.setBold(true);
    heading->setFont(font);
    heading->setAccessibleName(title);
    auto *close = new QToolButton;
    close->setIcon(Icons::symbol(u"xmark.circle.fill"));
    close->setAutoRaise(true);
    close->setAccessibleName(qtTrId("legal.button.close"));
    close->setToolTip(close->accessibleName());
    connect(close, &QToolButton::clicked, this, &QDialog::accept);
    auto *header = new QHBoxLayout;
    header->addWidget(heading, 1);
    header->addWidget(close);

    auto *divider = new QFrame;
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);

    auto *body = new QTextBrowser;
    body->setPlainText(m_content);
    body->setAccessibleName(title);
    body->setFrameShape(QFrame::NoFrame);

    auto *done = new QPushButton(qtTrId("legal.button.close"));
    done->setDefault(true);
    connect(done, &QPushButton::clicked, this, &QDialog::accept);
    auto *footer = new QHBoxLayout;
    footer->addStretch(1);
    footer->addWidget(done);

    auto *column = new QVBoxLayout(this);
    column->addLayout(header);
    column->addWidget(divider);
    column->addWidget(body, 1);
    column->addLayout(footer);
}

LegalTextView *LegalTextView::forType(LegalInfoType type, QWidget *parent)
{
    struct Keys {
        const char *title;
        const char *content;
    };
    static constexpr Keys keys[] = {{"menu.impressum", "legal.impressum.content"},
                                    {"menu.terms", "legal.terms.content"},
                                    {"menu.privacy", "legal.privacy.content"},
                                    {"menu.accessibility", "legal.accessibility.content"}};
    const Keys &chosen = keys[int(type)];
    auto *view = new LegalTextView(chosen.title, chosen.content, parent);
    view->setAttribute(Qt::WA_DeleteOnClose);
    view->setFixedSize(520, 500);
    return view;
}

QString LegalTextView::content() const
{
    return m_content;
}
