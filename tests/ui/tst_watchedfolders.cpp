// The watch section over a real store, inotify watcher and router; its queue has no engine, so URLs wait.
#include "automation/queuemanager.h"
#include "automation/watchrouter.h"
#include "ui/watch/watchedfoldersview.h"
#include "windowfixture.h"

class TestWatchedFolders final : public QObject
{
    Q_OBJECT

    struct Fixture : StoreFixture {
        QueueManager queue{[](const QString &, const QString &) {}};
        WatchRouter router{watcher, queue, starter, *store};
        WatchedFoldersView view{store.get(), watcher, queue};

        QStringList storedPaths() const
        {
            QStringList paths;
            for (const WatchedFolder &folder : store->fetchFolders().value_or(QList<WatchedFolder>()))
                paths << folder.path;
            return paths;
        }
        QStringList folders(const QStringList &names) const
        {
            QStringList paths;
            for (const QString &name : names) {
                QDir(dir.path()).mkpath(name);
                paths << dir.filePath(name);
            }
            return paths;
        }
        QLabel *label(const QString &name) const { return view.findChild<QLabel *>(name); }
        void click(int row, int column) { clickCell(view.table(), view.table()->model()->index(row, column)); }
    };
    std::unique_ptr<Fixture> f;

private Q_SLOTS:
    void init()
    {
        f = std::make_unique<Fixture>();
        f->router.start();
        f->view.resize(700, 400);
        f->view.show();
    }
    void cleanup() { f.reset(); }

    void addFolders_data()
    {
        QTest::addColumn<QStringList>("chosen");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("already listed") << QStringList{"Eingang"} << QStringList{"Eingang"};
        QTest::newRow("three new at the end")
            << QStringList{"Scans", "Belege", "Fotos"} << QStringList{"Eingang", "Scans", "Belege", "Fotos"};
        QTest::newRow("twice in one choice")
            << QStringList{"Scans", "Eingang", "Scans"} << QStringList{"Eingang", "Scans"};
    }

    void addFolders()
    {
        QFETCH(QStringList, chosen);
        QFETCH(QStringList, expected);
        QVERIFY(f->label("watchEmpty")->isVisible());
        f->view.addFolders(f->folders({"Eingang"}));
        f->view.addFolders(f->folders(chosen));
        QCOMPARE(f->storedPaths(), f->folders(expected));
        QCOMPARE(f->view.table()->model()->rowCount(), expected.size());
        QVERIFY(f->view.table()->isVisible());
        QCOMPARE(f->view.table()->model()->index(expected.size() - 1, 0).data().toString(), expected.last());
        QCOMPARE(f->watcher.watchedPaths().size(), expected.size()); // new records are active
    }

    void switchesAndRemoveReachTheWatcher()
    {
        f->view.addFolders(f->folders({"Eingang"}) << f->dir.filePath("fehlt"));
        QCOMPARE(f->view.table()->model()->rowCount(), 2); // listed although it cannot be watched
        QCOMPARE(f->label("watchWatching")->text(), "1 Ordner überwacht");

        f->click(0, 1); // automatic renaming on: the record changes, the watch stays
        QVERIFY(f->store->fetchFolders()->at(0).autoRename);
        QCOMPARE(f->watcher.watchedPaths(), f->folders({"Eingang"}));
        // Switched inactive, it is no longer observed: gui_endtoend.
        f->click(0, 3); // remove: gone from the store and the count at once
        QCOMPARE(f->storedPaths(), QStringList{f->dir.filePath("fehlt")});
        QVERIFY(f->watcher.watchedPaths().isEmpty());
        QCOMPARE(f->label("watchWatching")->text(), "0 Ordner überwacht");
    }

    void queueLineOnlyWhileWaiting()
    {
        auto *pauseResume = f->view.findChild<QPushButton *>("watchPauseResume");
        QVERIFY(!f->label("watchQueued")->isVisible() && !pauseResume->isVisible());
        f->queue.enqueue({QUrl::fromLocalFile("/tmp/a.pdf"), QUrl::fromLocalFile("/tmp/b.pdf")});
        QVERIFY(f->label("watchQueued")->isVisible());
        QCOMPARE(f->label("watchQueued")->text(), "2 Dateien warten");
        QCOMPARE(pauseResume->text(), "Pausieren");
        pauseResume->click();
        QVERIFY(f->queue.isPaused());
        QCOMPARE(pauseResume->text(), "Fortsetzen");
        pauseResume->click();
        QVERIFY(!f->queue.isPaused());
        f->queue.clear();
        QVERIFY(!f->label("watchQueued")->isVisible() && !pauseResume->isVisible());
    }

    void chooserTakesSeveralFolders()
    {
        f->view.chooseFolders();
        auto *dialog = f->view.findChild<QFileDialog *>();
        QVERIFY(dialog && dialog->isVisible()); // open(), not exec(): the test would hang
        QCOMPARE(dialog->fileMode(), QFileDialog::Directory);
        QCOMPARE(dialog->findChild<QListView *>("listView")->selectionMode(), QAbstractItemView::ExtendedSelection);
        const QStringList chosen = f->folders({"A", "B"});
        Q_EMIT dialog->filesSelected(chosen);
        dialog->close();
        QCOMPARE(f->storedPaths(), chosen);
    }
};

QTEST_MAIN(TestWatchedFolders)
#include "tst_watchedfolders.moc"
