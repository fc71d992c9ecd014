#include "historyfilter.h"

#include "historymodel.h"

HistoryFilter::HistoryFilter(HistoryModel *source, QObject *parent)
    : QSortFilterProxyModel(parent)
    , m_source(source)
{
    setSourceModel(source);
}

void HistoryFilter::setSearchText(const QString &text)
{
    const QString needle = text.toLower();
    if (needle == m_needle)
        return;
    m_needle = needle;
    invalidateFilter();
}

void HistoryFilter::setRevertedOnly(bool revertedOnly)
{
    if (revertedOnly == m_revertedOnly)
        return;
    m_revertedOnly = revertedOnly;
    invalidateFilter();
}

const RenameRecord &HistoryFilter::record(const QModelIndex &index) const
{
    return m_source->record(mapToSource(index).row());
}

QList<RenameRecord> HistoryFilter::records() const
{
    QList<RenameRecord> listed;
    listed.reserve(rowCount());
    for (int row = 0; row < rowCount(); ++row)
        listed.append(record(index(row, 0)));
    return listed;
}

bool HistoryFilter::filterAcceptsRow(int sourceRow, const QModelIndex &) const
{
    const RenameRecord &r = m_source->record(sourceRow);
    if (m_revertedOnly && !r.reverted)
        return false;
    return m_needle.isEmpty() || r.originalName.toLower().contains(m_needle) || r.newName.toLower().contains(m_needle);
}
