#include "historyactions.h"

#include "historymodel.h"
#include "ui/common/filemanager.h"

#include <QAbstractItemView>
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QItemSelectionModel>

#include <QSet>

#include <algorithm>

HistoryActions::HistoryActions(QAbstractItemView *table, HistoryModel *model)
    : QObject(table)
    , m_table(table)
    , m_model(model)
{
    const auto makeAction = [this](const char *id, const QString &name, void (HistoryActions::*slot)()) {
        auto *action = new QAction(qtTrId(id), m_table);
        action->setObjectName(name);
        // Only while the table has focus: elsewhere Ctrl+C belongs to the text fields.
        action->setShortcutContext(Qt::WidgetShortcut);
        connect(action, &QAction::triggered, this, slot);
        m_table->addAction(action);
        return action;
    };
    m_revert = makeAction("history.revert", QStringLiteral("historyRevertSelected"), &HistoryActions::requestRevert);
    m_showInFolder =
        makeAction("history.showInFolder", QStringLiteral("historyShowInFolder"), &HistoryActions::showSelected);
    m_copyPath = makeAction("history.copyPath", QStringLiteral("historyCopyPath"), &HistoryActions::copySelected);
    m_copyPath->setShortcut(QKeySequence::Copy);

    // A row can turn reverted while selected, by its button or from elsewhere.
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this, &HistoryActions::updateEnabled);
    connect(m_model, &HistoryModel::dataChanged, this, &HistoryActions::updateEnabled);
    connect(m_model, &HistoryModel::modelReset, this, &HistoryActions::updateEnabled);
    updateEnabled();
}

QString HistoryActions::currentPath(const RenameRecord &record)
{
    return record.reverted ? record.originalPath : record.newPath;
}

QModelIndexList HistoryActions::selectedRecords() const
{
    QModelIndexList rows;
    QSet<QModelIndex> seen;
    // Top-level rows in order, each group's records after it: the order the list shows.
    QModelIndexList selected = m_table->selectionModel()->selectedRows();
    const auto position = [](const QModelIndex &index) {
        return index.parent().isValid() ? std::pair(index.parent().row(), index.row()) : std::pair(index.row(), -1);
    };
    std::ranges::sort(selected, {}, position);
    for (const QModelIndex &index : std::as_const(selected)) {
        for (const QModelIndex &row : m_model->recordRows(index)) {
            if (!seen.contains(row)) {
                seen.insert(row);
                rows << row;
            }
        }
    }
    return rows;
}

void HistoryActions::updateEnabled()
{
    const QModelIndexList rows = selectedRecords();
    m_showInFolder->setEnabled(!rows.isEmpty());
    m_copyPath->setEnabled(!rows.isEmpty());
    m_revert->setEnabled(
        std::ranges::any_of(rows, [this](const QModelIndex &row) { return !m_model->record(row).reverted; }));
}

void HistoryActions::requestRevert()
{
    QModelIndexList rows = selectedRecords();
    rows.removeIf([this](const QModelIndex &row) { return m_model->record(row).reverted; });
    // Newest first, whatever the list's order: a name a later rename freed may be an earlier one's old name.
    std::ranges::sort(rows, [this](const QModelIndex &a, const QModelIndex &b) {
        const RenameRecord &x = m_model->record(a), &y = m_model->record(b);
        return x.timestamp != y.timestamp ? x.timestamp > y.timestamp : x.id > y.id;
    });
    QList<QPersistentModelIndex> revertable;
    for (const QModelIndex &row : std::as_const(rows))
        revertable << QPersistentModelIndex(row.siblingAtColumn(HistoryModel::ActionColumn));
    if (!revertable.isEmpty())
        Q_EMIT revertRequested(revertable);
}

void HistoryActions::showSelected()
{
    QStringList paths;
    for (const QModelIndex &row : selectedRecords())
        paths << currentPath(m_model->record(row));
    const QStringList gone = FileManager::showItems(paths, this);
    if (!gone.isEmpty())
        Q_EMIT problem(qtTrId("history.showMissing", int(gone.size())).arg(gone.front()));
}

void HistoryActions::copySelected()
{
    QStringList paths;
    for (const QModelIndex &row : selectedRecords())
        paths << currentPath(m_model->record(row));
    if (!paths.isEmpty())
        QGuiApplication::clipboard()->setText(paths.join(u'\n'));
}
