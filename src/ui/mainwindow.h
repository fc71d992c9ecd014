#pragma once

#include "settings/navigationstate.h"

#include <QCoroTask>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QUrl>

class AISettings;
class AnalysisStarter;
class AppSettings;
class DefaultsStore;
class FilesPage;
class FolderWatcher;
class KVXClient;
class ObjectStore;
class QAction;
class QListWidget;
class QSplitter;
class QStackedWidget;
class RenameEngine;
class RenameRules;
class SettingsWindow;
class StatusBarView;

/**
 * The main window "Namorix": the sidebar of the four sections (bound both ways to the shared
 * navigation state), the section pages, the status bar, and the menus with the two application-
 * wide commands (open files, undo the last rename). Holds no state of its own beyond widgets.
 */
class MainWindow final : public QMainWindow
{
    Q_OBJECT

public:
    struct Services {
        RenameEngine &engine;
        AnalysisStarter &starter; ///< over `engine`
        FolderWatcher &watcher;
        ObjectStore *store; ///< may be null when it could not be opened
        NavigationState &navigation;
        AISettings &aiSettings;
        AppSettings &appSettings;
        KVXClient &companion;
        DefaultsStore &defaults;
        RenameRules &rules;
    };

    explicit MainWindow(Services services, QWidget *parent = nullptr);
    Q_DISABLE_COPY_MOVE(MainWindow)

    /** Puts `page` (the history view) in the history section in place of the placeholder; takes ownership. */
    void setHistoryPage(QWidget *page);
    /** Puts `page` in the section `item` in place of what is there; takes ownership. */
    void setSectionPage(SidebarItem item, QWidget *page);
    /** Shown unminimized, raised and activated: what a tray click, a second start or a notification asks for. */
    void bringToFront();
    /** Brought to front at the history with `batch`'s records selected (HistoryView::showBatch). */
    void showBatch(qint64 batch);
    /** Files and folders handed over from outside (command line, URL): analysed like a drop. */
    void analyze(const QList<QUrl> &urls);

    [[nodiscard]] FilesPage *filesPage() const { return m_files; }
    [[nodiscard]] StatusBarView *statusView() const { return m_status; }
    [[nodiscard]] QListWidget *sidebar() const { return m_sidebar; }
    [[nodiscard]] QStackedWidget *sections() const { return m_sections; }
    /** Opens the settings window, or raises the one already open. */
    SettingsWindow *openSettings();

    ~MainWindow() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void buildSidebar();
    /** Tints the sidebar icons for the current palette (light or dark, highlight colour). */
    void tintSidebarIcons();
    /** The review's size on the files entry; news of arrivals in the status bar. */
    void countReview();
    void buildMenus();
    void showSection(int index);
    void openFilePicker();
    QCoro::Task<> revertLast();
    /** Says on the undo entry how many files the last batch holds; at most once per turn of the loop. */
    void scheduleUndoText();
    static void present(QWidget *window);
    /** Keeps the window's size and place and the sidebar's width for the next start. */
    void keepGeometry();

    Services m_services;
    QListWidget *m_sidebar;
    QSplitter *m_split = nullptr;
    QStackedWidget *m_sections;
    FilesPage *m_files;
    StatusBarView *m_status;
    qsizetype m_reviewCount = 0;
    QAction *m_revertLast = nullptr;
    bool m_undoTextDue = false;
    QPointer<SettingsWindow> m_settingsWindow;
};
