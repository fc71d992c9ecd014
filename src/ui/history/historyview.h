#pragma once

#include <QPointer>
#include <QWidget>

class EmptyHint;
class HistoryFilter;
class HistoryModel;
class ObjectStore;
class QLabel;
class QModelIndex;
class QPoint;
class QTableView;

/**
 * The history section: every rename, newest first, live from the store; a search over the old
 * and new names, a reverted-only toggle, the count of rows listed, a revert per row (and of the
 * row's whole batch from its context menu) and the export of the listed rows as CSV or JSON.
 */
class HistoryView final : public QWidget
{
    Q_OBJECT

public:
    explicit HistoryView(ObjectStore *store, QWidget *parent = nullptr);
    Q_DISABLE_COPY_MOVE(HistoryView)

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum class ExportFormat { csv, json };

    QWidget *makeHeader();
    void makeTable();
    void revertRow(const QModelIndex &index);
    /** The row's menu: "Stapel rückgängig" undoes the apply the row was part of. */
    void openRowMenu(const QModelIndex &index, const QPoint &at);
    void revertBatchOf(qint64 batch);
    void exportListed(ExportFormat format);
    void writeExport(const QString &path, const QByteArray &bytes);
    void updateCount();
    /** A German failure line above the table; empty hides it. */
    void showProblem(const QString &text);

    QPointer<ObjectStore> m_store;
    HistoryModel *m_model;
    HistoryFilter *m_filter;
    QLabel *m_count = nullptr;
    QLabel *m_problem = nullptr;
    QTableView *m_table = nullptr;
    EmptyHint *m_emptyHint = nullptr;
};
