// The history section over a real store in a temporary folder; the test is the file manager on a private bus.
#include "historymodel.h"
#include "historyview.h"
#include "relativetime.h"
#include "windowfixture.h"

#include <QDBusConnection>

namespace {

RenameRecord record(const QString &original, const QString &renamed, bool reverted, int minutesAgo,
                    const QString &folder = "/nirgends")
{
    const QDateTime when = QDateTime::currentDateTimeUtc().addSecs(-60 * minutesAgo);
    return {0, folder + '/' + original, folder + '/' + renamed, original, renamed, when, "Claude", 0, reverted, {}};
}

} // namespace

/** Stands in for the desktop's file manager and records what it is asked to show. */
class FileManagerRecorder final : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    QStringList calls; // "method uri uri…"

public Q_SLOTS:
    void ShowItems(const QStringList &uris, const QString &startupId) { calls << record("ShowItems", uris, startupId); }
    void ShowFolders(const QStringList &uris, const QString &startupId)
    {
        calls << record("ShowFolders", uris, startupId);
    }

private:
    static QString record(const QString &method, const QStringList &uris, const QString &startupId)
    {
        return QStringList{method, uris.join(' '), startupId}.join(' ');
    }
};

class TestHistoryView final : public QObject
{
    Q_OBJECT

    struct Fixture {
        QTemporaryDir dir;
        std::unique_ptr<ObjectStore> store = std::move(*ObjectStore::open(dir.filePath("h.sqlite")));
        HistoryView view{store.get()};
        QTreeView *table = view.findChild<QTreeView *>("historyTable");

        QStringList listedOriginals() const
        {
            QStringList names;
            for (int row = 0; row < table->model()->rowCount(); ++row)
                names << table->model()->index(row, HistoryModel::OriginalColumn).data().toString();
            return names;
        }
        QModelIndex actionCell(const QString &original) const
        {
            return table->model()->index(int(listedOriginals().indexOf(original)), HistoryModel::ActionColumn);
        }
    };
    std::unique_ptr<Fixture> f;
    QTemporaryDir m_config;
    FileManagerRecorder m_fileManager;
    QDBusConnection m_serviceBus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "file-manager");
    QList<QUrl> m_opened; // what QDesktopServices would hand to the file manager

public Q_SLOTS:
    void open(const QUrl &url) { m_opened << url; }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("NAMORIX_PRIVATE_BUS"), "run through with-session-bus.sh");
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8()); // the revert engine's settings
    }
    void init()
    {
        f = std::make_unique<Fixture>();
        f->view.resize(800, 400);
        f->view.show();
    }
    void cleanup() { f.reset(); }

    void filter_data()
    {
        QTest::addColumn<QString>("search");
        QTest::addColumn<bool>("revertedOnly");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("everything, newest first")
            << "" << false << QStringList{"Scan_01.pdf", "rechnung.pdf", "foto.jpg", "brief.txt"};
        QTest::newRow("four letters, any case, reverted only") << "RECH" << true << QStringList{"Scan_01.pdf"};
        // Old or new name, any case, and the reverted ones alone: tst_objectstore.
        QTest::newRow("no trimming") << " rech" << false << QStringList{};
        QTest::newRow("paths are not searched") << "nirgends" << false << QStringList{};
        QTest::newRow("provider is not searched") << "claude" << false << QStringList{};
    }

    void filter()
    {
        QFETCH(QString, search);
        QFETCH(bool, revertedOnly);
        QFETCH(QStringList, listed);
        for (const RenameRecord &r :
             {record("brief.txt", "2024_mahnung.txt", false, 40), record("foto.jpg", "urlaub.jpg", true, 30),
              record("rechnung.pdf", "2024_strom.pdf", false, 20),
              record("Scan_01.pdf", "2024_Rechnung_Telekom.pdf", true, 10)})
            QVERIFY(f->store->insert(r));
        QTRY_COMPARE(f->table->model()->rowCount(), 4);

        f->view.findChild<QLineEdit *>("historySearch")->setText(search);
        f->view.findChild<QCheckBox *>("historyRevertedOnly")->setChecked(revertedOnly);
        QTRY_COMPARE(f->listedOriginals(), listed); // the search once typing pauses
        QCOMPARE(f->view.findChild<QLabel *>("historyCount")->text(),
                 listed.size() == 1 ? QString("1 Eintrag") : QString("%1 Einträge").arg(listed.size()));
        for (int row = 0; row < listed.size(); ++row) { // a reverted name is struck through, with no revert button
            const bool reverted = listed[row] == "Scan_01.pdf" || listed[row] == "foto.jpg";
            const QModelIndex original = f->table->model()->index(row, HistoryModel::OriginalColumn);
            QCOMPARE(original.data(Qt::FontRole).value<QFont>().strikeOut(), reverted);
            QCOMPARE(original.siblingAtColumn(HistoryModel::ActionColumn).data().toString(),
                     reverted ? qtTrId("history.reverted") : qtTrId("history.revert"));
        }
    }

    void emptyHint()
    {
        const auto *hint = f->table->findChild<QLabel *>("emptyHint");
        QVERIFY(hint->isVisible());
        QCOMPARE(f->table->accessibleDescription(), qtTrId("history.empty"));
        QVERIFY(f->store->insert(record("brief.txt", "2024_mahnung.txt", false, 40)));
        QTRY_VERIFY(!hint->isVisible());
        f->view.findChild<QLineEdit *>("historySearch")->setText("xyz");
        QTRY_VERIFY(hint->isVisible());
        QCOMPARE(hint->text(), qtTrId("history.noMatch"));
    }

    void liveListAndRevert()
    {
        const QString folder = f->dir.filePath("files");
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(f->store->insert(record("weg.pdf", "2024_weg.pdf", false, 5, folder))); // its file is gone
        QVERIFY(f->store->insert(record("da.pdf", "2024_da.pdf", false, 1, folder)));
        QVERIFY(QFile(folder + "/2024_da.pdf").open(QIODevice::WriteOnly));
        QTRY_COMPARE(f->listedOriginals(), QStringList({"da.pdf", "weg.pdf"})); // inserted after the view: live
        // The action column holds no room for "Rückgängig gemacht" while no row says it.
        const QHeaderView *columns = f->table->header();
        const int revertedText = f->table->fontMetrics().horizontalAdvance(qtTrId("history.reverted"));
        QVERIFY(columns->sectionSize(HistoryModel::ActionColumn) < revertedText);

        // A missing file: the row stays, the reason shows.
        clickCell(f->table, f->actionCell("weg.pdf"));
        QTRY_COMPARE(f->view.findChild<QLabel *>("historyProblem")->text(), "Datei nicht gefunden: 2024_weg.pdf");
        QCOMPARE(f->actionCell("weg.pdf").data().toString(), qtTrId("history.revert"));

        // The file there: it gets its old name back and the problem line goes (the row turning
        // reverted: gui_endtoend).
        clickCell(f->table, f->actionCell("da.pdf"));
        QTRY_VERIFY(QFile::exists(folder + "/da.pdf") && !QFile::exists(folder + "/2024_da.pdf"));
        QVERIFY(f->view.findChild<QLabel *>("historyProblem")->isHidden());
        QTRY_VERIFY(columns->sectionSize(HistoryModel::ActionColumn) > revertedText); // and then it fits

        // A batch is a group, opened by Right as in a file manager; its row's menu (Shift+F10) takes it
        // back: the file there goes back, the gone one is named.
        QVERIFY(f->store->insert(QList<RenameRecord>{record("a.pdf", "2024_a.pdf", false, 0, folder),
                                                     record("b.pdf", "2024_b.pdf", false, 0, folder)}));
        QVERIFY(QFile(folder + "/2024_a.pdf").open(QIODevice::WriteOnly));
        QTRY_COMPARE(f->listedOriginals().size(), 3);
        const QModelIndex group = f->table->model()->index(0, 0);
        QVERIFY2(
            QRegularExpression("^Heute, \\d\\d:\\d\\d — 2 Dateien$").match(f->listedOriginals().first()).hasMatch(),
            qPrintable(f->listedOriginals().first()));
        QCOMPARE(group.siblingAtColumn(HistoryModel::ActionColumn).data().toString(), "Stapel rückgängig");
        f->table->setCurrentIndex(group);
        QTest::keyClick(f->table, Qt::Key_Right);
        QVERIFY(f->table->isExpanded(group));
        QCOMPARE(group.model()->index(0, 0, group).data().toString(), "b.pdf");
        f->table->setCurrentIndex(group.model()->index(0, 0, group));
        QTest::keyClick(f->table, Qt::Key_F10, Qt::ShiftModifier);
        auto *menu = f->view.findChild<QMenu *>("historyRowMenu");
        QVERIFY(menu && menu->isVisible());
        menu->findChild<QAction *>("historyRevertBatch")->trigger();
        QTRY_VERIFY(QFile::exists(folder + "/a.pdf"));
        QTRY_COMPARE(f->view.findChild<QLabel *>("historyProblem")->text(),
                     "1 Umbenennung rückgängig gemacht, 1 nicht: Datei nicht gefunden: 2024_b.pdf");
    }

    // Several rows at once, as in a file manager: Shift+arrows select, the menu and Ctrl+C act on all of them.
    void selectionActions()
    {
        QVERIFY(m_serviceBus.registerObject("/org/freedesktop/FileManager1", &m_fileManager,
                                            QDBusConnection::ExportAllSlots) &&
                m_serviceBus.registerService("org.freedesktop.FileManager1"));
        const QString folder = f->dir.filePath("files");
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(f->store->insert(record("a.pdf", "2024_a.pdf", false, 10, folder)));
        QVERIFY(f->store->insert(record("2024_a.pdf", "2025_a.pdf", false, 5, folder))); // the same file again
        QVERIFY(f->store->insert(record("b.pdf", "2024_b.pdf", false, 1, folder)));
        QVERIFY(f->store->insert(record("x.pdf", "y.pdf", false, 20))); // file and folder gone
        for (const QString name : {"2025_a.pdf", "2024_b.pdf"})
            QVERIFY(QFile(folder + '/' + name).open(QIODevice::WriteOnly));
        QTRY_COMPARE(f->listedOriginals(), QStringList({"b.pdf", "2024_a.pdf", "a.pdf", "x.pdf"}));
        showActive(&f->view);
        clickCell(f->table, f->table->model()->index(0, HistoryModel::OriginalColumn));
        QTest::keyClick(f->table, Qt::Key_Down, Qt::ShiftModifier);
        QTest::keyClick(f->table, Qt::Key_Down, Qt::ShiftModifier);
        const auto copied = [this] {
            QTest::keyClick(f->table, Qt::Key_C, Qt::ControlModifier);
            return QGuiApplication::clipboard()->text().split('\n');
        };
        QCOMPARE(copied(), QStringList({folder + "/2024_b.pdf", folder + "/2025_a.pdf", folder + "/2024_a.pdf"}));

        // A right click inside the selection keeps it; the menu offers what the selection allows.
        const QPoint second = f->table->visualRect(f->table->model()->index(1, 0)).center();
        QContextMenuEvent click(QContextMenuEvent::Mouse, second, f->table->viewport()->mapToGlobal(second));
        QApplication::sendEvent(f->table->viewport(), &click);
        auto *menu = f->view.findChild<QMenu *>("historyRowMenu");
        QVERIFY(menu && menu->isVisible());
        QCOMPARE(f->table->selectionModel()->selectedRows().size(), 3);
        QStringList offered;
        for (const QAction *action : menu->actions())
            offered << action->text();
        QCOMPARE(offered, QStringList({"Rückgängig", "Stapel rückgängig", "", "Im Ordner anzeigen", "Pfad kopieren"}));
        const QPointer<QMenu> closing = menu;
        menu->close();
        QTRY_VERIFY(!closing);
        showActive(&f->view); // the offscreen platform leaves no window active when a popup closes
        const auto action = [this](const char *name) { // the view's own, for shortcuts and assistive technology
            return f->table->findChild<QAction *>(name);
        };

        // The file manager selects the files there; the one renamed on since is not there to select.
        action("historyShowInFolder")->trigger();
        const QString uri = QUrl::fromLocalFile(folder).toString();
        QTRY_COMPARE(m_fileManager.calls, QStringList({"ShowItems " + uri + "/2024_b.pdf " + uri + "/2025_a.pdf "}));

        // Newest first: the second rename of a.pdf goes back before the first can; a refusal is summed up.
        QTest::keyClick(f->table, Qt::Key_A, Qt::ControlModifier);
        action("historyRevertSelected")->trigger();
        QTRY_VERIFY(QFile::exists(folder + "/a.pdf") && QFile::exists(folder + "/b.pdf"));
        QTRY_COMPARE(f->view.findChild<QLabel *>("historyProblem")->text(),
                     "3 Umbenennungen rückgängig gemacht, 1 nicht: Datei nicht gefunden: y.pdf");
        QTRY_COMPARE(copied(),
                     QStringList({folder + "/b.pdf", folder + "/2024_a.pdf", folder + "/a.pdf", "/nirgends/y.pdf"}));
        QCOMPARE(f->actionCell("b.pdf").data(Qt::AccessibleDescriptionRole).toString(),
                 "Umbenennung von „b.pdf“ wurde rückgängig gemacht");
        clickCell(f->table, f->table->model()->index(0, HistoryModel::OriginalColumn));
        QVERIFY(!action("historyRevertSelected")->isEnabled());

        // With no file manager on the bus the folder opens, once; for the row whose folder is gone, a reason.
        QVERIFY(m_serviceBus.unregisterService("org.freedesktop.FileManager1"));
        QDesktopServices::setUrlHandler("file", this, "open");
        f->table->selectAll();
        action("historyShowInFolder")->trigger();
        QTRY_COMPARE(m_opened, QList<QUrl>({QUrl::fromLocalFile(folder)}));
        QDesktopServices::unsetUrlHandler("file");
        QCOMPARE(f->view.findChild<QLabel *>("historyProblem")->text(),
                 "Datei und Ordner sind nicht mehr vorhanden: /nirgends/y.pdf");
    }

    // Only the listed records go out; ';' is written as it is.
    void exportThroughTheSaveDialog_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QByteArray>("written"); // JSON compacted here; the file is indented
        QTest::newRow("CSV") << "CSV"
                             << QByteArray("Original;Neu;Datum;Provider;Rückgängig\n"
                                           "a;b.pdf;c \"d\".pdf;2024-03-05 07:08:09 +0000;Claude;true\n");
        QTest::newRow("JSON") << "JSON"
                              << QByteArray("[{\"date\":\"2024-03-05T07:08:09Z\",\"new\":\"c \\\"d\\\".pdf\","
                                            "\"original\":\"a;b.pdf\",\"provider\":\"Claude\",\"reverted\":\"true\"}]");
    }

    void exportThroughTheSaveDialog()
    {
        QFETCH(QString, format);
        QFETCH(QByteArray, written);
        RenameRecord listed = record("a;b.pdf", "c \"d\".pdf", true, 0);
        listed.timestamp = QDateTime(QDate(2024, 3, 5), QTime(7, 8, 9, 450), Qt::UTC);
        QVERIFY(f->store->insert(listed));
        QVERIFY(f->store->insert(record("brief.txt", "2024_mahnung.txt", false, 40)));
        QTRY_COMPARE(f->table->model()->rowCount(), 2);
        f->view.findChild<QCheckBox *>("historyRevertedOnly")->setChecked(true);

        const auto actions = f->view.findChild<QPushButton *>("historyExport")->menu()->actions();
        (*std::ranges::find(actions, format, &QAction::text))->trigger();
        auto *dialog = f->view.findChild<QFileDialog *>("historyExportDialog");
        QVERIFY(dialog && dialog->isVisible()); // window-modal, not a nested event loop
        QCOMPARE(QFileInfo(dialog->selectedFiles().value(0)).fileName(), "namorix-export." + format.toLower());
        dialog->selectFile(f->dir.filePath("export"));
        static_cast<QDialog *>(dialog)->accept();                  // QFileDialog::accept, which is protected there
        QFile file(f->dir.filePath("export.") + format.toLower()); // the dialog adds the extension
        QTRY_VERIFY(file.exists());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QCOMPARE(format == "CSV" ? bytes : QJsonDocument::fromJson(bytes).toJson(QJsonDocument::Compact), written);
        QVERIFY(format == "CSV" || bytes.startsWith("[\n    {"));
    }

    // A year's history comes a page at a time as the table scrolls; a column's header orders it in SQL.
    void pagesAndSorting()
    {
        // Two applies whose records alternate in time: no two of a batch follow each other, so no groups.
        QList<RenameRecord> even, odd;
        for (int i = 0; i < 100'000; ++i)
            (i % 2 ? odd : even) << record(QString("f%1.pdf").arg(i, 6, 10, QChar('0')), "neu.pdf", false, 100'000 - i);
        QVERIFY(f->store->insert(even) && f->store->insert(odd));
        QTRY_COMPARE(f->view.findChild<QLabel *>("historyCount")->text(), "100.000 Einträge");
        f->table->sortByColumn(HistoryModel::DateColumn, Qt::AscendingOrder); // opened again: one page
        f->table->sortByColumn(HistoryModel::DateColumn, Qt::DescendingOrder);
        QCOMPARE(f->table->model()->rowCount(), HistoryModel::PageSize);
        f->table->scrollToBottom();
        QTRY_VERIFY(f->table->model()->rowCount() > HistoryModel::PageSize);
        QCOMPARE(f->listedOriginals().mid(HistoryModel::PageSize - 1, 2), QStringList({"f099800.pdf", "f099799.pdf"}));
        f->table->header()->setSortIndicator(HistoryModel::OriginalColumn, Qt::AscendingOrder);
        QCOMPARE(f->table->model()->rowCount(), HistoryModel::PageSize);
        QCOMPARE(f->listedOriginals().first(2), QStringList({"f000000.pdf", "f000001.pdf"}));
        QVERIFY(!f->table->rootIsDecorated()); // groups only in time order

        // A group a page cuts counts its whole batch, and the next page completes it before going on.
        f->table->header()->setSortIndicator(HistoryModel::DateColumn, Qt::DescendingOrder);
        f->table->scrollToTop();
        QList<RenameRecord> batch;
        for (int i = 0; i < 250; ++i)
            batch << record(QString("g%1.pdf").arg(i), "neu.pdf", false, 0);
        QVERIFY(f->store->insert(batch));
        QTRY_VERIFY(f->listedOriginals().value(0).endsWith(" — 250 Dateien"));
        QTRY_COMPARE(f->table->model()->rowCount(f->table->model()->index(0, 0)), 250);
        QCOMPARE(f->listedOriginals().value(1), "f099999.pdf");
    }

    void relativeTimes()
    {
        const QDateTime now = QDateTime::currentDateTimeUtc();
        QCOMPARE(relativeTimeText(now.addSecs(-20), now), "jetzt");
        QCOMPARE(relativeTimeText(now.addSecs(-5 * 60 - 10), now), "vor 5 Minuten");
        QCOMPARE(relativeTimeText(now.addSecs(-3 * 3600), now), "vor 3 Stunden");
        QCOMPARE(relativeTimeText(now.addDays(-1), now), "gestern");
        QCOMPARE(relativeTimeText(now.addDays(-400), now), "letztes Jahr");
    }
};

QTEST_MAIN(TestHistoryView)
#include "tst_historyview.moc"
