#include "ui/mainwindow.h"

#include "engine/renameengine.h"
#include "settings/navigationstate.h"
#include "store/objectstore.h"
#include "ui/common/appcommands.h"
#include "ui/common/icons.h"
#include "ui/files/filespage.h"
#include "ui/status/statusbarview.h"
#include "ui/templates/templateeditorview.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QSplitter>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

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
    , m_files(new FilesPage(services.engine, services.navigation))
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
    auto *split = new QSplitter;
    split->setChildrenCollapsible(false);
    split->addWidget(m_sidebar);
    split->addWidget(m_sections);
    split->setStretchFactor(1, 1);
    split->setSizes({180, 720});

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
        auto *entry =
            new QListWidgetItem(Icons::symbol(SidebarSymbols[int(item)]), translated(labelKey(item)), m_sidebar);
        entry->setData(Qt::AccessibleTextRole, entry->text());
    }
    connect(m_sidebar, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            m_services.navigation.setSelectedTab(SidebarItem(row));
    });
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
    file->addAction(qtTrId("menu.quit"), QKeySequence(Qt::CTRL | Qt::Key_Q), qApp, &QCoreApplication::quit);

    QMenu *edit = menuBar()->addMenu(qtTrId("menu.edit"));
    // A focused text field takes Ctrl+Z first (it claims the undo key), so typing is undone there.
    edit->addAction(qtTrId("menu.revertLast"), QKeySequence::Undo, &commands, &AppCommands::postRevertLastRename);
    edit->addSeparator();
    QAction *settings = edit->addAction(qtTrId("menu.settings"));
    settings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    settings->setEnabled(false); // until the settings window exists

    QMenu *help = menuBar()->addMenu(qtTrId("menu.help"));
    QMenu *legal = help->addMenu(qtTrId("menu.legal"));
    for (const char *key : {"menu.impressum", "menu.terms", "menu.privacy", "", "menu.accessibility"}) {
        if (*key == '\0')
            legal->addSeparator();
        else
            legal->addAction(qtTrId(key), this, [this, key] { showInfoWindow(qtTrId(key)); });
    }
    help->addAction(qtTrId("menu.about"), this, [this] { showInfoWindow(qtTrId("menu.about")); });
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

void MainWindow::revertLast()
{
    const auto reverted = m_services.engine.revertLast();
    if (!reverted)
        m_status->flash(reverted.error().message());
    else if (*reverted)
        m_status->flash(qtTrId("status.reverted").arg((*reverted)->newName, (*reverted)->originalName));
}

void MainWindow::showInfoWindow(const QString &title)
{
    // A plain window with the title until the legal texts and the about view exist.
    auto *window = new QWidget(this, Qt::Window);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(title);
    auto *column = new QVBoxLayout(window);
    auto *icon = new QLabel;
    icon->setPixmap(Icons::appIcon().pixmap(64, 64));
    icon->setAlignment(Qt::AlignCenter);
    auto *heading = new QLabel(title);
    heading->setAlignment(Qt::AlignCenter);
    QFont font = heading->font();
    font.setPointSizeF(font.pointSizeF() * 1.4);
    font.setBold(true);
    heading->setFont(font);
    column->addWidget(icon);
    column->addWidget(heading);
    window->resize(360, 220);
    window->show();
}
