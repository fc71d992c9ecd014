#pragma once

#include "store/recordquery.h"
#include "store/renamerecord.h"

#include <QAbstractTableModel>
#include <QList>
#include <QPointer>
#include <QTimer>

class ObjectStore;

/**
 * The history records a search, the "reverted only" toggle and a column's order select, as the
 * five columns of the history table, fetched from SQL a page at a time as the view scrolls: the
 * first page of 100 000 records costs what the first page of 100 does.
 *
 * Follows the store live: once the event loop is idle after a change of the records, the rows
 * loaded so far are fetched again (never more than were shown) and the model updates changed rows
 * in place, inserts new ones at the top, or, for any other shift, resets to them. The relative
 * times are refreshed every half minute.
 */
class HistoryModel final : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { OriginalColumn, NewColumn, DateColumn, ProviderColumn, ActionColumn, ColumnCount };
    static constexpr int PageSize = 200;
    /** At most this many pages more for loadBatch: a batch sorted far down is not worth the whole history. */
    static constexpr int BatchPages = 10;

    explicit HistoryModel(ObjectStore *store, QObject *parent = nullptr);
    Q_DISABLE_COPY_MOVE(HistoryModel)

    [[nodiscard]] const RenameRecord &record(int row) const { return m_records.at(row); }
    /** What the list selects, in its order, without paging (what an export writes). */
    [[nodiscard]] RecordQuery query() const { return m_query; }
    /** How many records the list selects, loaded or not. */
    [[nodiscard]] qsizetype matching() const { return m_matching; }
    [[nodiscard]] bool historyIsEmpty() const { return m_historyEmpty; }

    /** Records whose old or new name contains `text` in any letter case (no trimming). */
    void setSearchText(const QString &text);
    void setRevertedOnly(bool revertedOnly);
    /** Whether the search and the toggle leave every record of `batch` in the list (also when it has none). */
    [[nodiscard]] bool listsAllOf(qint64 batch) const;
    /**
     * The rows of `batch`'s records, ascending, after fetching pages until all it lists are loaded
     * (at most BatchPages more): its newest may sit below the loaded rows in another order.
     */
    QList<int> loadBatch(qint64 batch);

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
    /** The first page of a new query; `counting` also counts what it selects (a COUNT is most of its cost). */
    void restart(bool counting = true);
    /** After a change in the store: the loaded rows again, as few signals as keep the view's place. */
    void refresh();
    void recount();
    [[nodiscard]] std::optional<QList<RenameRecord>> fetch(qsizetype offset, qsizetype limit) const;

    QPointer<ObjectStore> m_store;
    RecordQuery m_query;
    QList<RenameRecord> m_records;
    qsizetype m_matching = 0;
    bool m_historyEmpty = true;
    QTimer m_refresh;
    QTimer m_clock;
};
