#include "ui/settings/storedcountsection.h"

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

StoredCountSection::StoredCountSection(Texts texts, Counting count, Counting clear, QWidget *parent)
    : QWidget(parent)
    , m_texts(texts)
    , m_count(std::move(count))
    , m_clearStore(std::move(clear))
    , m_summary(new QLabel)
    , m_clear(new QPushButton(StringTable::text(texts.button)))
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(m_summary, 1);
    row->addWidget(m_clear);
    m_summary->setWordWrap(true);
    m_clear->setAccessibleName(m_clear->text());
    connect(m_clear, &QPushButton::clicked, this, &StoredCountSection::clear);
    showCount();
}

StoredCountSection *StoredCountSection::replyCache(ObjectStore &store)
{
    return new StoredCountSection(
        {"settings.cache.clear", "settings.cache.count", "settings.cache.cleared", "settings.cache.failed"},
        [&store] { return store.countCachedReplies(); }, [&store] { return store.clearCachedReplies(); });
}

StoredCountSection *StoredCountSection::learnedSenders(ObjectStore &store)
{
    return new StoredCountSection(
        {"settings.learned.clear", "settings.learned.count", "settings.learned.cleared", "settings.learned.failed"},
        [&store]() -> std::expected<qsizetype, StoreError> {
            const auto senders = store.learnedSenders();
            if (!senders)
                return std::unexpected(senders.error());
            return senders->size();
        },
        [&store] { return store.forgetSenders(); });
}

void StoredCountSection::showEvent(QShowEvent *event)
{
    showCount();
    QWidget::showEvent(event);
}

void StoredCountSection::showCount()
{
    const auto count = m_count();
    m_summary->setText(count ? counted(m_texts.count, *count)
                             : StringTable::text(m_texts.failed).arg(count.error().message()));
    m_clear->setEnabled(count && *count > 0);
    m_clear->setAccessibleDescription(m_summary->text());
}

void StoredCountSection::clear()
{
    const auto cleared = m_clearStore();
    m_summary->setText(cleared ? counted(m_texts.cleared, *cleared)
                               : StringTable::text(m_texts.failed).arg(cleared.error().message()));
    m_clear->setEnabled(!cleared);
    m_clear->setAccessibleDescription(m_summary->text());
}
