#include "historyview.h"

#include "common/stringtable.h"
#include "engine/filework.h"
#include "engine/renameengine.h"
#include "engine/undo.h"
#include "historyactions.h"
#include "historyexport.h"
#include "historymodel.h"
#include "store/objectstore.h"
#include "ui/common/emptyhint.h"
#include "ui/uilog.h"

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QFutureWatcher>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSaveFile>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include <optional>
#include <utility>

namespace {

/** Writes `bytes` to `path`, replacing a file there; the German reason when that fails. */
std::optional<QString> saveBytes(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return std::nullopt;
    return qtTrId("history.exportFailed").arg(path, file.errorString());
}

} // namespace

HistoryView::HistoryView(ObjectStore *store, FileWork *work, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_work(work ? *work : *new FileWork(this))
    , m_model(new HistoryModel(store, this))
{
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(makeHeader());
    m_problem = new QLabel(this);
    m_problem->setObjectName(QStringLiteral("historyProblem"));
    m_problem->setStyleSheet(QStringLiteral("color: #d9730d"));
    m_problem->setWordWrap(true);
    m_problem->hide();
    layout->addWidget(m_problem);
    makeTable();
    layout->addWidget(m_table, 1);

    connect(m_model, &HistoryModel::countsChanged, this, &HistoryView::updateCount);
    updateCount();
}

void HistoryView::showBatch(qint64 batch)
{
    // Typed a moment ago: the list is judged as it is about to read.
    if (m_searchLater->isActive()) {
        m_searchLater->stop();
        m_model->setSearchText(m_search->text());
    }
    // The user asked for these rows: a filter that hides some of them would read as a lost rename.
    if (!m_model->listsAllOf(batch)) {
        m_search->clear();
        m_searchLater->stop();
        m_model->setSearchText({});
        m_revertedOnly->setChecked(false);
    }
    const QModelIndexList rows = m_model->loadBatch(batch);
    if (rows.isEmpty())
        return;
    QItemSelection selection;
    for (const QModelIndex &row : rows) {
        if (row.parent().isValid())
            m_table->expand(row.parent());
        selection.select(row, row.siblingAtColumn(HistoryModel::ColumnCount - 1));
    }
    const QModelIndex first = rows.front();
    m_table->selectionModel()->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
    m_table->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    m_table->scrollTo(first);
    m_table->setFocus();
}

QWidget *HistoryView::makeHeader()
{
    auto *header = new QWidget(this);
    auto *row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);

    m_revertedOnly = new QCheckBox(qtTrId("history.revertedOnly"), header);
    m_revertedOnly->setObjectName(QStringLiteral("historyRevertedOnly"));
    connect(m_revertedOnly, &QCheckBox::toggled, m_model, &HistoryModel::setRevertedOnly);

    m_count = new QLabel(header);
    m_count->setObjectName(QStringLiteral("historyCount"));
    m_count->setForegroundRole(QPalette::PlaceholderText);

    auto *search = m_search = new QLineEdit(header);
    search->setObjectName(QStringLiteral("historySearch"));
    search->setPlaceholderText(qtTrId("history.search"));
    search->setAccessibleName(search->placeholderText());
    search->setClearButtonEnabled(true);
    search->setMinimumWidth(140); // the window's smallest width keeps the buttons beside it whole
    search->setMaximumWidth(280);
    // A search scans the folded names of every record (about 0.1 s at 100 000): once typing pauses.
    m_searchLater = new QTimer(this);
    m_searchLater->setSingleShot(true);
    m_searchLater->setInterval(150);
    connect(m_searchLater, &QTimer::timeout, this, [this, search] { m_model->setSearchText(search->text()); });
    connect(search, &QLineEdit::textChanged, m_searchLater, qOverload<>(&QTimer::start));

    auto *exportButton = new QPushButton(qtTrId("history.export"), header);
    exportButton->setObjectName(QStringLiteral("historyExport"));
    exportButton->setAutoDefault(false);
    auto *menu = new QMenu(exportButton);
    menu->addAction(QStringLiteral("CSV"), this, [this] { exportListed(ExportFormat::csv); });
    menu->addAction(QStringLiteral("JSON"), this, [this] { exportListed(ExportFormat::json); });
    exportButton->setMenu(menu);

    // The current row's batch, for those who do not open context menus (and assistive technology,
    // which cannot reach them).
    m_revertBatch = new QPushButton(qtTrId("history.revertBatch"), header);
    m_revertBatch->setObjectName(QStringLiteral("historyRevertBatchButton"));
    m_revertBatch->setAutoDefault(false);
    m_revertBatch->setEnabled(false);
    connect(m_revertBatch, &QPushButton::clicked, this, [this] {
        const QModelIndex current = m_table->currentIndex();
        if (current.isValid())
            revertBatchOf(m_model->record(current).batch);
    });

    row->addWidget(m_revertedOnly);
    row->addWidget(m_count);
    row->addStretch(1);
    row->addWidget(m_revertBatch);
    row->addWidget(search);
    row->addWidget(exportButton);
    return header;
}

void HistoryView::makeTable()
{
    m_table = new QTreeView(this);
    m_table->setObjectName(QStringLiteral("historyTable"));
    m_table->setAccessibleName(qtTrId("history.table"));
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setWordWrap(false);
    m_table->setTextElideMode(Qt::ElideMiddle);
    m_table->setAlternatingRowColors(true);
    m_table->setAllColumnsShowFocus(true);
    m_table->setUniformRowHeights(true); // 100 000 rows scroll without measuring each
    // Groups exist only in time order; the other orders list records without room for a branch.
    const auto decorate = [this] { m_table->setRootIsDecorated(m_model->grouped()); };
    decorate();
    // A reset (a sort, a search, a shift in the list) would close every group the user opened.
    connect(m_model, &HistoryModel::modelAboutToBeReset, this, [this] {
        m_expanded.clear();
        for (int row = 0; row < m_model->rowCount(); ++row) {
            const QModelIndex group = m_model->index(row, 0);
            if (m_table->isExpanded(group))
                m_expanded << group.data(HistoryModel::GroupKeyRole).toLongLong();
        }
    });
    connect(m_model, &HistoryModel::modelReset, this, [this, decorate] {
        decorate();
        for (int row = 0; row < m_model->rowCount() && !m_expanded.isEmpty(); ++row) {
            const QModelIndex group = m_model->index(row, 0);
            if (m_expanded.removeOne(group.data(HistoryModel::GroupKeyRole).toLongLong()))
                m_table->expand(group);
        }
        m_expanded.clear();
    });

    // The new name, usually the longest, takes what the other columns leave; the original name
    // starts as wide as a short batch title, so at the window's first size neither is cut to a
    // stump. The user drags the borders.
    QHeaderView *columns = m_table->header();
    columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    columns->setStretchLastSection(false);
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->setSectionResizeMode(HistoryModel::NewColumn, QHeaderView::Stretch);
    columns->setMinimumSectionSize(60);
    // Each column sorts in SQL (HistoryModel::sort); the list opens newest first.
    columns->setSortIndicator(HistoryModel::DateColumn, Qt::DescendingOrder);
    m_table->setSortingEnabled(true);
    const QFontMetrics metrics(font());
    QFont bold = font();
    bold.setBold(true);
    const QString title = qtTrId("history.batch", 30).arg(qtTrId("history.today").arg(QStringLiteral("00:00")));
    columns->resizeSection(HistoryModel::OriginalColumn,
                           std::max(metrics.averageCharWidth() * 18,
                                    QFontMetrics(bold).horizontalAdvance(title) + m_table->indentation() + 12));
    columns->resizeSection(HistoryModel::DateColumn,
                           std::max(100, metrics.horizontalAdvance(QStringLiteral("vor 11 Monaten")) + 16));
    columns->resizeSection(HistoryModel::ProviderColumn, 80);
    // As wide as the texts listed need ("Rückgängig gemacht" only once a row says so): room
    // held for it was room the new names lacked.
    columns->setSectionResizeMode(HistoryModel::ActionColumn, QHeaderView::ResizeToContents);
    m_emptyHint = new EmptyHint(m_table, qtTrId("history.empty"));

    // Shift or Ctrl with a click selects, as in a file manager; only a plain click presses the cell.
    connect(m_table, &QTreeView::clicked, this, [this](const QModelIndex &index) {
        if (QGuiApplication::keyboardModifiers() == Qt::NoModifier)
            revertRow(index);
    });
    m_actions = new HistoryActions(m_table, m_model);
    connect(m_table->selectionModel(), &QItemSelectionModel::currentChanged, this, &HistoryView::updateBatchButton);
    connect(m_model, &HistoryModel::dataChanged, this, &HistoryView::updateBatchButton);
    connect(m_model, &HistoryModel::modelReset, this, &HistoryView::updateBatchButton);
    connect(m_actions, &HistoryActions::revertRequested, this, &HistoryView::revertRows);
    connect(m_actions, &HistoryActions::problem, this, &HistoryView::showProblem);
    m_table->installEventFilter(this);
    // The mouse's context menu arrives at the viewport, the keyboard's (menu key, Shift+F10) at the table.
    m_table->viewport()->installEventFilter(this);
}

bool HistoryView::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == m_table || watched == m_table->viewport()) && event->type() == QEvent::ContextMenu) {
        const auto *request = static_cast<QContextMenuEvent *>(event);
        const bool keyboard = request->reason() == QContextMenuEvent::Keyboard;
        const QModelIndex index = keyboard ? m_table->currentIndex() : m_table->indexAt(request->pos());
        if (index.isValid()) {
            // As in a file manager: a row outside the selection becomes it, one inside keeps it.
            if (m_table->selectionModel()->isRowSelected(index.row(), index.parent()))
                m_table->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
            else
                m_table->setCurrentIndex(index);
            const QPoint at =
                keyboard ? m_table->viewport()->mapToGlobal(m_table->visualRect(index).center()) : request->globalPos();
            openRowMenu(index, at);
        }
        return true;
    }
    // The revert cell acts like a button for the keyboard as well.
    if (watched == m_table && event->type() == QEvent::KeyPress) {
        const auto *press = static_cast<QKeyEvent *>(event);
        // Qt makes a context menu request of the menu key only; desktops give Shift+F10 the same meaning.
        if (press->key() == Qt::Key_F10 && press->modifiers() == Qt::ShiftModifier) {
            QContextMenuEvent request(QContextMenuEvent::Keyboard, {}, m_table->mapToGlobal(QPoint()));
            QCoreApplication::sendEvent(m_table, &request);
            return true;
        }
        const int key = press->key();
        if (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) {
            const QModelIndex current = m_table->currentIndex();
            if (current.column() == HistoryModel::ActionColumn) {
                revertRow(current);
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

QCoro::Task<> HistoryView::revertRow(QModelIndex index)
{
    if (!index.isValid() || index.column() != HistoryModel::ActionColumn || !m_store)
        co_return;
    if (m_model->isGroup(index)) {
        if (m_model->revertable(index))
            co_await revertBatchOf(m_model->record(index).batch);
        co_return;
    }
    // The record as stored now: the list may lag a revert made elsewhere by one turn of the loop.
    auto record = m_store->fetchRecord(m_model->record(index).id);
    if (!record || record->reverted)
        co_return;
    showProblem({});
    qCDebug(lcUI, "the user undoes record %lld", qint64(record->id));
    const QPointer<HistoryView> self(this);
    QCoro::Task<std::expected<RenameRecord, NamorixError>> reverting = m_work.revert(m_store, *record);
    const auto reverted = co_await std::move(reverting);
    if (self && !reverted)
        showProblem(reverted.error().message());
}

void HistoryView::openRowMenu(const QModelIndex &index, const QPoint &at)
{
    auto *menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("historyRowMenu"));
    menu->setAccessibleName(qtTrId("history.menu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const qint64 batch = m_model->record(index).batch;
    menu->addAction(m_actions->revert());
    QAction *revertBatch =
        menu->addAction(qtTrId("history.revertBatch"), this, [this, batch] { revertBatchOf(batch); });
    revertBatch->setObjectName(QStringLiteral("historyRevertBatch"));
    menu->addSeparator();
    menu->addAction(m_actions->showInFolder());
    menu->addAction(m_actions->copyPath());
    menu->popup(at);
}

QCoro::Task<> HistoryView::revertRows(QList<QPersistentModelIndex> rows)
{
    if (m_revertingRows || !m_store)
        co_return; // one selection at a time
    // Undo takes records oldest first and moves them back newest first.
    QList<RenameRecord> records;
    for (auto row = rows.crbegin(); row != rows.crend(); ++row) {
        if (row->isValid())
            records << m_model->record(*row);
    }
    m_revertingRows = true;
    showProblem({});
    qCDebug(lcUI, "the user undoes %lld selected records", qint64(records.size()));
    const QPointer<HistoryView> self(this);
    QCoro::Task<Undo::Outcome> reverting = m_work.revertAll(m_store, records);
    const Undo::Outcome outcome = co_await std::move(reverting);
    if (!self)
        co_return;
    m_revertingRows = false;
    // One row's refusal reads as the row's own button says it.
    if (records.size() == 1 && outcome.failures.size() == 1)
        showProblem(outcome.failures.front().second.message());
    else if (!outcome.failures.isEmpty())
        showProblem(Undo::describe(outcome));
}

QCoro::Task<> HistoryView::revertBatchOf(qint64 batch)
{
    if (!m_store)
        co_return;
    showProblem({});
    qCDebug(lcUI, "the user undoes batch %lld", batch);
    const QPointer<HistoryView> self(this);
    QCoro::Task<std::expected<Undo::Outcome, NamorixError>> reverting = m_work.revertBatch(m_store, batch);
    const auto outcome = co_await std::move(reverting);
    if (!self)
        co_return;
    if (!outcome)
        showProblem(outcome.error().message());
    else if (!outcome->failures.isEmpty())
        showProblem(Undo::describe(*outcome));
}

void HistoryView::exportListed(ExportFormat format)
{
    showProblem({});
    const bool csv = format == ExportFormat::csv;
    const QString extension = csv ? QStringLiteral("csv") : QStringLiteral("json");

    auto *dialog = new QFileDialog(this, qtTrId("history.exportTitle"));
    dialog->setObjectName(QStringLiteral("historyExportDialog"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setNameFilter(csv ? QStringLiteral("CSV (*.csv)") : QStringLiteral("JSON (*.json)"));
    dialog->setDefaultSuffix(extension);
    dialog->selectFile(QStringLiteral("namorix-export.") + extension);
    // The list as it reads when the export is asked for, not when the dialog closes.
    const RecordQuery listed = m_model->query();
    connect(dialog, &QFileDialog::fileSelected, this,
            [this, listed, format](const QString &path) { writeExport(path, listed, format); });
    dialog->open();
}

void HistoryView::writeExport(const QString &path, const RecordQuery &listed, ExportFormat format)
{
    if (path.isEmpty() || !m_store)
        return;
    // Every listed record, not only the pages loaded: read on a worker thread through a
    // connection of its own, so the GUI thread never waits for the whole history.
    const QString storePath = m_store->filePath();
    const auto work = [storePath, listed, path, format]() -> std::optional<QString> {
        auto store = ObjectStore::open(storePath);
        if (!store)
            return store.error().message();
        const auto records = (*store)->fetchRecords(listed);
        if (!records)
            return records.error().message();
        return saveBytes(path,
                         format == ExportFormat::csv ? HistoryExport::csv(*records) : HistoryExport::json(*records));
    };
    auto *watcher = new QFutureWatcher<std::optional<QString>>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        if (const std::optional<QString> failure = watcher->result())
            showProblem(*failure);
        watcher->deleteLater();
    });
    watcher->setFuture(QtConcurrent::run(work));
}

void HistoryView::updateCount()
{
    m_count->setText(StringTable::text("history.entries", int(m_model->matching())));
    m_emptyHint->setHint(m_model->historyIsEmpty() ? qtTrId("history.empty") : qtTrId("history.noMatch"));
}

void HistoryView::updateBatchButton()
{
    const QModelIndex current = m_table->currentIndex();
    if (!current.isValid()) {
        m_revertBatch->setEnabled(false);
        return;
    }
    // A record's row stands for its batch here, so its group's state decides.
    const QModelIndex row = current.parent().isValid() ? current.parent() : current;
    m_revertBatch->setEnabled(m_model->revertable(row));
    m_revertBatch->setToolTip(m_model->isGroup(row)
                                  ? row.siblingAtColumn(HistoryModel::ActionColumn).data(Qt::ToolTipRole).toString()
                                  : QString());
}

void HistoryView::showProblem(const QString &text)
{
    m_problem->setText(text);
    m_problem->setVisible(!text.isEmpty());
}
