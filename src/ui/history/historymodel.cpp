#include "historymodel.h"

#include "relativetime.h"
#include "store/objectstore.h"

#include <QFont>
#include <QGuiApplication>
#include <QLocale>
#include <QPalette>

#include <algorithm>
#include <array>

namespace {

bool shownAlike(const RenameRecord &a, const RenameRecord &b)
{
    return a.id == b.id && a.reverted == b.reverted && a.originalName == b.originalName && a.newName == b.newName &&
           a.originalPath == b.originalPath && a.newPath == b.newPath && a.timestamp == b.timestamp &&
           a.providerUsed == b.providerUsed && a.batch == b.batch;
}

} // namespace

HistoryModel::HistoryModel(ObjectStore *store, QObject *parent)
    : QAbstractTableModel(parent)
    , m_store(store)
{
    m_refresh.setSingleShot(true);
    m_refresh.setInterval(0);
    connect(&m_refresh, &QTimer::timeout, this, &HistoryModel::refresh);
    if (store) {
        connect(store, &ObjectStore::changed, this, [this](ObjectStore::Kind kind) {
            if (kind == ObjectStore::Kind::records)
                m_refresh.start();
        });
    }
    m_clock.setInterval(30'000);
    connect(&m_clock, &QTimer::timeout, this, [this] {
        if (!m_records.isEmpty())
            Q_EMIT dataChanged(index(0, DateColumn), index(rowCount() - 1, DateColumn), {Qt::DisplayRole});
    });
    m_clock.start();
    restart();
}

void HistoryModel::setSearchText(const QString &text)
{
    const std::optional<QString> search = text.isEmpty() ? std::nullopt : std::optional(text);
    if (search == m_query.search)
        return;
    m_query.search = search;
    restart();
}

void HistoryModel::setRevertedOnly(bool revertedOnly)
{
    const std::optional<bool> reverted = revertedOnly ? std::optional(true) : std::nullopt;
    if (reverted == m_query.reverted)
        return;
    m_query.reverted = reverted;
    restart();
}

bool HistoryModel::listsAllOf(qint64 batch) const
{
    if (!m_store)
        return true;
    RecordQuery listed = m_query;
    listed.batch = batch;
    const auto shown = m_store->countRecords(listed);
    RecordQuery whole;
    whole.batch = batch;
    const auto all = m_store->countRecords(whole);
    return !shown || !all || shown->records >= all->records;
}

QList<int> HistoryModel::loadBatch(qint64 batch)
{
    // Called on a notification's press: a rename just made may still wait for the refresh.
    if (m_refresh.isActive()) {
        m_refresh.stop();
        refresh();
    }
    qsizetype wanted = 0;
    if (m_store) {
        RecordQuery listed = m_query;
        listed.batch = batch;
        if (const auto counted = m_store->countRecords(listed))
            wanted = counted->records;
    }
    const auto rows = [&] {
        QList<int> found;
        for (qsizetype row = 0; row < m_records.size(); ++row) {
            if (m_records.at(row).batch == batch)
                found << int(row);
        }
        return found;
    };
    QList<int> found = rows();
    for (int page = 0; page < BatchPages && found.size() < wanted && canFetchMore({}); ++page) {
        fetchMore({});
        found = rows();
    }
    return found;
}

void HistoryModel::sort(int column, Qt::SortOrder order)
{
    using Order = RecordQuery::Order;
    static constexpr std::array<Order, ColumnCount> orders{Order::originalName, Order::newName, Order::time,
                                                           Order::provider, Order::reverted};
    if (column < 0 || column >= ColumnCount)
        return;
    const bool ascending = order == Qt::AscendingOrder;
    if (orders[std::size_t(column)] == m_query.order && ascending == m_query.ascending)
        return;
    m_query.order = orders[std::size_t(column)];
    m_query.ascending = ascending;
    restart(false); // the same records, so the same counts
}

std::optional<QList<RenameRecord>> HistoryModel::fetch(qsizetype offset, qsizetype limit) const
{
    if (!m_store)
        return QList<RenameRecord>();
    RecordQuery page = m_query;
    page.offset = offset;
    page.limit = limit;
    auto fetched = m_store->fetchRecords(page);
    return fetched ? std::optional(std::move(*fetched)) : std::nullopt;
}

void HistoryModel::recount()
{
    if (!m_store)
        return;
    if (const auto counted = m_store->countRecords(m_query))
        m_matching = counted->records;
    // Whether a search found nothing or there is nothing to find: a second count only then.
    if (m_matching > 0)
        m_historyEmpty = false;
    else if (const auto all = m_store->countRecords())
        m_historyEmpty = all->records == 0;
    Q_EMIT countsChanged();
}

void HistoryModel::restart(bool counting)
{
    auto first = fetch(0, PageSize);
    beginResetModel();
    m_records = first ? std::move(*first) : QList<RenameRecord>();
    endResetModel();
    if (counting)
        recount();
}

bool HistoryModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && m_records.size() < m_matching;
}

void HistoryModel::fetchMore(const QModelIndex &parent)
{
    if (!canFetchMore(parent))
        return;
    const auto page = fetch(m_records.size(), PageSize);
    if (!page || page->isEmpty()) {
        m_matching = m_records.size(); // fewer than counted: stop asking
        return;
    }
    beginInsertRows({}, int(m_records.size()), int(m_records.size() + page->size() - 1));
    m_records.append(*page);
    endInsertRows();
}

void HistoryModel::refresh()
{
    const qsizetype loaded = m_records.size();
    const qsizetype limit = std::max<qsizetype>(loaded, PageSize);
    auto fetched = fetch(0, limit);
    if (!fetched)
        return; // a failed read keeps the list shown
    const QList<RenameRecord> now = std::move(*fetched);
    const bool complete = now.size() < limit; // every record the query selects
    // New records at the top (the usual change, newest first) are inserted there; the rows
    // loaded below keep their place in the order.
    qsizetype added = 0;
    if (loaded > 0) {
        const auto found = std::ranges::find(now, m_records.first().id, &RenameRecord::id);
        added = found == now.end() ? -1 : qsizetype(found - now.begin());
    }
    bool aligned = added >= 0 && (!complete || now.size() - added >= loaded);
    for (qsizetype i = 0; aligned && i < std::min(loaded, now.size() - added); ++i)
        aligned = now.at(i + added).id == m_records.at(i).id;
    if (!aligned) {
        beginResetModel();
        m_records = now;
        endResetModel();
        recount();
        return;
    }
    if (added > 0) {
        beginInsertRows({}, 0, int(added - 1));
        m_records = now.first(added) + m_records;
        endInsertRows();
    }
    // A revert, or another edit in place: only the rows that now read differently.
    const qsizetype overlap = std::min(m_records.size(), now.size());
    for (qsizetype row = added; row < overlap; ++row) {
        if (!shownAlike(m_records.at(row), now.at(row))) {
            m_records[row] = now.at(row);
            Q_EMIT dataChanged(index(int(row), 0), index(int(row), ColumnCount - 1));
        }
    }
    // Fewer than a page was loaded and more came after it.
    if (now.size() > m_records.size()) {
        beginInsertRows({}, int(m_records.size()), int(now.size() - 1));
        m_records.append(now.mid(m_records.size()));
        endInsertRows();
    }
    recount();
}

int HistoryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_records.size());
}
int HistoryModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant HistoryModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const RenameRecord &r = m_records.at(index.row());
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        switch (column) {
        case OriginalColumn:
            return r.originalName;
        case NewColumn:
            return r.newName;
        case DateColumn:
            return relativeTimeText(r.timestamp, QDateTime::currentDateTimeUtc());
        case ProviderColumn:
            return r.providerUsed;
        default:
            return r.reverted ? qtTrId("history.reverted") : qtTrId("history.revert");
        }
    case Qt::ToolTipRole:
        switch (column) {
        case OriginalColumn:
            return r.originalPath;
        case NewColumn:
            return r.newPath;
        case DateColumn:
            return QLocale(QLocale::German).toString(r.timestamp.toLocalTime(), QLocale::LongFormat);
        case ActionColumn:
            return r.reverted ? QVariant() : qtTrId("history.revert.tooltip").arg(r.originalName);
        default:
            return {};
        }
    case Qt::AccessibleDescriptionRole:
        // A screen reader reads the cell alone: "Rückgängig" says what, this says of which file.
        if (column == ActionColumn)
            return r.reverted ? qtTrId("history.reverted.description").arg(r.originalName)
                              : qtTrId("history.revert.tooltip").arg(r.originalName);
        return {};
    case Qt::FontRole:
        if (column == OriginalColumn && r.reverted) {
            QFont font;
            font.setStrikeOut(true);
            return font;
        }
        return {};
    case Qt::ForegroundRole:
        // The revert "button" is borderless: link-coloured text; the done state is tertiary text.
        if (column == ActionColumn)
            return QGuiApplication::palette().brush(r.reverted ? QPalette::PlaceholderText : QPalette::Link);
        return {};
    case Qt::TextAlignmentRole:
        return column == ActionColumn ? QVariant(Qt::AlignCenter) : QVariant(Qt::AlignVCenter | Qt::AlignLeft);
    default:
        return {};
    }
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case OriginalColumn:
        return qtTrId("history.original");
    case NewColumn:
        return qtTrId("history.new");
    case DateColumn:
        return qtTrId("history.date");
    case ProviderColumn:
        return qtTrId("history.provider");
    default:
        return {};
    }
}
