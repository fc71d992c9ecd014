#include "ui/files/reviewview.h"

#include "common/filenames.h"
#include "common/stringtable.h"
#include "engine/renameengine.h"
#include "ui/common/icons.h"
#include "ui/common/palette.h"
#include "ui/files/droptarget.h"
#include "ui/files/explanationpanel.h"
#include "ui/files/jobdelegate.h"
#include "ui/files/jobfiltermodel.h"
#include "ui/files/joblistmodel.h"
#include "ui/preview/previewwindow.h"
#include "ui/uilog.h"

#include <QAction>
#include <QComboBox>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

ReviewView::ReviewView(RenameEngine &engine, QWidget *parent)
    : QWidget(parent)
    , m_engine(engine)
    , m_model(new JobListModel(engine, this))
    , m_filter(new JobFilterModel(this))
    , m_delegate(new JobDelegate(this))
    , m_list(new QListView)
{
    m_filter->setSourceModel(m_model);
    m_list->setModel(m_filter);
    m_list->setItemDelegate(m_delegate);
    m_list->setUniformItemSizes(true);
    m_list->setEditTriggers(QAbstractItemView::EditKeyPressed); // F2; Return too, below
    m_list->setAccessibleName(qtTrId("preview.list"));
    m_list->installEventFilter(this);
    // More files dropped on the list join it.
    m_list->viewport()->setAcceptDrops(true);
    m_list->viewport()->installEventFilter(this);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);

    const auto makeAction = [this](const QString &text, const QKeySequence &keys, auto slot) {
        auto *action = new QAction(text, this);
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        connect(action, &QAction::triggered, this, slot);
        this->addAction(action);
        return action;
    };
    m_tickAll = makeAction(qtTrId("preview.tickAll"), QKeySequence(Qt::CTRL | Qt::Key_A), [this] { tickShown(true); });
    m_tickNone = makeAction(qtTrId("preview.tickNone"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A),
                            [this] { tickShown(false); });
    m_remove = makeAction(qtTrId("preview.remove"), QKeySequence(QKeySequence::Delete), [this] { removeSelected(); });
    m_askAgain = makeAction(qtTrId("preview.askAgain"), QKeySequence(Qt::Key_F5), [this] { askAgain(); });
    connect(m_list, &QListView::doubleClicked, this, [this](const QModelIndex &index) { openPreview(index.row()); });
    connect(m_delegate, &JobDelegate::quickLookRequested, this,
            [this](const QModelIndex &index) { openPreview(index.row()); });
    // Queued: the dialog must not open while the view is still closing the editor.
    connect(m_delegate, &JobDelegate::extensionChangeRequested, this, &ReviewView::confirmExtension,
            Qt::QueuedConnection);
    connect(m_delegate, &JobDelegate::nameRefused, this, &ReviewView::nameRefused);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_list, &QListView::customContextMenuRequested, this, &ReviewView::showRowMenu);

    auto *errorIcon = new QLabel;
    errorIcon->setPixmap(Icons::symbol(u"exclamationmark.triangle").pixmap(14, 14));
    m_errorText = new QLabel;
    m_errorText->setStyleSheet(QStringLiteral("color:%1;").arg(UIColors::red().name()));
    m_errorText->setWordWrap(true);
    m_errorItem = new QWidget;
    auto *errorRow = new QHBoxLayout(m_errorItem);
    errorRow->setContentsMargins(0, 0, 0, 0);
    errorRow->addWidget(errorIcon);
    errorRow->addWidget(m_errorText, 1);

    m_diffToggle = new QToolButton;
    m_diffToggle->setIcon(Icons::symbol(u"chevron.left.forwardslash.chevron.right"));
    m_diffToggle->setText(qtTrId("preview.diff"));
    m_diffToggle->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_diffToggle->setCheckable(true);
    m_diffToggle->setChecked(true);
    m_diffToggle->setToolTip(qtTrId("preview.diff.help"));
    m_diffToggle->setAccessibleName(qtTrId("preview.diff"));
    connect(m_diffToggle, &QToolButton::toggled, this, &ReviewView::setShowDiff);

    m_progress = new QLabel;
    m_progress->setForegroundRole(QPalette::PlaceholderText);
    m_stop = new QPushButton(Icons::symbol(u"xmark.circle"), qtTrId("preview.stop"));
    m_stop->setAccessibleName(m_stop->text());
    connect(m_stop, &QPushButton::clicked, &m_engine, &RenameEngine::cancel);

    m_count = new QLabel;
    m_count->setForegroundRole(QPalette::PlaceholderText);
    m_cancel = new QPushButton(qtTrId("preview.cancel"));
    m_cancel->setToolTip(qtTrId("preview.cancel.help"));
    connect(m_cancel, &QPushButton::clicked, this, &ReviewView::discard);
    m_rename = new QPushButton(qtTrId("preview.rename"));
    m_rename->setDefault(true);
    m_rename->setPalette(UIColors::primaryButton(m_rename->palette()));
    connect(m_rename, &QPushButton::clicked, this, &ReviewView::renameTicked);

    // The toggle and the count belong together, the two buttons too; a gap keeps the groups apart.
    auto *bar = new QHBoxLayout;
    bar->setContentsMargins(12, 6, 12, 6);
    bar->setSpacing(6);
    bar->addWidget(m_errorItem, 1);
    bar->addWidget(m_progress);
    bar->addWidget(m_stop);
    bar->addStretch(0);
    bar->addWidget(m_diffToggle);
    bar->addSpacing(2);
    bar->addWidget(m_count);
    bar->addSpacing(16);
    bar->addWidget(m_cancel);
    bar->addWidget(m_rename);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(makeFilterRow());
    column->addWidget(m_list, 1);
    column->addLayout(bar);

    connect(&m_engine, &RenameEngine::jobsChanged, this, &ReviewView::refreshBar);
    connect(&m_engine, &RenameEngine::errorChanged, this, &ReviewView::refreshBar);
    connect(&m_engine, &RenameEngine::isProcessingChanged, this, &ReviewView::refreshBar);
    connect(&m_engine, &RenameEngine::progressChanged, this, &ReviewView::refreshBar);
    connect(&m_engine, &RenameEngine::waitNoteChanged, this, &ReviewView::refreshBar);
    refreshBar();
}

QWidget *ReviewView::makeFilterRow()
{
    auto *row = new QWidget;
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(12, 6, 12, 6);
    layout->setSpacing(6);
    m_stateFilter = new QComboBox;
    m_stateFilter->addItem(qtTrId("preview.filter.all"), int(JobFilterModel::State::all));
    m_stateFilter->addItem(qtTrId("preview.filter.unchecked"), int(JobFilterModel::State::unchecked));
    m_stateFilter->addItem(qtTrId("preview.filter.failed"), int(JobFilterModel::State::failed));
    m_stateFilter->setAccessibleName(qtTrId("preview.filter.state"));
    m_stateFilter->setToolTip(qtTrId("preview.filter.state"));
    connect(m_stateFilter, &QComboBox::currentIndexChanged, this, [this] {
        m_filter->setState(JobFilterModel::State(m_stateFilter->currentData().toInt()));
        refreshBar();
    });
    m_textFilter = new QLineEdit;
    m_textFilter->setPlaceholderText(qtTrId("preview.filter.text"));
    m_textFilter->setAccessibleName(m_textFilter->placeholderText());
    m_textFilter->setClearButtonEnabled(true);
    m_textFilter->setMaximumWidth(280);
    m_textFilter->installEventFilter(this);
    connect(m_textFilter, &QLineEdit::textChanged, this, [this](const QString &text) {
        m_filter->setText(text);
        refreshBar();
    });
    auto *find = new QAction(this);
    find->setShortcut(QKeySequence::Find);
    find->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(find, &QAction::triggered, this, [this] {
        m_textFilter->setFocus(Qt::ShortcutFocusReason);
        m_textFilter->selectAll();
    });
    addAction(find);
    layout->addWidget(m_stateFilter);
    layout->addStretch(1);
    layout->addWidget(m_textFilter, 1);
    return row;
}

QSet<QUuid> ReviewView::shownIds() const
{
    QSet<QUuid> shown;
    shown.reserve(m_filter->rowCount());
    for (int row = 0; row < m_filter->rowCount(); ++row)
        shown.insert(m_filter->index(row, 0).data(JobListModel::IdRole).toUuid());
    return shown;
}

void ReviewView::tickShown(bool approved)
{
    if (!m_filter->isFiltering())
        m_engine.setAllApproved(approved);
    else
        m_engine.setAllApproved(approved, shownIds());
}

void ReviewView::renameTicked()
{
    if (!m_filter->isFiltering()) {
        rename();
        return;
    }
    // What a filter hides is not renamed unseen: the user is asked about the hidden ticked rows.
    const QSet<QUuid> shown = shownIds();
    QList<QUuid> visible;
    int hidden = 0;
    for (const RenameJob &job : m_engine.jobs()) {
        if (job.approved)
            shown.contains(job.id) ? void(visible << job.id) : void(++hidden);
    }
    if (hidden == 0) {
        rename(visible);
        return;
    }
    auto *box = new QMessageBox(QMessageBox::Question, qtTrId("preview.rename"),
                                StringTable::text("preview.hiddenTicked", hidden), QMessageBox::NoButton, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setInformativeText(qtTrId("preview.hiddenTicked.help"));
    QPushButton *all = box->addButton(qtTrId("preview.hiddenTicked.all"), QMessageBox::AcceptRole);
    QPushButton *onlyShown = box->addButton(qtTrId("preview.hiddenTicked.shown"), QMessageBox::AcceptRole);
    onlyShown->setEnabled(!visible.isEmpty());
    box->addButton(QMessageBox::Cancel);
    box->setDefaultButton(visible.isEmpty() ? all : onlyShown);
    connect(box, &QMessageBox::buttonClicked, this, [this, all, onlyShown, visible](QAbstractButton *clicked) {
        if (clicked == all)
            rename();
        else if (clicked == onlyShown)
            rename(visible);
    });
    m_question = box;
    box->open();
}

void ReviewView::refreshBar()
{
    // A new list starts unfiltered: a filter left over would hide its rows without a reason.
    if (m_engine.jobs().isEmpty() && m_filter->isFiltering()) {
        m_stateFilter->setCurrentIndex(0);
        m_textFilter->clear();
    }
    const std::optional<QString> error = m_engine.shownError();
    m_errorItem->setVisible(error.has_value());
    m_errorText->setText(error.value_or(QString()));
    m_errorItem->setAccessibleName(m_errorText->text());
    // More files being analysed while the review is open: say how far, and offer to stop.
    m_progress->setVisible(m_engine.isProcessing());
    m_stop->setVisible(m_engine.isProcessing());
    const QString counted = qtTrId("preview.progressMore").arg(m_engine.processedCount()).arg(m_engine.totalCount());
    m_progress->setText(m_engine.waitNote() ? counted + QStringLiteral(" · ") + *m_engine.waitNote() : counted);
    m_progress->setAccessibleName(m_progress->text());
    const int approved = m_model->approvedCount();
    // The count stays about all jobs ("Umbenennen" applies the hidden ticked ones too); it says what is hidden.
    const int hidden = m_filter->hiddenCount();
    const QString count = qtTrId("preview.approvedCount").arg(approved).arg(m_engine.jobs().size());
    const QString help = qtTrId("preview.approvedCount.help").arg(approved).arg(m_engine.jobs().size());
    m_count->setText(hidden > 0 ? count + QStringLiteral(" · ") + StringTable::text("preview.hidden", hidden) : count);
    m_count->setToolTip(hidden > 0 ? help + u'\n' + StringTable::text("preview.hidden.help", hidden) : help);
    m_count->setAccessibleName(m_count->toolTip());
    m_rename->setEnabled(approved > 0 && !m_applying);
    if (m_preview && m_engine.jobs().isEmpty())
        m_preview->close();
}

void ReviewView::setShowDiff(bool show)
{
    if (!show == !m_delegate->showDiff())
        return;
    if (auto *editor = m_list->viewport()->findChild<QLineEdit *>(); editor && show) {
        Q_EMIT m_delegate->commitData(editor);
        Q_EMIT m_delegate->closeEditor(editor);
    }
    m_delegate->setShowDiff(show);
    m_list->viewport()->update();
}

void ReviewView::askAgain()
{
    QList<QUrl> files;
    for (const QModelIndex &index : m_list->selectionModel()->selectedIndexes()) {
        const auto job = std::ranges::find(m_engine.jobs(), index.data(JobListModel::IdRole).toUuid(), &RenameJob::id);
        if (job != m_engine.jobs().end())
            files << job->originalURL;
    }
    if (!files.isEmpty()) {
        qCDebug(lcUI, "the user asks again for %lld files", qint64(files.size()));
        Q_EMIT askAgainRequested(files);
    }
}

void ReviewView::removeSelected()
{
    QSet<QUuid> ids;
    for (const QModelIndex &index : m_list->selectionModel()->selectedIndexes())
        ids.insert(index.data(JobListModel::IdRole).toUuid());
    qCDebug(lcUI, "the user removes %lld rows from the review", qint64(ids.size()));
    m_engine.removeJobs(ids);
}

bool ReviewView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_textFilter) {
        // Esc empties the field, then a second Esc goes back to the list.
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
            if (m_textFilter->text().isEmpty())
                m_list->setFocus(Qt::ShortcutFocusReason);
            else
                m_textFilter->clear();
            return true;
        }
        return QWidget::eventFilter(watched, event);
    }
    if (watched == m_list->viewport()) {
        if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
            auto *drag = static_cast<QDropEvent *>(event);
            if (!DropTarget::fileUrls(drag->mimeData()->urls()).isEmpty()) {
                drag->acceptProposedAction();
                return true;
            }
        } else if (event->type() == QEvent::Drop) {
            auto *drop = static_cast<QDropEvent *>(event);
            const QList<QUrl> urls = DropTarget::fileUrls(drop->mimeData()->urls());
            if (!urls.isEmpty()) {
                drop->acceptProposedAction();
                Q_EMIT filesDropped(urls);
                return true;
            }
        }
        return QWidget::eventFilter(watched, event);
    }
    if (watched != m_list || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const QModelIndex current = m_list->currentIndex();
    const auto *key = static_cast<QKeyEvent *>(event);
    switch (key->key()) {
    case Qt::Key_Space:
        if (key->modifiers() & Qt::ControlModifier)
            openPreview(current.isValid() ? current.row() : 0);
        else
            toggleSelected();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!m_list->hasFocus()) // the name editor's Return, passed on to its parent
            return false;
        if (current.isValid())
            m_list->edit(current);
        return true;
    default:
        return QWidget::eventFilter(watched, event);
    }
}

void ReviewView::toggleSelected()
{
    const QModelIndex current = m_list->currentIndex();
    if (!current.isValid())
        return;
    QModelIndexList rows = m_list->selectionModel()->selectedIndexes();
    if (!rows.contains(current))
        rows = {current};
    // One state for all, the current row's opposite, as file managers tick several at once.
    const bool approve = current.data(Qt::CheckStateRole).toInt() != Qt::Checked;
    for (const QModelIndex &row : std::as_const(rows))
        m_engine.editJob(row.data(JobListModel::IdRole).toUuid(), std::nullopt, approve);
}

void ReviewView::discard()
{
    const QList<RenameJob> jobs = m_engine.jobs();
    qCDebug(lcUI, "the user discards the review (%lld rows)", qint64(jobs.size()));
    m_engine.clearJobs();
    if (!jobs.isEmpty())
        Q_EMIT discarded(jobs);
}

void ReviewView::retryFailed()
{
    QList<QUuid> failedRenames;
    QList<QUrl> failedAnalyses;
    for (const RenameJob &job : m_engine.jobs()) {
        if (job.failureReason)
            failedAnalyses << job.originalURL;
        else if (job.applyFailure)
            failedRenames << job.id;
    }
    qCDebug(lcUI, "the user retries %lld failed analyses and %lld failed renames", qint64(failedAnalyses.size()),
            qint64(failedRenames.size()));
    if (!failedAnalyses.isEmpty())
        Q_EMIT filesDropped(failedAnalyses);
    if (!failedRenames.isEmpty())
        rename(failedRenames);
}

void ReviewView::confirmExtension(const QUuid &id, const QString &name)
{
    const auto job = std::ranges::find(m_engine.jobs(), id, &RenameJob::id);
    if (job == m_engine.jobs().end())
        return;
    const QString fileName = job->originalName();
    const QString kept = FileNames::extension(fileName);
    const QString typed = FileNames::extension(name);
    auto *box = new QMessageBox(QMessageBox::Question, qtTrId("preview.extension.title"),
                                typed.isEmpty()  ? qtTrId("preview.extension.removed").arg(name, kept)
                                : kept.isEmpty() ? qtTrId("preview.extension.added").arg(name, typed)
                                                 : qtTrId("preview.extension.changed").arg(name, kept, typed),
                                QMessageBox::NoButton, this);
    box->setInformativeText(qtTrId("preview.extension.why"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    const QString keepText =
        kept.isEmpty() ? qtTrId("preview.extension.keepNone") : qtTrId("preview.extension.keep").arg(kept);
    QPushButton *keep = box->addButton(keepText, QMessageBox::AcceptRole);
    QPushButton *use = box->addButton(typed.isEmpty() ? qtTrId("preview.extension.useNone")
                                                      : qtTrId("preview.extension.use").arg(typed),
                                      QMessageBox::DestructiveRole);
    box->setDefaultButton(keep);
    box->setEscapeButton(keep);
    connect(box, &QMessageBox::buttonClicked, this, [this, id, name, fileName, use](QAbstractButton *clicked) {
        m_engine.editJob(id, clicked == use ? name : FileNames::withExtensionOf(name, fileName), std::nullopt);
    });
    box->open();
}

void ReviewView::openPreview(int row)
{
    if (row < 0 || row >= m_filter->rowCount())
        return;
    if (!m_preview) {
        m_preview = new PreviewWindow(this);
        connect(m_preview, &PreviewWindow::stepRequested, this, &ReviewView::stepPreview);
    }
    m_list->setCurrentIndex(m_filter->index(row, 0));
    m_preview->showFile(m_filter->index(row, 0).data(JobListModel::UrlRole).toUrl());
}

void ReviewView::stepPreview(int delta)
{
    const int row = m_list->currentIndex().row() + delta;
    if (row >= 0 && row < m_filter->rowCount())
        openPreview(row);
}

QCoro::Task<> ReviewView::rename(std::optional<QList<QUuid>> only)
{
    if (m_applying)
        co_return;
    m_applying = true;
    refreshBar();
    qCDebug(lcUI, "the user renames %s",
            only ? qUtf8Printable(QStringLiteral("%1 chosen rows").arg(only->size())) : "the ticked rows");
    const QPointer<ReviewView> self(this);
    QCoro::Task<QList<RenameRecord>> applying = m_engine.applyApproved(std::move(only));
    const QList<RenameRecord> records = co_await std::move(applying);
    if (!self)
        co_return;
    m_applying = false;
    refreshBar();
    qCDebug(lcUI, "%lld renamed, %lld failed", qint64(records.size()), qint64(m_engine.lastApplyFailures().size()));
    Q_EMIT renamed(records, int(m_engine.lastApplyFailures().size()));
}

void ReviewView::showRowMenu(const QPoint &at)
{
    const QModelIndex index = m_list->indexAt(at);
    const auto found = std::ranges::find(m_engine.jobs(), index.data(JobListModel::IdRole).toUuid(), &RenameJob::id);
    if (!index.isValid() || found == m_engine.jobs().end())
        return;
    const RenameJob &job = *found;
    // The explanation is shared and immutable: the panel keeps showing it when the jobs change.
    const std::shared_ptr<const Grounding::Explanation> explanation = job.explanation;
    const QString fileName = job.originalName();
    auto *menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const QPersistentModelIndex row(index);
    if (!job.failureReason) {
        QAction *edit = menu->addAction(qtTrId("preview.edit"), this, [this, row] {
            if (row.isValid())
                m_list->edit(row);
        });
        edit->setShortcut(QKeySequence(Qt::Key_F2));
    }
    QAction *preview = menu->addAction(qtTrId("preview.quickLook"), this, [this, row] {
        if (row.isValid())
            openPreview(row.row());
    });
    preview->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Space));
    if (job.failureReason || job.applyFailure)
        menu->addAction(qtTrId("result.retry"), this, &ReviewView::retryFailed);
    menu->addSeparator();
    QAction *why = menu->addAction(qtTrId("explain.title"));
    why->setEnabled(explanation != nullptr);
    connect(why, &QAction::triggered, this, [this, explanation, fileName] {
        auto *panel = new ExplanationPanel(fileName, *explanation, this);
        panel->show();
    });
    menu->addSeparator();
    menu->addActions({m_askAgain, m_remove, m_tickAll, m_tickNone});
    menu->popup(m_list->viewport()->mapToGlobal(at));
}
