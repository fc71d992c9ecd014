#include "ui/files/analysisprogressview.h"

#include "engine/renameengine.h"
#include "ui/common/icons.h"
#include "ui/common/palette.h"

#include <QFontDatabase>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

AnalysisProgressView::AnalysisProgressView(RenameEngine &engine, QWidget *parent)
    : QWidget(parent)
    , m_engine(engine)
    , m_bar(new QProgressBar)
    , m_count(new QLabel)
    , m_analyzing(new QLabel)
{
    m_bar->setMaximumWidth(300);
    m_bar->setTextVisible(false);
    m_bar->setAccessibleName(qtTrId("preview.analyzing"));

    QFont digits = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    digits.setPointSizeF(font().pointSizeF() * 1.5);
    m_count->setFont(digits);
    m_count->setForegroundRole(QPalette::PlaceholderText);
    m_count->setAlignment(Qt::AlignCenter);

    m_analyzing->setAlignment(Qt::AlignCenter);
    m_analyzing->setStyleSheet(QStringLiteral("color:%1;").arg(UIColors::tertiary(palette()).name()));

    auto *stop = new QPushButton(Icons::symbol(u"xmark.circle"), qtTrId("preview.stop"));
    connect(stop, &QPushButton::clicked, &m_engine, &RenameEngine::cancel);

    auto *column = new QVBoxLayout(this);
    column->setSpacing(16);
    column->addStretch(1);
    column->addWidget(m_bar, 0, Qt::AlignHCenter);
    column->addWidget(m_count);
    column->addWidget(m_analyzing);
    column->addWidget(stop, 0, Qt::AlignHCenter);
    column->addStretch(1);
    m_bar->setMinimumWidth(300);

    connect(&m_engine, &RenameEngine::progressChanged, this, &AnalysisProgressView::refresh);
    connect(&m_engine, &RenameEngine::waitNoteChanged, this, &AnalysisProgressView::refresh);
    refresh();
}

void AnalysisProgressView::refresh()
{
    m_bar->setMaximum(std::max(1, m_engine.totalCount()));
    m_bar->setValue(std::min(m_engine.processedCount(), m_bar->maximum()));
    m_count->setText(qtTrId("preview.progress").arg(m_engine.processedCount()).arg(m_engine.totalCount()));
    m_analyzing->setText(m_engine.waitNote().value_or(qtTrId("preview.analyzing")));
}
