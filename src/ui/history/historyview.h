#pragma once

#include "store/recordquery.h"

#include <QCoroTask>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QWidget>

#include <optional>

class EmptyHint;
class QCheckBox;
class HistoryActions;
class HistoryModel;
class ObjectStore;
class QLabel;
class QLineEdit;
class QModelIndex;
class QPoint;
class QTableView;
class QTimer;

/**
 * The history section: every rename, newest first or by any column, live from the store and
 * paged in as the table scrolls; a search over the old and new names, a reverted-only toggle, the
 * count of rows listed, a revert per row (and of the row's whole batch from its context menu), the
 * selected rows' actions of a file manager's list (HistoryActions) and the export of the listed
 * rows as CSV or JSON, read and written off the GUI thread.
 */
class HistoryView final : public QWidget
{
    Q_OBJECT

public:
    explicit HistoryView(ObjectStore *store, QWidget *parent = nullptr);
    Q_DISABLE_COPY_MOVE(HistoryView)

    /**
     * Selects the rows of `batch` (those loaded, see HistoryModel::loadBatch) and scrolls to them;
     * a search or the reverted-only toggle that hides any of them is cleared first. A batch not in
     * the history leaves the list as it is.
     */
    void showBatch(qint64 batch);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum class ExportFormat { csv, json };

    QWidget *makeHeader();
    void makeTable();
    QCoro::Task<> revertRow(QModelIndex index);
    /** The selection's menu: its actions and "Stapel rückgängig", which undoes the apply `index` was part of. */
    void openRowMenu(const QModelIndex &index, const QPoint &at);
    /** Each row as revertRow does it, one after the other, the failures summed up in one line. */
    QCoro::Task<> revertRows(QList<QPersistentModelIndex> rows);
    QCoro::Task<> revertBatchOf(qint64 batch);
    void exportListed(ExportFormat format);
    void writeExport(const QString &path, const RecordQuery &listed, ExportFormat format);
    void updateCount();
    /** A German failure line above the table; empty hides it. */
    void showProblem(const QString &text);

    QPointer<ObjectStore> m_store;
    HistoryModel *m_model;
    QLineEdit *m_search = nullptr;
    QCheckBox *m_revertedOnly = nullptr;
    QLabel *m_count = nullptr;
    QLabel *m_problem = nullptr;
    QTableView *m_table = nullptr;
    HistoryActions *m_actions = nullptr;
    /** While revertRows runs: the failures showProblem was given. */
    std::optional<QStringList> m_problems;
    EmptyHint *m_emptyHint = nullptr;
    QTimer *m_searchLater = nullptr;
};
