#pragma once

#include "store/renamerecord.h"

#include <QList>
#include <QObject>
#include <QPersistentModelIndex>

class HistoryModel;
class QAction;
class QAbstractItemView;

/**
 * What a file manager's list offers for its selected rows, as actions on the history table:
 * "Rückgängig", "Im Ordner anzeigen" and "Pfad kopieren" (Ctrl+C); a selected group stands for its
 * records. They live on the table so its
 * shortcuts work wherever the table has focus, and its context menu lists them, which is where
 * assistive technology finds them.
 */
class HistoryActions final : public QObject
{
    Q_OBJECT

public:
    HistoryActions(QAbstractItemView *table, HistoryModel *model);
    Q_DISABLE_COPY_MOVE(HistoryActions)

    [[nodiscard]] QAction *revert() const { return m_revert; }
    [[nodiscard]] QAction *showInFolder() const { return m_showInFolder; }
    [[nodiscard]] QAction *copyPath() const { return m_copyPath; }

    /** Where the record's file is now: its new name, or its old one once reverted. */
    [[nodiscard]] static QString currentPath(const RenameRecord &record);

Q_SIGNALS:
    /** The selected rows not yet reverted, newest first, each to be reverted as a row's button does it. */
    void revertRequested(const QList<QPersistentModelIndex> &rows);
    /** A German line for the failure line above the table. */
    void problem(const QString &text);

private:
    /** The records' rows the selection stands for (a group's row: its records), in list order. */
    [[nodiscard]] QModelIndexList selectedRecords() const;
    void updateEnabled();
    void requestRevert();
    void showSelected();
    void copySelected();

    QAbstractItemView *m_table;
    HistoryModel *m_model;
    QAction *m_revert;
    QAction *m_showInFolder;
    QAction *m_copyPath;
};
