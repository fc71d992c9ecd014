#include "ui/files/jobfiltermodel.h"

#include "common/unicodetext.h"
#include "ui/files/joblistmodel.h"

#include <algorithm>

namespace {

QString folded(const QString &text)
{
    return UnicodeText::nfc(text).toCaseFolded();
}

} // namespace

JobFilterModel::JobFilterModel(QObject *parent)
    : QSortFilterProxyModel(parent)
{
}

void JobFilterModel::setState(State state)
{
    if (state == m_state)
        return;
    m_state = state;
    invalidateRowsFilter();
}

void JobFilterModel::setText(const QString &text)
{
    const QString wanted = folded(text.trimmed());
    if (wanted == m_folded)
        return;
    m_folded = wanted;
    invalidateRowsFilter();
}

int JobFilterModel::hiddenCount() const
{
    return sourceModel() ? sourceModel()->rowCount() - rowCount() : 0;
}

bool JobFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    const QModelIndex row = sourceModel()->index(sourceRow, 0, sourceParent);
    switch (m_state) {
    case State::all:
        break;
    case State::unchecked:
        if (!row.data(JobListModel::UncheckedRole).toBool())
            return false;
        break;
    case State::failed:
        if (row.data(JobListModel::FailureReasonRole).toString().isEmpty())
            return false;
        break;
    }
    if (m_folded.isEmpty())
        return true;
    // Below U+0300 (the first combining mark) a name is NFC already and needs no copy; the
    // comparison folds case as toCaseFolded does.
    const auto matches = [this](const QString &name) {
        const bool plain = std::ranges::all_of(name, [](QChar c) { return c.unicode() < 0x300; });
        return (plain ? name : UnicodeText::nfc(name)).contains(m_folded, Qt::CaseInsensitive);
    };
    return matches(row.data(JobListModel::OriginalNameRole).toString()) || matches(row.data(Qt::EditRole).toString());
}
