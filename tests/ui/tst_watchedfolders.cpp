// The watch section over a real store, a real inotify watcher kept in step by the watch router,
// and a queue without an engine (so URLs stay waiting): adding, skipping listed paths, the
// switches and the remove button reaching the watcher, and the queue line.
#include "automation/folderwatcher.h"
#include "automation/queuemanager.h"
#include "automation/watchrouter.h"
#include "engine/renameengine.h"
#include "enginefixture.h"
#include "settings/navigationstate.h"
#include "store/objectstore.h"
#include "ui/common/translations.h"
#include "ui/watch/watchedfoldersview.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

class TestWatchedFolders final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void addFolders_data();
    void addFolders();
    void switchesAndRemoveReachTheWatcher();
    void queueLineOnlyWhileWaiting();
    void chooserTakesSeveralFolders();

private:
    QStringList storedPaths() const
    {
        QStringList paths;
        for (const WatchedFolder &folder : m_store->fetchFolders().value_or(QList<WatchedFolder>()))
            paths << folder.path;
        return paths;
    }
    QString folder(const QString &name) const
    {
        QDir(m_dir.path()).mkpath(name);
        return m_dir.filePath(name);
    }
    QLabel *label(const char *name) const { return m_view->findChild<QLabel *>(QLatin1StringView(name)); }
    void clickCell(int row, int column) const
    {
        QTableView *table = m_view->table();
        const QRect cell = table->visualRect(table->model()->index(row, column));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    }

    QTemporaryDir m_dir;
    EngineFixture m_fx;
    std::unique_ptr<ObjectStore> m_store;
    std::unique_ptr<RenameEngine> m_engine;
    std::unique_ptr<FolderWatcher> m_watcher;
    std::unique_ptr<QueueManager> m_queue;
    std::unique_ptr<WatchRouter> m_router;
    std::unique_ptr<WatchedFoldersView> m_view;
    NavigationState m_navigation;
    int m_run = 0;
};

void TestWatchedFolders::initTestCase()
{
    installTranslations(*qApp);
}

void TestWatchedFolders::init()
{
    m_store = std::move(*ObjectStore::open(m_dir.filePath(QStringLiteral("w%1.sqlite").arg(++m_run))));
    m_engine = m_fx.makeEngine();
    m_watcher = std::make_unique<FolderWatcher>();
    m_queue = std::make_unique<QueueManager>([](const QString &, const QString &) {});
    m_router = std::make_unique<WatchRouter>(*m_watcher, *m_queue, *m_engine, *m_store, m_navigation);
    m_router->start();
    m_view = std::make_unique<WatchedFoldersView>(m_store.get(), *m_watcher, *m_queue);
    m_view->resize(700, 400);
    m_view->show();
}

void TestWatchedFolders::cleanup()
{
    m_view.reset();
    m_router.reset();
    m_queue.reset();
    m_watcher.reset();
    m_engine.reset();
    m_store.reset();
}

void TestWatchedFolders::addFolders_data()
{
    QTest::addColumn<QStringList>("chosen");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("already listed") << QStringList{"Eingang"} << QStringList{"Eingang"};
    QTest::newRow("three new at the end") << QStringList{"Scans", "Belege", "Fotos"}
                                          << QStringList{"Eingang", "Scans", "Belege", "Fotos"};
    QTest::newRow("twice in one choice") << QStringList{"Scans", "Eingang", "Scans"}
                                         << QStringList{"Eingang", "Scans"};
}

void TestWatchedFolders::addFolders()
{
    QFETCH(QStringList, chosen);
    QFETCH(QStringList, expected);
    QVERIFY(label("watchEmpty")->isVisible());
    m_view->addFolders({folder(QStringLiteral("Eingang"))});
    QStringList paths;
    for (const QString &name : chosen)
        paths << folder(name);
    m_view->addFolders(paths);
    QStringList expectedPaths;
    for (const QString &name : expected)
        expectedPaths << folder(name);
    QCOMPARE(storedPaths(), expectedPaths);
    QCOMPARE(m_view->table()->model()->rowCount(), expected.size());
    QVERIFY(m_view->table()->isVisible());
    QCOMPARE(m_view->table()->model()->index(expected.size() - 1, 0).data().toString(), expected.last());
    QCOMPARE(m_watcher->watchedPaths().size(), expected.size()); // new records are active
}

void TestWatchedFolders::switchesAndRemoveReachTheWatcher()
{
    m_view->addFolders({folder(QStringLiteral("Eingang")), m_dir.filePath(QStringLiteral("fehlt"))});
    QCOMPARE(m_view->table()->model()->rowCount(), 2); // listed although it cannot be watched
    QCOMPARE(label("watchWatching")->text(), QStringLiteral("1 Ordner überwacht"));

    clickCell(0, 1); // automatic renaming on: the record changes, the watch stays
    QVERIFY(m_store->fetchFolders()->at(0).autoRename);
    QCOMPARE(m_watcher->watchedPaths(), QStringList{folder(QStringLiteral("Eingang"))});

    clickCell(0, 2); // inactive: no longer observed
    QVERIFY(!m_store->fetchFolders()->at(0).isActive);
    QVERIFY(m_watcher->watchedPaths().isEmpty());
    QCOMPARE(label("watchWatching")->text(), QStringLiteral("0 Ordner überwacht"));
    clickCell(0, 2);
    QCOMPARE(m_watcher->watchedPaths().size(), 1);

    clickCell(0, 3); // remove: gone from the store and the count at once
    QCOMPARE(storedPaths(), QStringList{m_dir.filePath(QStringLiteral("fehlt"))});
    QVERIFY(m_watcher->watchedPaths().isEmpty());
    QCOMPARE(label("watchWatching")->text(), QStringLiteral("0 Ordner überwacht"));
}

void TestWatchedFolders::queueLineOnlyWhileWaiting()
{
    auto *pauseResume = m_view->findChild<QPushButton *>(QStringLiteral("watchPauseResume"));
    QVERIFY(!label("watchQueued")->isVisible() && !pauseResume->isVisible());
    m_queue->enqueue({QUrl::fromLocalFile(QStringLiteral("/tmp/a.pdf")), QUrl::fromLocalFile(QStringLiteral("/tmp/b.pdf"))});
    QVERIFY(label("watchQueued")->isVisible());
    QCOMPARE(label("watchQueued")->text(), QStringLiteral("2 Dateien warten"));
    QCOMPARE(pauseResume->text(), QStringLiteral("Pausieren"));
    pauseResume->click();
    QVERIFY(m_queue->isPaused());
    QCOMPARE(pauseResume->text(), QStringLiteral("Fortsetzen"));
    pauseResume->click();
    QVERIFY(!m_queue->isPaused());
    m_queue->clear();
    QVERIFY(!label("watchQueued")->isVisible() && !pauseResume->isVisible());
}

void TestWatchedFolders::chooserTakesSeveralFolders()
{
    m_view->chooseFolders();
    auto *dialog = m_view->findChild<QFileDialog *>();
    QVERIFY(dialog && dialog->isVisible());
    QCOMPARE(dialog->windowModality(), Qt::WindowModal); // open(): the test would hang in exec()
    QVERIFY(dialog->testOption(QFileDialog::DontUseNativeDialog));
    QCOMPARE(dialog->fileMode(), QFileDialog::Directory);
    QCOMPARE(dialog->findChild<QListView *>(QStringLiteral("listView"))->selectionMode(),
             QAbstractItemView::ExtendedSelection);
    const QStringList chosen{folder(QStringLiteral("A")), folder(QStringLiteral("B"))};
    Q_EMIT dialog->filesSelected(chosen);
    dialog->close();
    QCOMPARE(storedPaths(), chosen);
}

QTEST_MAIN(TestWatchedFolders)
#include "tst_watchedfolders.moc"
