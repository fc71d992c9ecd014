#include "ui/mainwindow.h"

#include "engine/filework.h"
#include "engine/renameengine.h"
#include "engine/undo.h"
#include "settings/defaultsstore.h"
#include "settings/navigationstate.h"
#include "store/objectstore.h"
#include "ui/about/aboutview.h"
#include "ui/common/appcommands.h"
#include "ui/common/icons.h"
#include "ui/common/mnemonics.h"
#include "ui/files/filespage.h"
#include "ui/firststart/legaltextview.h"
#include "ui/history/historyview.h"
#include "ui/settings/settingswindow.h"
#include "ui/status/statusbarview.h"
#include "ui/templates/templateeditorview.h"
#include "ui/uilog.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QSplitter>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QString GeometryKey = QStringLiteral("ui.window.geometry");
const QString SplitKey = QStringLiteral("ui.window.sidebar");

constexpr QStringView SidebarSymbols[] = {u"doc.on.doc", u"clock.arrow.counterclockwise", u"doc.text",
                                          u"folder.badge.gearshape"};

QString translated(const QString &key)
{
    return qtTrId(key.toUtf8().constData());
}

QLabel *placeholder(const char *key)
{
    auto *label = new QLabel(qtTrId(key));
    label->setAlignment(Qt::AlignCenter);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

} // namespace

MainWindow::MainWindow(Services services, QWidget *parent)
    : QMainWindow(parent)
    , m_services(services)
    , m_sidebar(new QListWidget)
    , m_sections(new QStackedWidget)
    , m_files(new FilesPage(services.starter, services.navigation, services.defaults))
    , m_status(new StatusBarView({services.engine, services.watcher, services.store, services.aiSettings,
                                  services.appSettings, services.companion}))
{
    setWindowTitle(QStringLiteral("Namorix"));
    // Application-wide, so the dialogs and small windows carry it too.
    QApplication::setWindowIcon(Icons::appIcon());
    resize(900, 600);
    setMinimumSize(720, 480);

    // Section pages in sidebar order; a section's index is its SidebarItem value.
    m_sections->addWidget(m_files);
    m_sections->addWidget(placeholder("placeholder.history"));
    m_sections->addWidget(new TemplateEditorView(services.store));
    m_sections->addWidget(placeholder("placeholder.watch"));

    buildSidebar();
    auto *split = m_split = new QSplitter;
    split->setChildrenCollapsible(false);
    split->addWidget(m_sidebar);
    split->addWidget(m_sections);
    // The sidebar keeps its width: space the window gains or a wider page asks for goes to the page.
    split->setStretchFactor(0, 0);
    split->setStretchFactor(1, 1);
    split->setSizes({160, 740});
    if (const std::optional<QByteArray> geometry = m_services.defaults.bytesValue(GeometryKey))
        restoreGeometry(*geometry);
    if (const std::optional<QByteArray> sizes = m_services.defaults.bytesValue(SplitKey))
        split->restoreState(*sizes);

    auto *content = new QWidget;
    auto *column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(split, 1);
    column->addWidget(m_status);
    setCentralWidget(content);
    buildMenus();

    connect(&m_services.navigation, &NavigationState::selectedTabChanged, this,
            [this](SidebarItem tab) { showSection(int(tab)); });
    connect(&AppCommands::shared(), &AppCommands::openFilePicker, this, &MainWindow::openFilePicker);
    connect(&AppCommands::shared(), &AppCommands::revertLastRename, this, &MainWindow::revertLast);
    showSection(int(m_services.navigation.selectedTab()));
}

void MainWindow::setHistoryPage(QWidget *page)
{
    setSectionPage(SidebarItem::history, page);
}

void MainWindow::setSectionPage(SidebarItem item, QWidget *page)
{
    const int index = int(item);
    QWidget *old = m_sections->widget(index);
    const bool shown = m_sections->currentIndex() == index;
    m_sections->insertWidget(index, page);
    m_sections->removeWidget(old);
    old->deleteLater();
    if (shown)
        m_sections->setCurrentIndex(index);
}

void MainWindow::bringToFront()
{
    setWindowState(windowState() & ~Qt::WindowMinimized);
    present(this);
}

void MainWindow::showBatch(qint64 batch)
{
    bringToFront();
    m_services.navigation.setSelectedTab(SidebarItem::history);
    if (auto *history = qobject_cast<HistoryView *>(m_sections->widget(int(SidebarItem::history))))
        history->showBatch(batch);
}

void MainWindow::analyze(const QList<QUrl> &urls)
{
    m_files->analyze(urls);
}

void MainWindow::buildSidebar()
{
    m_sidebar->setAccessibleName(qtTrId("sidebar.title"));
    m_sidebar->setMinimumWidth(150);
    m_sidebar->setMaximumWidth(250);
    m_sidebar->setIconSize(QSize(16, 16));
    for (SidebarItem item : {SidebarItem::files, SidebarItem::history, SidebarItem::templates, SidebarItem::watch}) {
        auto *entry = new QListWidgetItem(translated(labelKey(item)), m_sidebar);
        entry->setData(Qt::AccessibleTextRole, entry->text());
    }
    tintSidebarIcons();
    // Suggestions that arrive while the user is elsewhere (a watched folder, the queue) do not
    // pull the window over: the files entry counts them and the status bar says so.
    connect(&m_services.engine, &RenameEngine::jobsChanged, this, &MainWindow::countReview);
    countReview();
    m_sidebar->installEventFilter(this);
    connect(m_sidebar, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            m_services.navigation.setSelectedTab(SidebarItem(row));
    });
}

void MainWindow::countReview()
{
    const qsizetype count = m_services.engine.jobs().size();
    QListWidgetItem *files = m_sidebar->item(int(SidebarItem::files));
    files->setText(count > 0 ? qtTrId("sidebar.filesCount", int(count)) : translated(labelKey(SidebarItem::files)));
    files->setData(Qt::AccessibleTextRole, files->text());
    if (count > m_reviewCount && m_services.navigation.selectedTab() != SidebarItem::files)
        m_status->flash(qtTrId("status.newSuggestions", int(count - m_reviewCount)));
    m_reviewCount = count;
}

void MainWindow::tintSidebarIcons()
{
    const QColor highlighted = m_sidebar->palette().color(QPalette::HighlightedText);
    for (int row = 0; row < m_sidebar->count(); ++row)
        m_sidebar->item(row)->setIcon(
            Icons::onHighlight(Icons::symbol(SidebarSymbols[row]), m_sidebar->iconSize(), highlighted));
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    // A switch between light and dark reaches the sidebar as a palette change; the tint follows it.
    if (watched == m_sidebar && event->type() == QEvent::PaletteChange)
        tintSidebarIcons();
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::buildMenus()
{
    AppCommands &commands = AppCommands::shared();
    QMenu *file = menuBar()->addMenu(qtTrId("menu.file"));
    file->addAction(qtTrId("drop.pick"), QKeySequence::Open, &commands, &AppCommands::postOpenFilePicker);
    file->addAction(qtTrId("drop.pickFolder"), this, [this] {
        m_services.navigation.showFiles();
        m_files->pickFolder();
    });
    file->addSeparator();
    // exit, not quit: quit first asks every window to close, and a window kept for the tray declines.
    file->addAction(qtTrId("menu.quit"), QKeySequence(Qt::CTRL | Qt::Key_Q), qApp, [] { QCoreApplication::exit(0); });

    QMenu *edit = menuBar()->addMenu(qtTrId("menu.edit"));
    // A focused text field takes Ctrl+Z first (it claims the undo key), so typing is undone there.
    m_revertLast =
        edit->addAction(qtTrId("menu.revertLast"), QKeySequence::Undo, &commands, &AppCommands::postRevertLastRename);
    m_revertLast->setObjectName(QStringLiteral("revertLast"));
    edit->addSeparator();
    edit->addAction(qtTrId("menu.settings"), QKeySequence(Qt::CTRL | Qt::Key_Comma), this, &MainWindow::openSettings);

    // Ctrl+1 … Ctrl+4 switch sections, as in the file managers' and mail clients' sidebars.
    QMenu *view = menuBar()->addMenu(qtTrId("menu.view"));
    int number = 1;
    for (SidebarItem item : {SidebarItem::files, SidebarItem::history, SidebarItem::templates, SidebarItem::watch}) {
        view->addAction(translated(labelKey(item)), QKeySequence(Qt::CTRL | (Qt::Key_0 + number++)), this,
                        [this, item] { m_services.navigation.setSelectedTab(item); });
    }

    QMenu *help = menuBar()->addMenu(qtTrId("menu.help"));
    QMenu *legal = help->addMenu(qtTrId("menu.legal"));
    const std::pair<const char *, LegalInfoType> legalEntries[] = {{"menu.impressum", LegalInfoType::impressum},
                                                                   {"menu.terms", LegalInfoType::terms},
                                                                   {"menu.privacy", LegalInfoType::privacy}};
    for (const auto &[key, type] : legalEntries)
        legal->addAction(qtTrId(key), this, [this, type] { present(LegalTextView::forType(type, this)); });
    legal->addSeparator();
    legal->addAction(qtTrId("menu.accessibility"), this,
                     [this] { present(LegalTextView::forType(LegalInfoType::accessibility, this)); });
    help->addAction(qtTrId("menu.about"), this, [this] { present(AboutView::forThisBuild(this)); });
    Mnemonics::assign(menuBar()->actions());

    if (m_services.store) {
        connect(m_services.store, &ObjectStore::changed, this, [this](ObjectStore::Kind kind) {
            if (kind == ObjectStore::Kind::records)
                scheduleUndoText();
        });
    }
    scheduleUndoText();
}

void MainWindow::scheduleUndoText()
{
    // A batch undone file by file signals each file: one query after them, not one per file.
    if (m_undoTextDue)
        return;
    m_undoTextDue = true;
    QTimer::singleShot(0, this, [this] {
        m_undoTextDue = false;
        int files = 0;
        if (m_services.store) {
            if (const auto last = m_services.store->lastBatch(); last && *last)
                files = (*last)->files;
        }
        m_revertLast->setText(files > 0 ? qtTrId("menu.revertLastBatch", files) : qtTrId("menu.revertLast"));
        Mnemonics::assign(menuBar()->actions());
    });
}

void MainWindow::showSection(int index)
{
    m_sections->setCurrentIndex(index);
    if (m_sidebar->currentRow() != index)
        m_sidebar->setCurrentRow(index);
}

void MainWindow::openFilePicker()
{
    m_services.navigation.showFiles();
    m_files->pickFiles();
}

QCoro::Task<> MainWindow::revertLast()
{
    qCDebug(lcUI, "the user undoes the newest batch");
    const QPointer<MainWindow> self(this);
    QCoro::Task<std::expected<Undo::Outcome, NamorixError>> reverting =
        m_services.engine.fileWork().revertLast(m_services.store);
    const auto reverted = co_await std::move(reverting);
    if (!self)
        co_return;
    if (!reverted)
        m_status->flash(reverted.error().message());
    else if (reverted->reverted == 1 && reverted->failures.isEmpty() && reverted->lastReverted)
        m_status->flash(
            qtTrId("status.reverted").arg(reverted->lastReverted->newName, reverted->lastReverted->originalName));
    else if (reverted->reverted > 0 || !reverted->failures.isEmpty())
        m_status->flash(Undo::describe(*reverted));
}

SettingsWindow *MainWindow::openSettings()
{
    if (!m_settingsWindow) {
        SettingsWindow::Services services{m_services.defaults,        m_services.appSettings, m_services.aiSettings,
                                          m_services.engine.ledger(), m_services.companion,   m_services.rules};
        services.store = m_services.store;
        m_settingsWindow = new SettingsWindow(services, this);
        m_settingsWindow->setAttribute(Qt::WA_DeleteOnClose);
    }
    present(m_settingsWindow);
    return m_settingsWindow;
}

void MainWindow::present(QWidget *window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

MainWindow::~MainWindow()
{
    keepGeometry();
}

void MainWindow::hideEvent(QHideEvent *event)
{
    keepGeometry();
    QMainWindow::hideEvent(event);
}

void MainWindow::keepGeometry()
{
    if (!isVisible() && !testAttribute(Qt::WA_WState_ExplicitShowHide))
        return; // never shown: nothing of the user's to keep
    m_services.defaults.setBytes(GeometryKey, saveGeometry());
    m_services.defaults.setBytes(SplitKey, m_split->saveState());
}
