#include "ui/files/filespage.h"

#include "engine/analysisstarter.h"
#include "engine/renameengine.h"
#include "settings/navigationstate.h"
#include "ui/common/manyfilesquestion.h"
#include "ui/files/analysisprogressview.h"
#include "ui/files/droptarget.h"
#include "ui/files/reviewview.h"

#include <QFileDialog>
#include <QListView>

FilesPage::FilesPage(AnalysisStarter &starter, NavigationState &navigation, QWidget *parent)
    : QStackedWidget(parent)
    , m_engine(starter.engine())
    , m_starter(starter)
    , m_navigation(navigation)
    , m_question(new ManyFilesQuestion(starter, this))
    , m_dropTarget(new DropTarget)
    , m_progress(new AnalysisProgressView(m_engine))
    , m_review(new ReviewView(m_engine))
{
    addWidget(m_dropTarget);
    addWidget(m_progress);
    addWidget(m_review);
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

void FilesPage::showCurrent()
{
    // The review stays in front while more files are analysed: the user may go on working on it.
    if (!m_engine.jobs().isEmpty()) {
        if (currentWidget() != m_review) {
            setCurrentWidget(m_review);
            m_review->list()->setFocus(); // the keyboard goes on where the results are
        }
    } else if (m_engine.isProcessing())
        setCurrentWidget(m_progress);
    else
        setCurrentWidget(m_dropTarget);
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
    connect(dialog, &QFileDialog::urlsSelected, this, [this](const QList<QUrl> &urls) {
        if (!urls.isEmpty())
            analyze(urls);
    });
    m_dialog = dialog;
    dialog->open();
}
