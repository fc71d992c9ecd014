#include "historymodel.h"

#include "relativetime.h"
#include "store/objectstore.h"

#include <QFont>
#include <QFutureWatcher>
#include <QGuiApplication>
#include <QLocale>
#include <QPalette>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <array>

namespace {

bool shownAlike(const RenameRecord &a, const RenameRecord &b)
{
    return a.id == b.id && a.reverted == b.reverted && a.originalName == b.originalName && a.newName == b.newName &&
           a.originalPath == b.originalPath && a.newPath == b.newPath && a.timestamp == b.timestamp &&
           a.providerUsed == b.providerUsed && a.batch == b.batch;
}

// A group's rows carry its key as their internal id; a top-level row carries none.
constexpr quintptr TopLevel = 0;

} // namespace

HistoryModel::HistoryModel(ObjectStore *store, QObject *parent)
    : QAbstractItemModel(parent)
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
        if (m_nodes.isEmpty())
            return;
        Q_EMIT dataChanged(index(0, DateColumn), index(int(m_nodes.size() - 1), DateColumn), {Qt::DisplayRole});
        for (int row = 0; row < m_nodes.size(); ++row) {
            if (m_nodes.at(row).size > 1) {
                const QModelIndex group = index(row, 0);
                Q_EMIT dataChanged(index(0, DateColumn, group), index(rowCount(group) - 1, DateColumn, group),
                                   {Qt::DisplayRole});
            }
        }
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

QModelIndexList HistoryModel::loadBatch(qint64 batch)
{
    // Called on a notification's press: a rename just made may still wait for the refresh.
    if (m_refresh.isActive() || m_reading) {
        m_refresh.stop();
        refreshNow();
    }
    qsizetype wanted = 0;
    if (m_store) {
        RecordQuery listed = m_query;
        listed.batch = batch;
        if (const auto counted = m_store->countRecords(listed))
            wanted = counted->records;
    }
    const auto found = [&] {
        QList<qsizetype> at;
        for (qsizetype i = 0; i < m_records.size(); ++i) {
            if (m_records.at(i).batch == batch)
                at << i;
        }
        return at;
    };
    QList<qsizetype> records = found();
    for (int page = 0; page < BatchPages && records.size() < wanted && canFetchMore({}); ++page) {
        fetchMore({});
        records = found();
    }
    QModelIndexList rows;
    for (const qsizetype i : std::as_const(records))
        rows << indexOfRecord(i, 0);
    return rows;
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

QList<HistoryModel::Node> HistoryModel::nodesOf(const QList<RenameRecord> &records, qsizetype from) const
{
    QList<Node> nodes;
    for (qsizetype i = from; i < records.size(); ++i) {
        if (grouped() && !nodes.isEmpty() && records.at(i).batch == records.at(nodes.last().first).batch) {
            ++nodes.last().size;
            nodes.last().total = nodes.last().size;
        } else {
            nodes.append(Node{i, 1, records.at(i).id, 1});
        }
    }
    // The last group may go on below the loaded records: its count is the batch's, asked of the store.
    // (A last plain row may be a group's start too; the next page shows it.)
    if (grouped() && !nodes.isEmpty() && nodes.last().size > 1 && records.size() < m_matching && m_store) {
        RecordQuery listed = m_query;
        listed.batch = records.at(nodes.last().first).batch;
        if (const auto counted = m_store->countRecords(listed))
            nodes.last().total = std::max(nodes.last().size, counted->records);
    }
    return nodes;
}

void HistoryModel::setNodes(QList<Node> nodes)
{
    m_nodes = std::move(nodes);
    // Only groups have children that look their row up.
    m_rowOfKey.clear();
    for (int row = 0; row < m_nodes.size(); ++row) {
        if (m_nodes.at(row).size > 1)
            m_rowOfKey.insert(m_nodes.at(row).key, row);
    }
}

void HistoryModel::restart(bool counting)
{
    ++m_generation;
    auto first = fetch(0, PageSize);
    if (counting)
        recount();
    beginResetModel();
    m_records = first ? std::move(*first) : QList<RenameRecord>();
    setNodes(nodesOf(m_records, 0));
    endResetModel();
}

bool HistoryModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && m_records.size() < m_matching;
}

void HistoryModel::fetchMore(const QModelIndex &parent)
{
    if (!canFetchMore(parent))
        return;
    // The rest of a group cut by the page goes with the next page, so each fetch adds a row
    // to the top level: a view asks again only when it sees the last row.
    qsizetype limit = PageSize;
    if (!m_nodes.isEmpty())
        limit += m_nodes.last().total - m_nodes.last().size;
    const auto page = fetch(m_records.size(), limit);
    if (!page || page->isEmpty()) {
        m_matching = m_records.size(); // fewer than counted: stop asking
        return;
    }
    ++m_generation;
    const qsizetype from = m_nodes.isEmpty() ? 0 : m_nodes.last().first;
    // The rows are m_nodes: records beyond them are not shown until the nodes say so.
    m_records.append(*page);
    QList<Node> tail = nodesOf(m_records, from);
    QList<Node> nodes = m_nodes;
    const int lastRow = int(nodes.size() - 1);
    // The last row goes on: it gains records (and, from a plain row, becomes a group).
    if (!nodes.isEmpty()) {
        const Node before = nodes.takeLast();
        const Node after = tail.takeFirst();
        nodes.append(after);
        if (after.size > before.size) {
            const QModelIndex group = index(lastRow, 0);
            const int shown = before.size > 1 ? int(before.size) : 0;
            beginInsertRows(group, shown, int(after.size - 1));
            setNodes(nodes);
            endInsertRows();
        } else {
            setNodes(nodes);
        }
        if (after != before)
            Q_EMIT dataChanged(index(lastRow, 0), index(lastRow, ColumnCount - 1));
    }
    if (!tail.isEmpty()) {
        beginInsertRows({}, int(nodes.size()), int(nodes.size() + tail.size() - 1));
        setNodes(nodes + tail);
        endInsertRows();
    }
}

std::optional<HistoryModel::Snapshot> HistoryModel::read(const ObjectStore &store, const RecordQuery &query,
                                                         const QList<RenameRecord> &loaded)
{
    RecordQuery page = query;
    page.limit = std::max<qsizetype>(loaded.size(), PageSize);
    auto fetched = store.fetchRecords(page);
    const auto counted = store.countRecords(query);
    if (!fetched || !counted)
        return std::nullopt; // a failed read keeps the list shown
    Snapshot snapshot{counted->records, false, false, {}, {}};
    // Whether a search found nothing or there is nothing to find: a second count only then.
    if (snapshot.matching == 0) {
        const auto all = store.countRecords();
        snapshot.historyEmpty = !all || all->records == 0;
    }
    QList<RenameRecord> now = std::move(*fetched);
    // New records at the top (the usual change, newest first) come before the loaded ones, which
    // keep their place in the order; any other shift is a reset.
    qsizetype added = 0;
    if (!loaded.isEmpty()) {
        const auto found = std::ranges::find(now, loaded.first().id, &RenameRecord::id);
        added = found == now.end() ? -1 : qsizetype(found - now.begin());
    }
    const qsizetype overlap = now.size() - added; // of the loaded records, those read again
    snapshot.aligned = added >= 0 && overlap <= loaded.size() && (overlap == loaded.size() || now.size() == page.limit);
    for (qsizetype i = 0; snapshot.aligned && i < overlap; ++i)
        snapshot.aligned = now.at(i + added).id == loaded.at(i).id;
    if (!snapshot.aligned) {
        snapshot.records = std::move(now);
        return snapshot;
    }
    for (qsizetype i = 0; i < overlap; ++i) {
        if (!shownAlike(loaded.at(i), now.at(i + added)))
            snapshot.changed.append({i, now.at(i + added)});
    }
    snapshot.records = now.first(added);
    return snapshot;
}

void HistoryModel::refreshNow()
{
    if (!m_store)
        return;
    ++m_generation; // a read under way is stale now
    if (auto snapshot = read(*m_store, m_query, m_records))
        update(std::move(*snapshot));
}

void HistoryModel::refresh()
{
    // Counting 100 000 records takes tens of milliseconds, reading all loaded ones a third of a
    // second: the GUI thread only takes in the difference.
    if (!m_store)
        return;
    if (m_reading) {
        ++m_generation; // the read under way comes back stale and is done again
        return;
    }
    m_reading = true;
    const quint64 generation = m_generation;
    auto work = [path = m_store->filePath(), query = m_query, loaded = m_records]() mutable -> std::optional<Snapshot> {
        const auto store = ObjectStore::open(path);
        auto snapshot = store ? read(**store, query, loaded) : std::nullopt;
        // Let go of the list before the GUI thread hears of the result: sharing it would make
        // the next change of the model copy every record.
        loaded = {};
        return snapshot;
    };
    auto *watcher = new QFutureWatcher<std::optional<Snapshot>>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, generation] {
        watcher->deleteLater();
        m_reading = false;
        if (generation != m_generation)
            m_refresh.start(); // the list changed meanwhile: read what it holds now
        else if (std::optional<Snapshot> snapshot = watcher->future().takeResult())
            update(std::move(*snapshot));
    });
    watcher->setFuture(QtConcurrent::run(std::move(work)));
}

void HistoryModel::update(Snapshot snapshot)
{
    m_matching = snapshot.matching;
    m_historyEmpty = snapshot.historyEmpty;
    Q_EMIT countsChanged();
    const auto reset = [&] {
        beginResetModel();
        setNodes(nodesOf(m_records, 0));
        endResetModel();
    };
    if (!snapshot.aligned) {
        m_records = std::move(snapshot.records);
        return reset();
    }
    const qsizetype added = snapshot.records.size();
    const QList<Node> nodesBefore = m_nodes;
    // Rows come from m_nodes: the records may go in before the rows say so.
    if (added > 0)
        m_records = snapshot.records + m_records;
    for (const auto &[offset, record] : std::as_const(snapshot.changed))
        m_records[offset + added] = record;
    const QList<Node> fresh = nodesOf(m_records, 0);
    const auto newRows = std::ranges::count_if(fresh, [&](const Node &node) { return node.first < added; });
    const bool kept = fresh.size() - newRows == nodesBefore.size() &&
                      std::ranges::equal(fresh.mid(newRows), nodesBefore, [&](const Node &a, const Node &b) {
                          return a.key == b.key && a.size == b.size && a.first == b.first + added;
                      });
    if (!kept)
        return reset();
    if (newRows > 0)
        beginInsertRows({}, 0, int(newRows - 1));
    setNodes(fresh);
    if (newRows > 0)
        endInsertRows();
    // A revert, or another edit in place: only the rows that now read differently, and their group's.
    for (const auto &change : std::as_const(snapshot.changed)) {
        const QModelIndex row = indexOfRecord(change.first + added, 0);
        Q_EMIT dataChanged(row, row.siblingAtColumn(ColumnCount - 1));
        if (row.parent().isValid())
            Q_EMIT dataChanged(row.parent(), row.parent().siblingAtColumn(ColumnCount - 1));
    }
    for (qsizetype row = newRows; row < fresh.size(); ++row) {
        if (fresh.at(row).total != nodesBefore.at(row - newRows).total)
            Q_EMIT dataChanged(index(int(row), 0), index(int(row), ColumnCount - 1));
    }
}

const HistoryModel::Node *HistoryModel::nodeOf(const QModelIndex &index) const
{
    if (!index.isValid())
        return nullptr;
    if (index.internalId() == TopLevel)
        return index.row() < m_nodes.size() ? &m_nodes.at(index.row()) : nullptr;
    const auto row = m_rowOfKey.constFind(qint64(index.internalId()));
    return row == m_rowOfKey.cend() ? nullptr : &m_nodes.at(*row);
}

QModelIndex HistoryModel::indexOfRecord(qsizetype record, int column) const
{
    const auto node = std::ranges::upper_bound(m_nodes, record, {}, &Node::first) - 1;
    const int row = int(node - m_nodes.begin());
    if (node->size == 1)
        return index(row, column);
    return index(int(record - node->first), column, index(row, 0));
}

const RenameRecord &HistoryModel::record(const QModelIndex &index) const
{
    const Node *node = nodeOf(index);
    Q_ASSERT(node);
    return m_records.at(node->first + (index.internalId() == TopLevel ? 0 : index.row()));
}

bool HistoryModel::isGroup(const QModelIndex &index) const
{
    return index.isValid() && index.internalId() == TopLevel && nodeOf(index) && nodeOf(index)->size > 1;
}

QModelIndexList HistoryModel::recordRows(const QModelIndex &index) const
{
    if (!isGroup(index))
        return index.isValid() ? QModelIndexList{index.siblingAtColumn(0)} : QModelIndexList{};
    QModelIndexList rows;
    const QModelIndex group = index.siblingAtColumn(0);
    for (int row = 0; row < rowCount(group); ++row)
        rows << this->index(row, 0, group);
    return rows;
}

bool HistoryModel::revertable(const QModelIndex &index) const
{
    return std::ranges::any_of(recordRows(index), [this](const QModelIndex &row) { return !record(row).reverted; });
}

QModelIndex HistoryModel::index(int row, int column, const QModelIndex &parent) const
{
    if (row < 0 || column < 0 || column >= ColumnCount)
        return {};
    if (!parent.isValid())
        return row < m_nodes.size() ? createIndex(row, column, TopLevel) : QModelIndex();
    const Node *node = nodeOf(parent);
    if (!node || parent.internalId() != TopLevel || node->size < 2 || row >= node->size)
        return {};
    return createIndex(row, column, quintptr(node->key));
}

QModelIndex HistoryModel::parent(const QModelIndex &child) const
{
    if (!child.isValid() || child.internalId() == TopLevel)
        return {};
    const auto row = m_rowOfKey.constFind(qint64(child.internalId()));
    return row == m_rowOfKey.cend() ? QModelIndex() : createIndex(*row, 0, TopLevel);
}

int HistoryModel::rowCount(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return int(m_nodes.size());
    if (parent.column() != 0 || parent.internalId() != TopLevel)
        return 0;
    const Node *node = nodeOf(parent);
    return node && node->size > 1 ? int(node->size) : 0;
}

int HistoryModel::columnCount(const QModelIndex &) const
{
    return ColumnCount;
}

QVariant HistoryModel::groupData(const Node &node, int column, int role) const
{
    const RenameRecord &newest = m_records.at(node.first);
    const bool done = std::all_of(m_records.begin() + node.first, m_records.begin() + node.first + node.size,
                                  [](const RenameRecord &r) { return r.reverted; });
    switch (role) {
    case Qt::DisplayRole:
        switch (column) {
        case OriginalColumn:
            return qtTrId("history.batch", int(node.total))
                .arg(batchTimeText(newest.timestamp, QDateTime::currentDateTimeUtc()));
        case DateColumn:
            return relativeTimeText(newest.timestamp, QDateTime::currentDateTimeUtc());
        case ProviderColumn:
            return newest.providerUsed;
        case ActionColumn:
            return done ? qtTrId("history.reverted") : qtTrId("history.revertBatch");
        default:
            return {};
        }
    case Qt::ToolTipRole:
    case Qt::AccessibleDescriptionRole:
        if (column == DateColumn && role == Qt::ToolTipRole)
            return QLocale(QLocale::German).toString(newest.timestamp.toLocalTime(), QLocale::LongFormat);
        if (column == ActionColumn && !done)
            return qtTrId("history.revertBatch.tooltip", int(node.total));
        return {};
    case Qt::FontRole:
        if (column == OriginalColumn) {
            QFont font;
            font.setBold(true);
            return font;
        }
        return {};
    case Qt::ForegroundRole:
        if (column == ActionColumn)
            return QGuiApplication::palette().brush(done ? QPalette::PlaceholderText : QPalette::Link);
        return {};
    case Qt::TextAlignmentRole:
        return column == ActionColumn ? QVariant(Qt::AlignCenter) : QVariant(Qt::AlignVCenter | Qt::AlignLeft);
    case GroupKeyRole:
        return node.key;
    default:
        return {};
    }
}

QVariant HistoryModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    if (isGroup(index))
        return groupData(*nodeOf(index), index.column(), role);
    const RenameRecord &r = record(index);
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
