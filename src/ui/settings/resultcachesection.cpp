#include "ui/settings/resultcachesection.h"

#include "common/stringtable.h"
#include "store/objectstore.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>

namespace {

QString counted(const char *id, qsizetype count)
{
    const int n = int(std::min<qsizetype>(count, INT_MAX));
    return StringTable::text(id, n).arg(QLocale(QLocale::German, QLocale::Germany).toString(n));
}

} // namespace

ResultCacheSection::ResultCacheSection(ObjectStore &store, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_summary(new QLabel)
    , m_clear(new QPushButton(StringTable::text("settings.cache.clear")))
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(m_summary, 1);
    row->addWidget(m_clear);
    m_summary->setWordWrap(true);
    m_clear->setAccessibleName(m_clear->text());
    connect(m_clear, &QPushButton::clicked, this, &ResultCacheSection::clear);
    showCount();
}

void ResultCacheSection::showEvent(QShowEvent *event)
{
    showCount();
    QWidget::showEvent(event);
}

void ResultCacheSection::showCount()
{
    const auto count = m_store.countCachedReplies();
    m_summary->setText(count ? counted("settings.cache.count", *count)
                             : StringTable::text("settings.cache.failed").arg(count.error().message()));
    m_clear->setEnabled(count && *count > 0);
    m_clear->setAccessibleDescription(m_summary->text());
}

void ResultCacheSection::clear()
{
    const auto cleared = m_store.clearCachedReplies();
    m_summary->setText(cleared ? counted("settings.cache.cleared", *cleared)
                               : StringTable::text("settings.cache.failed").arg(cleared.error().message()));
    m_clear->setEnabled(!cleared);
    m_clear->setAccessibleDescription(m_summary->text());
}
