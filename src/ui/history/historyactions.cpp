#include "historyactions.h"

#include "historymodel.h"
#include "ui/common/filemanager.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QTableView>

#include <algorithm>

HistoryActions::HistoryActions(QTableView *table, HistoryModel *model)
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

QList<int> HistoryActions::selectedRows() const
{
    QList<int> rows;
    for (const QModelIndex &index : m_table->selectionModel()->selectedRows())
        rows << index.row();
    std::ranges::sort(rows);
    return rows;
}

void HistoryActions::updateEnabled()
{
    const QList<int> rows = selectedRows();
    m_showInFolder->setEnabled(!rows.isEmpty());
    m_copyPath->setEnabled(!rows.isEmpty());
    m_revert->setEnabled(std::ranges::any_of(rows, [this](int row) { return !m_model->record(row).reverted; }));
}

void HistoryActions::requestRevert()
{
    QList<int> rows = selectedRows();
    rows.removeIf([this](int row) { return m_model->record(row).reverted; });
    // Newest first, whatever the list's order: a name a later rename freed may be an earlier one's old name.
    std::ranges::sort(rows, [this](int a, int b) {
        const RenameRecord &x = m_model->record(a), &y = m_model->record(b);
        return x.timestamp != y.timestamp ? x.timestamp > y.timestamp : x.id > y.id;
    });
    QList<QPersistentModelIndex> revertable;
    for (const int row : std::as_const(rows))
        revertable << QPersistentModelIndex(m_model->index(row, HistoryModel::ActionColumn));
    if (!revertable.isEmpty())
        Q_EMIT revertRequested(revertable);
}

void HistoryActions::showSelected()
{
    QStringList paths;
    for (const int row : selectedRows())
        paths << currentPath(m_model->record(row));
    const QStringList gone = FileManager::showItems(paths, this);
    if (!gone.isEmpty())
        Q_EMIT problem(qtTrId("history.showMissing", int(gone.size())).arg(gone.front()));
}

void HistoryActions::copySelected()
{
    QStringList paths;
    for (const int row : selectedRows())
        paths << currentPath(m_model->record(row));
    if (!paths.isEmpty())
        QGuiApplication::clipboard()->setText(paths.join(u'\n'));
}
