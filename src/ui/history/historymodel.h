#pragma once

#include "store/recordquery.h"
#include "store/renamerecord.h"

#include <QAbstractItemModel>
#include <QList>
#include <QPointer>
#include <QTimer>

class ObjectStore;

/**
 * The history records a search, the "reverted only" toggle and a column's order select, as the
 * five columns of the history list, fetched from SQL a page at a time as the view scrolls: the
 * first page of 100 000 records costs what the first page of 100 does.
 *
 * In time order the records of one apply that follow each other form a group: a top-level row
 * ("Heute, 14:32 — 300 Dateien") whose children are its records; a batch of one is a plain row.
 * The groups are cut from the same flat pages (no second query order), so paging, search and
 * the toggle work as without them. In any other order every record is a top-level row.
 *
 * Follows the store live: once the event loop is idle after a change of the records, the rows
 * loaded so far are read again on a worker thread (never more than were shown), with the counts,
 * and the model updates changed rows
 * in place, inserts new ones at the top, or, for any other shift, resets to them. The relative
 * times are refreshed every half minute.
 */
class HistoryModel final : public QAbstractItemModel
{
    Q_OBJECT

public:
    enum Column { OriginalColumn, NewColumn, DateColumn, ProviderColumn, ActionColumn, ColumnCount };
    /** A group row's key (its first record's id, stable while it is listed); 0 on a record's row. */
    static constexpr int GroupKeyRole = Qt::UserRole;
    static constexpr int PageSize = 200;
    /** At most this many pages more for loadBatch: a batch sorted far down is not worth the whole history. */
    static constexpr int BatchPages = 10;

    explicit HistoryModel(ObjectStore *store, QObject *parent = nullptr);
    Q_DISABLE_COPY_MOVE(HistoryModel)

    /** The record of a record's row; of a group's row, its newest (first listed) record. */
    [[nodiscard]] const RenameRecord &record(const QModelIndex &index) const;
    /** The records a row stands for: itself, or a group's records loaded so far. */
    [[nodiscard]] QModelIndexList recordRows(const QModelIndex &index) const;
    [[nodiscard]] bool isGroup(const QModelIndex &index) const;
    /** Whether any record a row stands for is not reverted. */
    [[nodiscard]] bool revertable(const QModelIndex &index) const;
    /** What the list selects, in its order, without paging (what an export writes). */
    [[nodiscard]] RecordQuery query() const { return m_query; }
    /** How many records the list selects, loaded or not. */
    [[nodiscard]] qsizetype matching() const { return m_matching; }
    [[nodiscard]] bool historyIsEmpty() const { return m_historyEmpty; }
    /** Whether batches are shown as groups (the list is in time order). */
    [[nodiscard]] bool grouped() const { return m_query.order == RecordQuery::Order::time; }

    /** Records whose old or new name contains `text` in any letter case (no trimming). */
    void setSearchText(const QString &text);
    void setRevertedOnly(bool revertedOnly);
    /** Whether the search and the toggle leave every record of `batch` in the list (also when it has none). */
    [[nodiscard]] bool listsAllOf(qint64 batch) const;
    /**
     * The rows of `batch`'s records (column 0) in list order, after fetching pages until all it
     * lists are loaded (at most BatchPages more): its newest may sit below the loaded rows in
     * another order.
     */
    QModelIndexList loadBatch(qint64 batch);

    [[nodiscard]] QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    [[nodiscard]] QModelIndex parent(const QModelIndex &child) const override;
    [[nodiscard]] int rowCount(const QModelIndex &parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex &parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex &index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    [[nodiscard]] bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;
    /** Orders in SQL, by the column's value (names in any letter case); ties by age. */
    void sort(int column, Qt::SortOrder order) override;

Q_SIGNALS:
    /** matching() or historyIsEmpty() may have changed. */
    void countsChanged();

private:
    /** A top-level row: a run of `size` loaded records from `first` on, of one batch when grouped. */
    struct Node {
        qsizetype first = 0;
        qsizetype size = 1;
        qint64 key = 0;      ///< the first record's id
        qsizetype total = 1; ///< records of its batch the query lists, loaded or not
        friend bool operator==(const Node &, const Node &) = default;
    };

    /** The first page of a new query; `counting` also counts what it selects (a COUNT is most of its cost). */
    void restart(bool counting = true);
    /**
     * What a refresh found: the counts, and either the records now listed where the loaded ones
     * stood (`aligned` false: a reset to `records`), or the records new at the top and the loaded
     * ones that read differently now, by their offset among the loaded.
     */
    struct Snapshot {
        qsizetype matching = 0;
        bool historyEmpty = true;
        bool aligned = false;
        QList<RenameRecord> records;
        QList<std::pair<qsizetype, RenameRecord>> changed;
    };
    /** Reads as many records as `loaded` holds (at least a page) and compares them with it. */
    [[nodiscard]] static std::optional<Snapshot> read(const ObjectStore &store, const RecordQuery &query,
                                                      const QList<RenameRecord> &loaded);
    /**
     * After a change in the store: the loaded rows read again and compared on a worker thread
     * through a connection of its own, then `update`.
     */
    void refresh();
    /** `refresh` at once, on this thread. */
    void refreshNow();
    /** Takes in what a refresh found, with as few signals as keep the view's place. */
    void update(Snapshot snapshot);
    void recount();
    [[nodiscard]] std::optional<QList<RenameRecord>> fetch(qsizetype offset, qsizetype limit) const;
    /** The top-level rows of `records` from `from` on; the last one's total asked of the store when not all are loaded.
     */
    [[nodiscard]] QList<Node> nodesOf(const QList<RenameRecord> &records, qsizetype from) const;
    void setNodes(QList<Node> nodes);
    /** The row of `record` in the flat list: its index. */
    [[nodiscard]] QModelIndex indexOfRecord(qsizetype record, int column) const;
    [[nodiscard]] const Node *nodeOf(const QModelIndex &index) const;
    [[nodiscard]] QVariant groupData(const Node &node, int column, int role) const;

    QPointer<ObjectStore> m_store;
    RecordQuery m_query;
    QList<RenameRecord> m_records;
    QList<Node> m_nodes;
    QHash<qint64, int> m_rowOfKey;
    qsizetype m_matching = 0;
    bool m_historyEmpty = true;
    QTimer m_refresh;
    /** Counts the changes of m_records a refresh did not make: a read begun before one is stale. */
    quint64 m_generation = 0;
    bool m_reading = false;
    QTimer m_clock;
};
