#include "ui/firststart/legalacceptanceview.h"

#include "settings/generalflags.h"
#include "ui/common/icons.h"
#include "ui/common/palette.h"
#include "ui/firststart/legaltextview.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

LegalAcceptanceView::LegalAcceptanceView(DefaultsStore &defaults, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , m_defaults(defaults)
{
    setWindowTitle(qtTrId("legal.title"));
    setModal(true);
    setMinimumWidth(460);

    auto *symbol = new QLabel;
    symbol->setPixmap(Icons::symbol(u"doc.text.fill").pixmap(40, 40));
    symbol->setAlignment(Qt::AlignCenter);
    symbol->setAccessibleName({}); // decoration only
    auto *title = new QLabel(qtTrId("legal.title"));
    QFont font = title->font();
    font.setPointSizeF(font.pointSizeF() * 1.5);
    font.setWeight(QFont::DemiBold);
    title->setFont(font);
    title->setAlignment(Qt::AlignCenter);
    title->setAccessibleName(title->text());
    auto *subtitle = new QLabel(qtTrId("legal.subtitle"));
    subtitle->setWordWrap(true);
    subtitle->setAlignment(Qt::AlignCenter);
    QPalette palette = subtitle->palette();
    palette.setColor(QPalette::WindowText, UIColors::secondary(palette));
    subtitle->setPalette(palette);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(32, 28, 32, 24);
    column->setSpacing(12);
    column->addWidget(symbol);
    column->addWidget(title);
    column->addWidget(subtitle);
    column->addSpacing(8);
    m_terms = checkRow("legal.terms.title", "legal.terms.content", column);
    m_privacy = checkRow("legal.privacy.title", "legal.privacy.content", column);
    column->addSpacing(8);

    m_decline = new QPushButton(qtTrId("legal.button.decline"));
    m_accept = new QPushButton(qtTrId("legal.button.accept"));
    m_accept->setDefault(true);
    m_accept->setPalette(UIColors::primaryButton(m_accept->palette()));
    m_accept->setEnabled(false);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_decline);
    buttons->addWidget(m_accept);
    column->addLayout(buttons);

    const auto bothTicked = [this] { m_accept->setEnabled(m_terms->isChecked() && m_privacy->isChecked()); };
    connect(m_terms, &QCheckBox::toggled, this, bothTicked);
    connect(m_privacy, &QCheckBox::toggled, this, bothTicked);
    connect(m_decline, &QPushButton::clicked, this, &LegalAcceptanceView::declined);
    connect(m_accept, &QPushButton::clicked, this, [this] {
        if (!m_terms->isChecked() || !m_privacy->isChecked())
            return;
        GeneralFlags::acceptLegal(m_defaults, QDateTime::currentDateTime());
        done(QDialog::Accepted);
        Q_EMIT acceptedLegal();
    });
}

QCheckBox *LegalAcceptanceView::checkRow(const char *titleKey, const char *contentKey, QBoxLayout *into)
{
    auto *box = new QCheckBox(qtTrId(titleKey));
    box->setAccessibleName(box->text());
    box->setAccessibleDescription(qtTrId("accessibility.legal.checkbox.hint"));
    auto *details = new QToolButton;
    details->setIcon(Icons::symbol(u"info.circle"));
    details->setAutoRaise(true);
    details->setToolTip(qtTrId("legal.show.details"));
    details->setAccessibleName(qtTrId("accessibility.legal.details") + QStringLiteral(": ") + box->text());
    details->setAccessibleDescription(qtTrId("accessibility.legal.details.hint"));
    connect(details, &QToolButton::clicked, this, [this, titleKey, contentKey] {
        auto *text = new LegalTextView(titleKey, contentKey, this);
        text->setAttribute(Qt::WA_DeleteOnClose);
        text->open();
    });
    auto *row = new QHBoxLayout;
    row->addWidget(box, 1);
    row->addWidget(details);
    into->addLayout(row);
    return box;
}

void LegalAcceptanceView::closeEvent(QCloseEvent *event)
{
    event->ignore();
}
