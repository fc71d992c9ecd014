#pragma once

#include "store/recordquery.h"

#include <QCoroTask>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QWidget>

#include <optional>

class EmptyHint;
class FileWork;
class QCheckBox;
class HistoryActions;
class HistoryModel;
class ObjectStore;
class QLabel;
class QLineEdit;
class QModelIndex;
class QPoint;
class QPushButton;
class QTreeView;
class QTimer;

/**
 * The history section: every rename, newest first (each apply a group to expand) or by any column,
 * live from the store and paged in as the list scrolls; a search over the old and new names, a
 * reverted-only toggle, the count of rows listed, a revert per row (a group's row, the context
 * menu's "Stapel rückgängig" and the button above the list take back the row's whole batch), the
 * selected rows' actions of a file manager's list (HistoryActions) and the export of the listed
 * rows as CSV or JSON, read and written off the GUI thread. Its undos go through `work`, the
 * window's (a FileWork of its own when none is given), so the window's stop reaches them.
 */
class HistoryView final : public QWidget
{
    Q_OBJECT

public:
    explicit HistoryView(ObjectStore *store, FileWork *work = nullptr, QWidget *parent = nullptr);
    Q_DISABLE_COPY_MOVE(HistoryView)

    /**
     * Selects the rows of `batch` (those loaded, see HistoryModel::loadBatch), its group expanded, and scrolls to them;
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
    /** A record's row reverts its record, a group's row its batch. */
    QCoro::Task<> revertRow(QModelIndex index);
    /** The selection's menu: its actions and "Stapel rückgängig", which undoes the apply `index` was part of. */
    void openRowMenu(const QModelIndex &index, const QPoint &at);
    /** The rows' records in one undo, newest first, the failures summed up in one line. */
    QCoro::Task<> revertRows(QList<QPersistentModelIndex> rows);
    QCoro::Task<> revertBatchOf(qint64 batch);
    void exportListed(ExportFormat format);
    void writeExport(const QString &path, const RecordQuery &listed, ExportFormat format);
    void updateCount();
    void updateBatchButton();
    /** A German failure line above the table; empty hides it. */
    void showProblem(const QString &text);

    QPointer<ObjectStore> m_store;
    FileWork &m_work;
    HistoryModel *m_model;
    QLineEdit *m_search = nullptr;
    QCheckBox *m_revertedOnly = nullptr;
    QLabel *m_count = nullptr;
    QLabel *m_problem = nullptr;
    QTreeView *m_table = nullptr;
    QPushButton *m_revertBatch = nullptr;
    /** Across a reset of the model: the groups that were open, by their key. */
    QList<qint64> m_expanded;
    HistoryActions *m_actions = nullptr;
    /** While revertRows runs: a second selection waits for nothing, it is refused. */
    bool m_revertingRows = false;
    EmptyHint *m_emptyHint = nullptr;
    QTimer *m_searchLater = nullptr;
};
