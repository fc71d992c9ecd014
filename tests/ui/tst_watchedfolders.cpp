// The watch and template sections over a real store; the watch section with an inotify watcher and
// router, and a queue without an engine, so URLs wait.
#include "automation/queuemanager.h"
#include "automation/watchrouter.h"
#include "ui/templates/templateeditorview.h"
#include "ui/watch/watchedfoldersview.h"
#include "windowfixture.h"

class TestWatchedFolders final : public QObject
{
    Q_OBJECT

    struct Fixture : StoreFixture {
        QueueManager queue{fx.defaults,
                           [](const QString &, const QString &, const QList<DesktopNotifier::Action> &) {}};
        WatchRouter router{watcher, queue, starter, *store};
        WatchedFoldersView view{store.get(), watcher, queue};
        TemplateEditorView templates{store.get()};

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
        template <typename T> T *field(const QString &name) { return named<T>(&templates, name); }
        QList<NamingTemplate> storedTemplates() const
        {
            return store->fetchTemplates().value_or(QList<NamingTemplate>());
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
        // The row's menu takes the folder's files now (the rule: tst_folderwatcher); not for one unwatched.
        QSignalSpy taking(&f->view, &WatchedFoldersView::takeExistingRequested);
        for (const int row : {1, 0}) {
            const QRect cell = f->view.table()->visualRect(f->view.table()->model()->index(row, 0));
            Q_EMIT f->view.table()->customContextMenuRequested(cell.center());
            auto *take = f->view.table()->findChild<QAction *>("watchTakeExisting");
            QTRY_VERIFY(take && take->parent()->isWidgetType() && static_cast<QWidget *>(take->parent())->isVisible());
            QCOMPARE(take->isEnabled(), row == 0);
            take->trigger();
            static_cast<QWidget *>(take->parent())->close();
            QTRY_VERIFY(!f->view.table()->findChild<QAction *>("watchTakeExisting"));
        }
        QCOMPARE(taking.size(), 1); // a disabled action does nothing
        QCOMPARE(taking.at(0).at(0).toString(), f->folders({"Eingang"}).at(0));
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

    // The template editor, which the REST API changes too.
    void templatesAddEditAndDelete()
    {
        QVERIFY(f->store->insert(NamingTemplate{0, "Belege", "{name}", {}, true, QDateTime::currentDateTimeUtc()}));
        QVERIFY(f->templates.showsPlaceholder());
        auto *remove = f->field<QToolButton>("Vorlage löschen");
        QVERIFY(!remove->isEnabled()); // nothing selected
        auto *add = f->field<QToolButton>("Vorlage hinzufügen");
        QTest::mouseClick(add, Qt::LeftButton);
        QTest::mouseClick(add, Qt::LeftButton);
        QCOMPARE(f->storedTemplates().size(), 3);
        QCOMPARE(f->templates.list()->count(), 3);
        QCOMPARE(f->templates.list()->currentRow(), 2); // the newest, selected
        QVERIFY(!f->templates.showsPlaceholder());

        // Typing is stored once it pauses (none of it yet) or the toggle settles it; the toggle makes
        // this one the default, as the REST API does.
        auto *name = f->field<QLineEdit>("Name");
        QCOMPARE(name->text(), "Neue Vorlage");
        name->selectAll();
        QTest::keyClicks(name, "Rechnungen");
        // Unfinished, the pattern gets a note and the example has nothing to show; done, both follow.
        QTest::keyClicks(f->field<QLineEdit>("Muster"), "-{betrag");
        QCOMPARE(f->storedTemplates().at(2).pattern, "{datum}-{vorschlag}");
        auto *problem = f->templates.findChild<QLabel *>("templatesProblem");
        QCOMPARE(problem->text(), "„{betrag“ ist nicht abgeschlossen: Es fehlt die schließende Klammer „}“.");
        QCOMPARE(f->field<QLabel>("Beispiel")->text(), "–");
        QTest::keyClicks(f->field<QLineEdit>("Muster"), "}");
        QVERIFY(problem->isHidden());
        QCOMPARE(f->field<QLabel>("Beispiel")->text(), "2024-03-15-Stromrechnung-49.99.jpg");
        f->field<QCheckBox>("Standard-Vorlage")->click();
        const NamingTemplate edited = f->storedTemplates().at(2);
        QCOMPARE(edited.name, "Rechnungen");
        QCOMPARE(edited.pattern, "{datum}-{vorschlag}-{betrag}");
        QVERIFY(edited.isDefault);
        QVERIFY(!f->storedTemplates().at(0).isDefault);
        QCOMPARE(f->templates.list()->item(2)->text(), "Rechnungen");
        QCOMPARE(name->text(), "Rechnungen");

        QTest::mouseClick(remove, Qt::LeftButton); // the selected one only
        QCOMPARE(f->storedTemplates().size(), 2);
        QCOMPARE(f->storedTemplates().at(1).name, "Neue Vorlage");
        QVERIFY(f->templates.showsPlaceholder());
        QVERIFY(!remove->isEnabled());
    }

    void templatesFollowTheStore()
    {
        // Stored before patterns were checked: kept, and it can still be made the default.
        NamingTemplate value{0, "Fotos", "{camera_model}_{ort}", {}, false, QDateTime::currentDateTimeUtc()};
        value.id = f->store->insert(value).value_or(0);
        QCOMPARE(f->templates.list()->count(), 1); // at once, no event loop turn needed
        f->templates.list()->setCurrentRow(0);
        QCOMPARE(f->field<QLineEdit>("Muster")->text(), "{camera_model}_{ort}");
        f->field<QCheckBox>("Standard-Vorlage")->click();
        QVERIFY(f->storedTemplates().at(0).isDefault);

        value.name = "Urlaub";
        QVERIFY(f->store->save(value));
        QCOMPARE(f->field<QLineEdit>("Name")->text(), "Urlaub");

        QVERIFY(f->store->removeTemplate(value.id));
        QCOMPARE(f->templates.list()->count(), 0);
        QVERIFY(f->templates.showsPlaceholder());
    }
};

QTEST_MAIN(TestWatchedFolders)
#include "tst_watchedfolders.moc"
