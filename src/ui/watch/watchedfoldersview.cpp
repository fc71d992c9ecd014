#include "ui/watch/watchedfoldersview.h"

#include "automation/folderwatcher.h"
#include "automation/queuemanager.h"
#include "automation/watchedfolders.h"
#include "engine/renameengine.h"
#include "store/objectstore.h"
#include "ui/common/icons.h"
#include "ui/common/twolinedelegate.h"
#include "ui/watch/celldelegates.h"
#include "ui/watch/watchedfoldermodel.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QSet>
#include <QStackedWidget>
#include <QTableView>
#include <QTreeView>
#include <QVBoxLayout>

WatchedFoldersView::WatchedFoldersView(ObjectStore *store, FolderWatcher &watcher, QueueManager &queue, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_watcher(watcher)
    , m_queue(queue)
    , m_model(new WatchedFolderModel(store, this))
    , m_content(new QStackedWidget)
{
    auto *column = new QVBoxLayout(this);
    column->addWidget(makeHeader());
    m_problem = new QLabel;
    m_problem->setStyleSheet(QStringLiteral("color: #d9730d"));
    m_problem->setWordWrap(true);
    m_problem->hide();
    column->addWidget(m_problem);
    makeTable();
    m_content->addWidget(makeEmptyState());
    m_content->addWidget(m_table);
    column->addWidget(m_content, 1);

    connect(m_model, &WatchedFolderModel::failed, this, &WatchedFoldersView::showProblem);
    connect(m_model, &QAbstractItemModel::modelReset, this, &WatchedFoldersView::showContent);
    connect(&m_queue, &QueueManager::pendingURLsChanged, this, &WatchedFoldersView::showQueue);
    connect(&m_queue, &QueueManager::isPausedChanged, this, &WatchedFoldersView::showQueue);
    connect(&m_watcher, &FolderWatcher::watchedPathsChanged, this, &WatchedFoldersView::showWatching);
    showQueue();
    showWatching();
    showContent();
}

QWidget *WatchedFoldersView::makeHeader()
{
    auto *header = new QWidget;
    auto *row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);
    auto *add = new QPushButton(qtTrId("watch.add"));
    add->setObjectName(QStringLiteral("watchAdd"));
    add->setEnabled(m_store);
    connect(add, &QPushButton::clicked, this, &WatchedFoldersView::chooseFolders);
    m_queued = new QLabel;
    m_queued->setObjectName(QStringLiteral("watchQueued"));
    m_pauseResume = new QPushButton;
    m_pauseResume->setObjectName(QStringLiteral("watchPauseResume"));
    connect(m_pauseResume, &QPushButton::clicked, this, [this] {
        if (m_queue.isPaused())
            m_queue.resume();
        else
            m_queue.setPaused(true);
    });
    m_watching = new QLabel;
    m_watching->setObjectName(QStringLiteral("watchWatching"));
    m_watching->setForegroundRole(QPalette::PlaceholderText);
    row->addWidget(add);
    row->addSpacing(12);
    row->addWidget(m_queued);
    row->addWidget(m_pauseResume);
    row->addStretch(1);
    row->addWidget(m_watching);
    return header;
}

QWidget *WatchedFoldersView::makeEmptyState()
{
    auto *empty = new QWidget;
    auto *column = new QVBoxLayout(empty);
    column->addStretch(1);
    auto *icon = new QLabel;
    icon->setPixmap(Icons::symbol(u"folder.badge.gearshape").pixmap(40, 40));
    icon->setAlignment(Qt::AlignCenter);
    auto *text = new QLabel(qtTrId("watch.empty"));
    text->setObjectName(QStringLiteral("watchEmpty"));
    text->setAlignment(Qt::AlignCenter);
    text->setWordWrap(true);
    text->setForegroundRole(QPalette::PlaceholderText);
    auto *add = new QPushButton(qtTrId("watch.add"));
    add->setEnabled(m_store);
    connect(add, &QPushButton::clicked, this, &WatchedFoldersView::chooseFolders);
    column->addWidget(icon);
    column->addWidget(text);
    column->addWidget(add, 0, Qt::AlignHCenter);
    column->addStretch(1);
    return empty;
}

void WatchedFoldersView::makeTable()
{
    m_table = new QTableView;
    m_table->setObjectName(QStringLiteral("watchTable"));
    m_table->setAccessibleName(qtTrId("watch.table"));
    m_table->setModel(m_model);
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    m_table->setShowGrid(false);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    QHeaderView *header = m_table->horizontalHeader();
    header->setSectionResizeMode(WatchedFolderModel::FolderColumn, QHeaderView::Stretch);
    const std::pair<int, int> widths[] = {{WatchedFolderModel::AutoRenameColumn, 90},
                                          {WatchedFolderModel::ActiveColumn, 50},
                                          {WatchedFolderModel::RemoveColumn, 40}};
    for (const auto &[section, width] : widths) {
        header->setSectionResizeMode(section, QHeaderView::Fixed);
        header->resizeSection(section, width);
    }
    m_table->setItemDelegateForColumn(WatchedFolderModel::FolderColumn, new TwoLineDelegate(m_table));
    auto *switches = new SwitchDelegate(m_table);
    m_table->setItemDelegateForColumn(WatchedFolderModel::AutoRenameColumn, switches);
    m_table->setItemDelegateForColumn(WatchedFolderModel::ActiveColumn, switches);
    auto *remove = new IconButtonDelegate(m_table);
    m_table->setItemDelegateForColumn(WatchedFolderModel::RemoveColumn, remove);
    connect(remove, &IconButtonDelegate::pressed, this,
            [this](const QModelIndex &index) { removeFolder(index.row()); });
    m_table->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_table, &QWidget::customContextMenuRequested, this, &WatchedFoldersView::openRowMenu);
}

void WatchedFoldersView::openRowMenu(const QPoint &at)
{
    QModelIndex index = m_table->indexAt(at);
    const bool pointed = index.isValid();
    if (!pointed)
        index = m_table->currentIndex();
    if (!index.isValid() || index.row() >= m_model->folders().size())
        return;
    const WatchedFolder folder = m_model->folders().at(index.row());
    auto *menu = new QMenu(m_table);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction *takeExisting = menu->addAction(qtTrId("watch.takeExisting"), this,
                                            [this, path = folder.path] { Q_EMIT takeExistingRequested(path); });
    takeExisting->setObjectName(QStringLiteral("watchTakeExisting"));
    // Only a watched folder's files are taken: an inactive one is not observed.
    takeExisting->setEnabled(folder.isActive && m_watcher.isWatching(folder.path));
    menu->popup(m_table->viewport()->mapToGlobal(pointed ? at : m_table->visualRect(index).center()));
}

void WatchedFoldersView::chooseFolders()
{
    // Qt's own dialog: the portal's and the platform's folder choosers take a single folder.
    auto *dialog = new QFileDialog(this, qtTrId("watch.chooseTitle"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setLabelText(QFileDialog::Accept, qtTrId("watch.chooseAccept"));
    for (auto *view : dialog->findChildren<QAbstractItemView *>()) {
        if (view->objectName() == u"listView" || view->objectName() == u"treeView")
            view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    }
    connect(dialog, &QFileDialog::filesSelected, this, &WatchedFoldersView::addFolders);
    dialog->open();
}

void WatchedFoldersView::addFolders(const QStringList &paths)
{
    if (!m_store)
        return;
    for (const QString &path : paths) {
        // A folder picked again is simply already there.
        const auto added = WatchedFolders::add(*m_store, path);
        if (!added && added.error().code != WatchedFolders::Failure::Code::alreadyWatched) {
            showProblem(added.error().message);
            return;
        }
    }
}

void WatchedFoldersView::removeFolder(int row)
{
    if (!m_store || row < 0 || row >= m_model->folders().size())
        return;
    const WatchedFolder folder = m_model->folders().at(row);
    m_watcher.unwatch(folder.path);
    if (const auto removed = WatchedFolders::remove(*m_store, folder.path); !removed)
        showProblem(removed.error().message);
}

void WatchedFoldersView::showQueue()
{
    const int pending = m_queue.pendingCount();
    m_queued->setText(m_queue.isPausedForBudget()
                          ? qtTrId("watch.queued", pending) + QStringLiteral(" – ") + qtTrId("watch.budgetPaused")
                          : qtTrId("watch.queued", pending));
    m_pauseResume->setText(qtTrId(m_queue.isPaused() ? "watch.resume" : "watch.pause"));
    m_queued->setVisible(pending > 0);
    m_pauseResume->setVisible(pending > 0);
}

void WatchedFoldersView::showWatching()
{
    m_watching->setText(qtTrId("watch.watching", int(m_watcher.watchedPaths().size())));
}

void WatchedFoldersView::showContent()
{
    m_content->setCurrentIndex(m_model->rowCount() == 0 ? 0 : 1);
}

void WatchedFoldersView::showProblem(const QString &text)
{
    m_problem->setText(text);
    m_problem->setVisible(!text.isEmpty());
}
