#include "ui/files/filespage.h"

#include "common/stringtable.h"
#include "engine/analysisstarter.h"
#include "engine/filework.h"
#include "engine/renameengine.h"
#include "engine/undo.h"
#include "settings/defaultsstore.h"
#include "settings/navigationstate.h"
#include "store/objectstore.h"
#include "ui/common/manyfilesquestion.h"
#include "ui/files/analysisprogressview.h"
#include "ui/files/droptarget.h"
#include "ui/files/resultbar.h"
#include "ui/files/reviewview.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QListView>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {
const QString DialogFolderKey = QStringLiteral("ui.openDialog.folder");
} // namespace

FilesPage::FilesPage(AnalysisStarter &starter, NavigationState &navigation, DefaultsStore &defaults, QWidget *parent)
    : QWidget(parent)
    , m_engine(starter.engine())
    , m_starter(starter)
    , m_navigation(navigation)
    , m_question(new ManyFilesQuestion(starter, this))
    , m_defaults(defaults)
    , m_result(new ResultBar)
    , m_stack(new QStackedWidget)
    , m_dropTarget(new DropTarget)
    , m_progress(new AnalysisProgressView(m_engine))
    , m_review(new ReviewView(m_engine))
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(m_result);
    column->addWidget(m_stack, 1);
    m_stack->addWidget(m_dropTarget);
    m_stack->addWidget(m_progress);
    m_stack->addWidget(m_review);
    connect(m_review, &ReviewView::renamed, this, &FilesPage::reportRenamed);
    connect(m_review, &ReviewView::discarded, this, &FilesPage::reportDiscarded);
    connect(m_review, &ReviewView::askAgainRequested, this,
            [this](const QList<QUrl> &files) { m_starter.start(files, std::nullopt, true); });
    connect(m_review, &ReviewView::nameRefused, this,
            [this](const QString &reason) { m_result->showResult(reason, ResultBar::Tone::problem, {}); });
    connect(m_dropTarget, &DropTarget::filesDropped, this, &FilesPage::analyze);
    connect(m_review, &ReviewView::filesDropped, this, &FilesPage::analyze);
    connect(m_dropTarget, &DropTarget::pickFilesRequested, this, &FilesPage::pickFiles);
    connect(m_dropTarget, &DropTarget::pickFolderRequested, this, &FilesPage::pickFolder);
    connect(m_dropTarget, &DropTarget::stopRequested, &m_starter, &AnalysisStarter::stop);
    connect(&m_starter, &AnalysisStarter::countingChanged, this, [this](bool counting) {
        setCursor(counting ? Qt::BusyCursor : Qt::ArrowCursor);
        m_dropTarget->setCounting(counting);
    });
    connect(&m_engine, &RenameEngine::jobsChanged, this, &FilesPage::showCurrent);
    connect(&m_engine, &RenameEngine::isProcessingChanged, this, &FilesPage::showCurrent);
    showCurrent();
}

void FilesPage::analyze(const QList<QUrl> &urls)
{
    // The user's own request: the files section shows what becomes of it.
    m_navigation.showFiles();
    m_starter.start(urls);
}

void FilesPage::pickFiles()
{
    openDialog(false);
}

void FilesPage::pickFolder()
{
    openDialog(true);
}

QWidget *FilesPage::currentWidget() const
{
    return m_stack->currentWidget();
}

void FilesPage::showCurrent()
{
    // The review stays in front while more files are analysed: the user may go on working on it.
    if (!m_engine.jobs().isEmpty()) {
        if (currentWidget() != m_review) {
            m_stack->setCurrentWidget(m_review);
            m_review->list()->setFocus(); // the keyboard goes on where the results are
        }
    } else if (m_engine.isProcessing())
        m_stack->setCurrentWidget(m_progress);
    else
        m_stack->setCurrentWidget(m_dropTarget);
}

void FilesPage::reportRenamed(const QList<RenameRecord> &records, int failed)
{
    QStringList parts;
    QList<ResultBar::Action> actions;
    if (!records.isEmpty()) {
        parts << StringTable::text("result.renamed", int(records.size()));
        actions.append({qtTrId("result.undo"), [this, batch = records.first().batch] { undo(batch); }});
    }
    if (failed > 0) {
        parts << StringTable::text("result.notRenamed", failed);
        actions.append({qtTrId("result.retry"), [this] { m_review->retryFailed(); }});
    }
    const int stopped = m_engine.lastApplyStopped();
    if (stopped > 0)
        parts << StringTable::text("result.renameStopped", stopped);
    if (!parts.isEmpty())
        m_result->showResult(parts.join(QStringLiteral(", ")),
                             failed > 0 || stopped > 0 ? ResultBar::Tone::problem : ResultBar::Tone::done, actions);
    followBatch(records.isEmpty() ? std::nullopt : std::optional(records.first().batch));
}

void FilesPage::followBatch(std::optional<qint64> batch)
{
    disconnect(m_batchWatch);
    ObjectStore *store = m_engine.store();
    if (!batch || !store)
        return;
    // Undone elsewhere (Ctrl+Z, the history): "6 Dateien umbenannt · Rückgängig" no longer holds.
    m_batchWatch = connect(store, &ObjectStore::changed, this, [this, store, id = *batch](ObjectStore::Kind kind) {
        if (kind != ObjectStore::Kind::records)
            return;
        RecordQuery query;
        query.batch = id;
        if (const auto count = store->countRecords(query); count && count->notReverted == 0) {
            disconnect(m_batchWatch);
            m_result->hide();
        }
    });
}

QCoro::Task<> FilesPage::undo(qint64 batch)
{
    const QPointer<FilesPage> self(this);
    QCoro::Task<std::expected<Undo::Outcome, NamorixError>> reverting =
        m_engine.fileWork().revertBatch(m_engine.store(), batch);
    followBatch(std::nullopt); // what follows is this undo's own result
    const auto outcome = co_await std::move(reverting);
    if (!self)
        co_return;
    if (!outcome) {
        m_result->showResult(outcome.error().message(), ResultBar::Tone::problem);
        co_return;
    }
    m_result->showResult(Undo::describe(*outcome),
                         outcome->failures.isEmpty() ? ResultBar::Tone::done : ResultBar::Tone::problem);
}

void FilesPage::reportDiscarded(const QList<RenameJob> &jobs)
{
    // Suggestions were paid for: discarding them is one click, so it is one click to take back.
    m_result->showResult(StringTable::text("result.discarded", int(jobs.size())), ResultBar::Tone::done,
                         {{qtTrId("result.restore"), [this, jobs] {
                               m_engine.addToReview(jobs);
                               m_result->hide();
                           }}});
}

void FilesPage::openDialog(bool folders)
{
    if (m_dialog)
        m_dialog->close();
    auto *dialog = new QFileDialog(window(), folders ? qtTrId("drop.pickFolder") : qtTrId("drop.pick"));
    dialog->setFileMode(folders ? QFileDialog::Directory : QFileDialog::ExistingFiles);
    if (folders)
        dialog->setOption(QFileDialog::ShowDirsOnly);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // Where the user last picked from, as file managers' dialogs do.
    if (const std::optional<QString> folder = m_defaults.stringValue(DialogFolderKey); folder && QDir(*folder).exists())
        dialog->setDirectory(*folder);
    // Qt's own dialog (no desktop dialog plugin) emits only filesSelected, a native one only urlsSelected;
    // accepted comes from both, and selectedUrls() answers for both.
    connect(dialog, &QDialog::accepted, this, [this, dialog, folders] {
        const QList<QUrl> urls = dialog->selectedUrls();
        if (urls.isEmpty())
            return;
        // A chosen folder is the thing picked: next time the dialog opens where it lies.
        const QString picked = urls.first().toLocalFile();
        m_defaults.setString(DialogFolderKey, folders ? QFileInfo(picked).path() : dialog->directory().absolutePath());
        analyze(urls);
    });
    m_dialog = dialog;
    dialog->open();
}
