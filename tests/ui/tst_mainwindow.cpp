#include "ui/history/historyview.h"
#include "ui/settings/settingswindow.h"
#include "ui/status/statusbarview.h"
#include "windowfixture.h"

#include <QSplitter>

class TestMainWindow final : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<WindowFixture> w;

    /** Whether a shown status bar item has `text` as its `property`: text, toolTip or accessibleDescription. */
    bool status(const char *property, const QString &text) const
    {
        const auto items = w->window->statusView()->findChildren<QWidget *>();
        return std::ranges::any_of(
            items, [&](QWidget *item) { return item->isVisible() && item->property(property).toString() == text; });
    }

    /** Every item of the menus under `actions` has an Alt key of its own within its menu. */
    static void checkMnemonics(const QList<QAction *> &actions)
    {
        QList<QKeySequence> taken;
        for (const QAction *action : actions) {
            if (action->isSeparator())
                continue;
            const QKeySequence key = QKeySequence::mnemonic(action->text());
            QVERIFY2(!key.isEmpty() && !taken.contains(key), qPrintable(action->text()));
            taken << key;
            if (action->menu())
                checkMnemonics(action->menu()->actions());
        }
    }

private Q_SLOTS:
    void init() { w = std::make_unique<WindowFixture>(); }
    void cleanup() { w.reset(); }

    void sidebarNavigationAndShortcuts()
    {
        w->navigation.setSelectedTab(SidebarItem::history);
        QCOMPARE(w->window->sidebar()->currentRow(), 1);
        QCOMPARE(w->window->sections()->currentIndex(), 1); // a click on the sidebar: gui_endtoend

        QTest::keyClick(w->window.get(), Qt::Key_3, Qt::ControlModifier); // Ctrl+1 … Ctrl+4: the sections
        QCOMPARE(w->navigation.selectedTab(), SidebarItem::templates);

        QTest::keyClick(w->window.get(), Qt::Key_O, Qt::ControlModifier); // to the files and their picker
        QCOMPARE(w->navigation.selectedTab(), SidebarItem::files);
        QFileDialog *dialog = w->files()->openDialog();
        QVERIFY(dialog && dialog->isVisible()); // what it takes: tst_filessection
        dialog->reject();

        QTest::keyClick(w->window.get(), Qt::Key_Comma, Qt::ControlModifier); // one settings window
        const auto windows = w->window->findChildren<SettingsWindow *>();
        QCOMPARE(windows.size(), 1);
        QVERIFY(windows.first()->isVisible());
        windows.first()->resize(760, 580); // resizable, and the tabs take the room
        QCOMPARE(windows.first()->tabs()->width(), 760 - 2 * windows.first()->layout()->contentsMargins().left());
        QTest::keyClick(w->window.get(), Qt::Key_Comma, Qt::ControlModifier);
        QCOMPARE(w->window->openSettings(), windows.first());

        // A notification's "Anzeigen": the window comes forward at the history with the batch selected; a search
        // just typed that hides part of it is cleared.
        auto *history = new HistoryView(w->store.get());
        w->window->setHistoryPage(history);
        const auto record = [](const QString &name) {
            RenameRecord r;
            r.originalPath = "/nirgends/" + (r.originalName = name);
            r.newPath = "/nirgends/" + (r.newName = "neu_" + name);
            r.timestamp = QDateTime::currentDateTimeUtc();
            return r;
        };
        const qint64 batch = w->store->insert(QList{record("a.pdf"), record("b.pdf")}).value().front();
        QVERIFY(w->store->insert(record("c.pdf")));
        auto *search = history->findChild<QLineEdit *>("historySearch");
        search->setText("a.pdf");
        w->window->showMinimized();
        w->window->showBatch(batch);
        QVERIFY(!w->window->isMinimized());
        QCOMPARE(w->window->sections()->currentWidget(), history);
        QCOMPARE(search->text(), QString());
        QStringList selected;
        for (const QModelIndex &row : history->findChild<QTreeView *>()->selectionModel()->selectedRows())
            selected << row.data().toString();
        QCOMPARE(selected, QStringList({"b.pdf", "a.pdf"}));
    }

    void selectedSidebarIconFollowsThePalette()
    {
        const auto selectedColour = [&] {
            const QImage image =
                w->window->sidebar()->item(0)->icon().pixmap(QSize(16, 16), 1.0, QIcon::Selected).toImage();
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (qAlpha(image.pixel(x, y)) == 255)
                        return QColor(image.pixel(x, y));
            return QColor();
        };
        QPalette palette = w->window->palette();
        palette.setColor(QPalette::HighlightedText, Qt::red);
        w->window->setPalette(palette); // as a switch to a dark or another colour scheme does
        QCOMPARE(selectedColour(), QColor(Qt::red));
        palette.setColor(QPalette::HighlightedText, Qt::yellow);
        w->window->setPalette(palette);
        QCOMPARE(selectedColour(), QColor(Qt::yellow));
    }

    // Qt's own texts are German as well: standard buttons, text-field menus, file dialogs.
    void qtSpeaksGerman()
    {
        QDialogButtonBox box(QDialogButtonBox::Cancel);
        QCOMPARE(box.button(QDialogButtonBox::Cancel)->text().remove(u'&'), "Abbrechen");
    }

    void menusHaveDistinctMnemonics() { checkMnemonics(w->window->menuBar()->actions()); }

    void everyControlHasAnAccessibleName()
    {
        auto unnamed = [this] {
            QStringList found;
            for (QWidget *widget : w->window->findChildren<QWidget *>()) {
                if (!widget->isVisible() || widget->focusPolicy() == Qt::NoFocus || qobject_cast<QScrollBar *>(widget))
                    continue;
                QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
                if (accessible && accessible->text(QAccessible::Name).isEmpty())
                    found << widget->metaObject()->className();
            }
            return found;
        };
        QCOMPARE(unnamed(), QStringList());
        w->engine->setJobs({w->job("a.txt", "A.txt")});
        QCOMPARE(unnamed(), QStringList());
        const QModelIndex row = w->list()->model()->index(0, 0);
        QCOMPARE(row.data(Qt::AccessibleTextRole).toString(), "a.txt wird zu A.txt, Sicherheit 90%");
    }

    // Suggestions that arrive elsewhere are counted, not jumped to; a hand-over waits for the terms.
    void arrivalsAreCountedAndHandOversWaitForTheTerms()
    {
        w->navigation.setSelectedTab(SidebarItem::history);
        w->engine->setJobs({w->job("a.txt", "A.txt"), w->job("b.txt", "B.txt")});
        QCOMPARE(w->window->sidebar()->item(0)->text(), "Dateien (2)");
        QVERIFY(status("text", "2 neue Vorschläge unter „Dateien“"));
        QCOMPARE(w->navigation.selectedTab(), SidebarItem::history);

        GeneralFlags::hasAcceptedLegal.write(w->fx.defaults, false);
        w->window->analyze({QUrl::fromLocalFile(w->touch("c.txt"))});
        QCOMPARE(w->starter.heldRequests(), 1); // kept at once, nothing counted or asked: tst_analysis
        GeneralFlags::acceptLegal(w->fx.defaults, QDateTime::currentDateTimeUtc());
        QTRY_COMPARE(w->engine->jobs().size(), 3);
    }

    // The window opens as the user left it: its size, and the sidebar as wide as they dragged it.
    void sizeAndSidebarAreKept()
    {
        w->window->resize(1010, 690);
        auto *split = w->window->findChild<QSplitter *>();
        QVERIFY(split);
        split->setSizes({210, 800});
        QTRY_COMPARE(w->window->sidebar()->width(), 210);
        w->reopen();
        QCOMPARE(w->window->size(), QSize(1010, 690));
        QCOMPARE(w->window->sidebar()->width(), 210);
    }

    void statusBarFollowsTheCoreAndUndo()
    {
        // The folder count: gui_endtoend reads it over AT-SPI.
        QVERIFY(status("accessibleName", "Korvex nicht verfügbar"));
        QTRY_VERIFY(status("accessibleDescription", "Bereit")); // OpenAI with a key
        w->fx.settings.setProvider(AIProviderType::claude);
        QTRY_VERIFY(status("accessibleDescription", "API-Schlüssel fehlt"));
        w->engine->setError(QString("Claude nicht konfiguriert"));
        QVERIFY(status("text", "Claude nicht konfiguriert"));
        w->engine->setJobs({w->job("alt.txt", "neu.txt")});
        awaitTask(w->engine->applyApproved());
        QVERIFY(status("toolTip", "1 Datei umbenannt, 1 Eintrag gesamt"));
        auto *undo = w->window->findChild<QAction *>("revertLast");
        QTRY_COMPARE(undo->text().remove('&'), "Letzte Umbenennung rückgängig machen (1 Datei)");

        // Ctrl+Z in a text field undoes the typing; elsewhere the last rename, and says which.
        auto *field = new QLineEdit;
        w->window->setHistoryPage(field);
        w->navigation.setSelectedTab(SidebarItem::history);
        field->setFocus();
        QTest::keyClicks(field, "abc");
        QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(field->text(), QString());
        QVERIFY(QFile::exists(w->dir.filePath("neu.txt")));
        w->window->sidebar()->setFocus();
        QTest::keyClick(w->window.get(), Qt::Key_Z, Qt::ControlModifier);
        QTRY_VERIFY(status("text", "„neu.txt“ heißt wieder „alt.txt“"));
        QVERIFY(QFile::exists(w->dir.filePath("alt.txt")));
        QVERIFY(status("toolTip", "0 Dateien umbenannt, 1 Eintrag gesamt"));
        QTRY_COMPARE(undo->text().remove('&'), "Letzte Umbenennungen rückgängig machen");
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
