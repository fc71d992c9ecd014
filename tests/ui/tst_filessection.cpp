#include "engine/filework.h"
#include "extraction/sandbox/extractionsandbox.h"
#include "ui/common/manyfilesquestion.h"
#include "ui/common/palette.h"
#include "ui/common/readablestyle.h"
#include "ui/files/analysisprogressview.h"
#include "ui/files/explanationpanel.h"
#include "ui/files/jobdelegate.h"
#include "ui/files/jobfiltermodel.h"
#include "ui/files/joblistmodel.h"
#include "ui/files/resultbar.h"
#include "ui/preview/previewcontent.h"
#include "ui/preview/previewwindow.h"
#include "windowfixture.h"

class TestFilesSection final : public QObject
{
    Q_OBJECT

    std::unique_ptr<WindowFixture> w;

private Q_SLOTS:
    void init() { w = std::make_unique<WindowFixture>(); }
    void cleanup() { w.reset(); }

    void dropShowsProgressThenRowsInInputOrder()
    {
        QCOMPARE(w->files()->currentWidget(), static_cast<QWidget *>(w->files()->dropTarget()));
        w->fx.llm.setDelay(300);
        dropFiles(w->files()->dropTarget(), {w->touch("b.txt"), w->touch("a.txt"), w->touch("c.txt")});
        QTRY_COMPARE(w->files()->currentWidget(), static_cast<QWidget *>(w->files()->progressView()));
        QTRY_COMPARE_WITH_TIMEOUT(w->files()->currentWidget(), static_cast<QWidget *>(w->review()), 10000);
        QVERIFY(w->list()->hasFocus());
        QCOMPARE(w->list()->model()->rowCount(), 3); // in input order: tst_analysis
    }

    void openDialogsHandTheirChoiceToTheAnalysis()
    {
        // Qt's own dialog, as on a desktop without a dialog plugin: the name field takes quoted paths.
        const auto choose = [this](bool folders, const QString &typed) {
            folders ? w->files()->pickFolder() : w->files()->pickFiles();
            QFileDialog *dialog = w->files()->openDialog();
            QVERIFY(dialog && dialog->isVisible());
            dialog->setDirectory(w->dir.path());
            auto *field = dialog->findChild<QLineEdit *>("fileNameEdit");
            QVERIFY(field);
            field->setText(typed);
            QTest::keyClick(field, Qt::Key_Return);
            QTRY_VERIFY(!dialog->isVisible());
        };
        w->touch("a.txt", "Rechnung A");
        w->touch("b.txt", "Rechnung B");
        choose(false, R"("a.txt" "b.txt")");
        QTRY_COMPARE_WITH_TIMEOUT(w->list()->model()->rowCount(), 2, 10000);

        w->touch("ordner/c.txt", "Rechnung C");
        choose(true, "ordner");
        QTRY_COMPARE_WITH_TIMEOUT(w->list()->model()->rowCount(), 3, 10000);

        // The next dialog opens where the last choice was made, after a restart too.
        w->files()->pickFiles();
        QCOMPARE(w->files()->openDialog()->directory().absolutePath(), QDir(w->dir.path()).absolutePath());
        w->files()->openDialog()->reject();
    }

    void manyFilesAskFirst()
    {
        for (int i = 0; i < 1234; ++i)
            w->touch(QString("viele/%1.txt").arg(i), "x");
        dropFiles(w->files()->dropTarget(), {w->dir.filePath("viele")});
        QTRY_VERIFY(w->files()->question()->box());
        QCOMPARE(w->files()->question()->box()->text(), "1.234 Dateien analysieren?");
        named<QPushButton>(w->files()->question()->box(), "Abbrechen")->click(); // answered at once
        QVERIFY(!w->engine->isProcessing());
        QVERIFY(w->fx.llm.server().requests().isEmpty());
    }

    void badge_data()
    {
        QTest::addColumn<double>("confidence");
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("failure"); // shown as the tooltip and read out
        QTest::newRow("just above 0.7") << 0.7001 << UIColors::green() << "70%" << QString();
        QTest::newRow("0.7") << 0.7 << UIColors::orange() << "70%" << QString();
        QTest::newRow("just above 0.4") << 0.4001 << UIColors::orange() << "40%" << QString();
        QTest::newRow("0.4") << 0.4 << UIColors::red() << "40%" << QString();
        QTest::newRow("0.29 is no 28") << 0.29 << UIColors::red() << "29%" << QString(); // 0.29 * 100 = 28.99…
        QTest::newRow("failed") << 0.0 << UIColors::red() << "0%"
                                << "Server nicht erreichbar";
    }

    void badge()
    {
        QFETCH(double, confidence);
        QFETCH(QColor, colour);
        QFETCH(QString, text);
        QFETCH(QString, failure);
        RenameJob job = w->job("scan.pdf", "Rechnung.pdf", confidence);
        if (!failure.isEmpty())
            job.failureReason = failure;
        w->engine->setJobs({job});
        const QModelIndex row = w->list()->model()->index(0, 0);
        QCOMPARE(row.data(JobListModel::BadgeColorRole).value<QColor>(), colour);
        QCOMPARE(row.data(JobListModel::BadgeTextRole).toString(), text);
        if (!failure.isEmpty()) {
            QCOMPARE(row.data(Qt::ToolTipRole).toString(), failure);
            QVERIFY(row.data(Qt::AccessibleTextRole).toString().contains(failure));
        }
    }

    void togglesDisableRenameAndCancelClearsAll()
    {
        // A failed analysis, ticked, and a suggestion that keeps the name have nothing to apply:
        // they neither count nor enable "Umbenennen".
        w->engine->setJobs({w->job("a.pdf", "A.pdf"), w->job("b.pdf", "B.pdf"),
                            RenameJob::failed(w->touch("c.pdf"), "Server nicht erreichbar"), w->job("d.pdf", "d.pdf")});
        w->engine->setError(QString("Etwas ging schief"));
        QCOMPARE(w->files()->currentWidget(), static_cast<QWidget *>(w->review()));
        QPushButton *rename = w->button("Umbenennen");
        QVERIFY(rename && rename->isEnabled());
        clickCell(w->list(), w->list()->model()->index(0, 0), &JobDelegate::toggleRect);
        QVERIFY(rename->isEnabled());
        clickCell(w->list(), w->list()->model()->index(1, 0), &JobDelegate::toggleRect);
        QVERIFY(!rename->isEnabled());
        const auto labels = w->review()->findChildren<QLabel *>();
        QVERIFY(std::ranges::any_of(labels, [](QLabel *l) { return l->text() == "0 / 4"; }));

        // Discarding paid suggestions is one click, and one click takes it back.
        w->button("Abbrechen")->click();
        QCOMPARE(w->files()->currentWidget(), static_cast<QWidget *>(w->files()->dropTarget()));
        QVERIFY(w->engine->jobs().isEmpty());
        QCOMPARE(w->engine->error(), std::nullopt);
        QCOMPARE(w->files()->resultBar()->text(), "4 Vorschläge verworfen");
        named<QPushButton>(w->files()->resultBar(), "Wiederherstellen")->click();
        QCOMPARE(w->engine->jobs().size(), 4);
        QVERIFY(!w->files()->resultBar()->isVisible());
    }

    // Hint texts reach WCAG AA on light and dark palettes, as the app's style leaves them.
    void hintsAreReadable()
    {
        for (QPalette palette :
             {QApplication::style()->standardPalette(), QPalette(QColor(0x31, 0x36, 0x3b), QColor(0x23, 0x26, 0x29))}) {
            ReadableStyle().polish(palette);
            for (const QPalette::ColorRole ground : {QPalette::Base, QPalette::Window})
                QVERIFY(UIColors::contrast(palette.color(QPalette::PlaceholderText), palette.color(ground)) >= 4.5);
            QVERIFY(UIColors::contrast(UIColors::tertiary(palette), palette.color(QPalette::Window)) >= 4.5);
        }
    }

    // Without the differences the new name sits in a field of its own ground: on a selected row it
    // keeps the field's text colour, in light and dark.
    void selectedNameReadsWithoutTheDiff()
    {
        dropFiles(w->files()->dropTarget(), {w->touch("a.txt")});
        QTRY_COMPARE(w->list()->model()->rowCount(), 1);
        JobDelegate *delegate = w->review()->delegate();
        delegate->setShowDiff(false);
        for (QPalette palette :
             {QApplication::style()->standardPalette(), QPalette(QColor(0x31, 0x36, 0x3b), QColor(0x23, 0x26, 0x29))}) {
            ReadableStyle().polish(palette);
            QStyleOptionViewItem option;
            option.initFrom(w->list());
            option.palette = palette;
            option.rect = QRect(0, 0, 700, delegate->sizeHint(option, w->list()->model()->index(0, 0)).height());
            option.state |= QStyle::State_Selected;
            QImage image(option.rect.size(), QImage::Format_RGB32);
            image.fill(palette.color(QPalette::Highlight));
            QPainter painter(&image);
            delegate->paint(&painter, option, w->list()->model()->index(0, 0));
            painter.end();
            const QRect field = delegate->nameRect(option.rect, {}).adjusted(4, 2, -4, -2);
            double best = 1;
            for (int y = field.top(); y <= field.bottom(); ++y)
                for (int x = field.left(); x <= field.right(); ++x)
                    best = std::max(best, UIColors::contrast(image.pixelColor(x, y), palette.color(QPalette::Base)));
            QVERIFY2(best >= 4.5, qPrintable(QString::number(best)));
        }
    }

    // More files join the review the user is working on; only the user takes rows out.
    void reviewKeepsTheUsersWork()
    {
        const QString edited = w->touch("a.txt"), unticked = w->touch("b.txt"), gone = w->touch("weg.txt");
        w->engine->setJobs({w->job("a.txt", "A.txt"), w->job("b.txt", "B.txt"), w->job("weg.txt", "W.txt")});
        QAbstractItemModel *model = w->list()->model();
        QVERIFY(model->setData(model->index(0, 0), "von-hand.txt", Qt::EditRole));
        QVERIFY(model->setData(model->index(1, 0), int(Qt::Unchecked), Qt::CheckStateRole));

        w->fx.llm.setDelay(300);
        dropFiles(w->list()->viewport(), {w->touch("c.txt"), edited});
        QTRY_VERIFY(w->engine->isProcessing());
        QCOMPARE(w->files()->currentWidget(), static_cast<QWidget *>(w->review())); // no jump to the progress page
        QTRY_VERIFY_WITH_TIMEOUT(!w->engine->isProcessing(), 10000);
        QCOMPARE(model->rowCount(), 4);
        QCOMPARE(model->index(0, 0).data().toString(), "von-hand.txt");
        QVERIFY(model->index(0, 0).data(Qt::ToolTipRole).toString().contains("Neuerer Vorschlag: 2024-03-15"));
        QCOMPARE(model->index(1, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
        QCOMPARE(model->index(3, 0).data(JobListModel::OriginalNameRole).toString(), "c.txt");

        w->list()->setFocus();
        QTest::keyClick(w->list(), Qt::Key_A, Qt::ControlModifier); // the unticked row too

        // A rename that fails keeps its row, saying why; the renamed ones leave; it can be tried again.
        QVERIFY(QFile::remove(gone));
        w->button("Umbenennen")->click();
        QTRY_COMPARE(model->rowCount(), 1);
        QCOMPARE(model->index(0, 0).data(Qt::ToolTipRole).toString(), "Nicht umbenannt: weg.txt nicht gefunden");
        QVERIFY(QFile::exists(w->dir.filePath("von-hand.txt")) && !QFile::exists(unticked));
        QCOMPARE(w->files()->resultBar()->text(),
                 "3 Dateien umbenannt, 1 Datei nicht umbenannt – der Grund steht in der Liste");
        w->touch("weg.txt");
        named<QPushButton>(w->files()->resultBar(), "Erneut versuchen")->click();
        QTRY_COMPARE(model->rowCount(), 0);
        QVERIFY(QFile::exists(w->dir.filePath("W.txt")));

        // Undone elsewhere (Ctrl+Z): the bar no longer offers to undo what is undone.
        QTRY_COMPARE(w->files()->resultBar()->text(), "1 Datei umbenannt");
        QVERIFY(awaitTask(w->engine->fileWork().revertLast(w->store.get())));
        QTRY_VERIFY(!w->files()->resultBar()->isVisible());
    }

    // The filter narrows the rows shown; every key acts on the job in its row, not on the job at that source row.
    void filterNarrowsRowsAndKeysActOnTheShownJob()
    {
        RenameJob unchecked = w->job("b.pdf", "Brief.pdf");
        unchecked.unverified = {{"datum", Grounding::Status::unverified, "Datum nicht im Dokument gefunden", {}}};
        w->engine->setJobs({w->job("a.pdf", "Rechnung_Telekom.pdf"), unchecked,
                            RenameJob::failed(w->touch("c.pdf"), "Server nicht erreichbar"),
                            w->job("d.pdf", QString::fromUtf8("A\u0308rztebrief.pdf"))});
        QAbstractItemModel *model = w->list()->model();
        const auto shown = [model] {
            QStringList names;
            for (int row = 0; row < model->rowCount(); ++row)
                names << model->index(row, 0).data(JobListModel::OriginalNameRole).toString();
            return names;
        };
        QComboBox *state = named<QComboBox>(w->review(), "Vorschläge nach Zustand filtern");
        QLineEdit *text = named<QLineEdit>(w->review(), "Namen filtern");
        QVERIFY(state && text);
        const auto count = [this] {
            const auto labels = w->review()->findChildren<QLabel *>();
            return std::ranges::count_if(labels, [](QLabel *l) { return l->text() == "3 / 4 · 3 ausgeblendet"; });
        };
        state->setCurrentIndex(state->findText("Ungeprüft"));
        QCOMPARE(shown(), QStringList{"b.pdf"});
        state->setCurrentIndex(state->findText("Fehlgeschlagen"));
        QCOMPARE(shown(), QStringList{"c.pdf"});
        QCOMPARE(count(), 1); // the count stays about all jobs and says how many are hidden
        state->setCurrentIndex(state->findText("Alle"));
        text->setText(QString::fromUtf8("ÄRZTE")); // composed, case-folded against a decomposed name
        QCOMPARE(shown(), QStringList{"d.pdf"});
        text->setText("A.PDF"); // the original name
        QCOMPARE(shown(), QStringList{"a.pdf"});

        // Ctrl+F, then Esc empties the field and a second Esc returns to the list.
        w->list()->setFocus();
        QTest::keyClick(w->list(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(text->hasFocus());
        QTest::keyClick(text, Qt::Key_Escape);
        QVERIFY(text->text().isEmpty() && text->hasFocus());
        QTest::keyClick(text, Qt::Key_Escape);
        QVERIFY(w->list()->hasFocus());

        // Shown row 1 is d.pdf, source row 1 b.pdf.
        text->setText("brief");
        QCOMPARE(shown(), (QStringList{"b.pdf", "d.pdf"}));
        w->list()->setFocus();
        w->list()->setCurrentIndex(model->index(1, 0));
        QSignalSpy changed(w->review()->filter()->sourceModel(), &QAbstractItemModel::dataChanged);
        QTest::keyClick(w->list(), Qt::Key_Space);
        QVERIFY(w->engine->jobs().at(1).approved && !w->engine->jobs().at(3).approved);
        QCOMPARE(changed.size(), 1); // only the ticked row is announced, not all of them
        QCOMPARE(changed.at(0).at(0).toModelIndex().row(), 3);
        QCOMPARE(changed.at(0).at(1).toModelIndex().row(), 3);
        QTest::keyClick(w->list(), Qt::Key_F2);
        auto *editor = w->list()->viewport()->findChild<QLineEdit *>();
        QVERIFY(editor);
        QTRY_COMPARE(editor->selectedText() + ".pdf", editor->text()); // the stem, once the editor shows
        QTest::keyClicks(editor, "Zahnbrief");
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(w->engine->jobs().at(3).suggestedName, "Zahnbrief.pdf");
        QCOMPARE(w->engine->jobs().at(1).suggestedName, "Brief.pdf");
        w->list()->setCurrentIndex(model->index(1, 0));
        QTest::keyClick(w->list(), Qt::Key_Delete);
        QCOMPARE(w->engine->jobs().size(), 3);
        QCOMPARE(w->engine->jobs().at(1).originalName(), "b.pdf");

        // Ctrl+Shift+A and Ctrl+A tick only the rows shown.
        QTest::keyClick(w->list(), Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(!w->engine->jobs().at(1).approved && w->engine->jobs().at(0).approved);
        w->engine->editJob(w->engine->jobs().at(0).id, std::nullopt, false);
        QTest::keyClick(w->list(), Qt::Key_A, Qt::ControlModifier);
        QVERIFY(w->engine->jobs().at(1).approved && !w->engine->jobs().at(0).approved);

        // "Umbenennen" renames what the user sees: a ticked row the filter hides is asked about first.
        w->engine->editJob(w->engine->jobs().at(0).id, std::nullopt, true);
        w->button("Umbenennen")->click();
        QMessageBox *box = nullptr;
        QTRY_VERIFY(box = w->review()->findChild<QMessageBox *>());
        QCOMPARE(box->text(), "1 weitere ausgeblendete Datei auch umbenennen?");
        named<QPushButton>(box, "Nur sichtbare umbenennen")->click();
        QTRY_VERIFY(QFile::exists(w->dir.filePath("Brief.pdf")));
        QVERIFY(QFile::exists(w->dir.filePath("a.pdf")));

        // An emptied list starts the next one unfiltered.
        state->setCurrentIndex(state->findText("Fehlgeschlagen"));
        w->button("Abbrechen")->click();
        QCOMPARE(state->currentText(), "Alle");
        QVERIFY(text->text().isEmpty());
    }

    void unverifiedPartIsMarkedExplainedAndEditedAway()
    {
        // The stub names 2024-03-15, which the text does not hold (over AT-SPI: gui_endtoend).
        const QString original = w->touch("strom.txt", "Stadtwerke, Rechnung 49,99 EUR");
        w->files()->analyze({QUrl::fromLocalFile(original)});
        QTRY_COMPARE_WITH_TIMEOUT(w->files()->currentWidget(), static_cast<QWidget *>(w->review()), 10000);
        const QModelIndex row = w->list()->model()->index(0, 0);
        const QString name = row.data(Qt::DisplayRole).toString();
        QCOMPARE(row.data(JobListModel::BadgeTextRole).toString(), "⚠ 90%");
        QVERIFY(row.data(Qt::ToolTipRole).toString().endsWith("\nDatum nicht im Dokument gefunden"));
        const auto marks = row.data(JobListModel::UnverifiedMarksRole).value<QList<Grounding::NameMark>>();
        QCOMPARE(marks.size(), 1);
        QVERIFY2(name.mid(marks[0].start, marks[0].length).startsWith("2024-03-15"), qPrintable(name));

        // F2 edits the stem, in the diff view too; the edited name is the user's: nothing of it is marked.
        w->list()->setFocus();
        w->list()->setCurrentIndex(row);
        QTest::keyClick(w->list(), Qt::Key_F2);
        auto *editor = w->list()->viewport()->findChild<QLineEdit *>();
        QVERIFY(editor);
        QTRY_COMPARE(editor->selectedText() + ".txt", name);
        QTest::keyClicks(editor, "Mein Name");
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(w->engine->jobs().at(0).suggestedName, "Mein Name.txt"); // the view commits queued
        QVERIFY(row.data(JobListModel::UnverifiedMarksRole).value<QList<Grounding::NameMark>>().isEmpty());
        w->list()->viewport()->grab(); // paints the row without the marks

        // Return edits too; another extension is only taken when the user says so.
        QTRY_VERIFY(!w->list()->viewport()->findChild<QLineEdit *>());
        QTest::keyClick(w->list(), Qt::Key_Return);
        QTRY_VERIFY(editor = w->list()->viewport()->findChild<QLineEdit *>());
        editor->selectAll();
        QTest::keyClicks(editor, "Brief.pdf");
        QTest::keyClick(editor, Qt::Key_Return);
        QMessageBox *box = nullptr;
        QTRY_VERIFY(box = w->review()->findChild<QMessageBox *>());
        QCOMPARE(box->text(), "„Brief.pdf“ endet auf „.pdf“, die Datei ist aber eine „.txt“-Datei.");
        QCOMPARE(w->engine->jobs().at(0).suggestedName, "Mein Name.txt");
        named<QPushButton>(box, "„.txt“ behalten")->click();
        QTRY_COMPARE(w->engine->jobs().at(0).suggestedName, "Brief.txt");

        // A name that would move the file elsewhere is refused where it is typed, with the reason.
        QTRY_VERIFY(!w->list()->viewport()->findChild<QLineEdit *>());
        QTest::keyClick(w->list(), Qt::Key_F2);
        QTRY_VERIFY(editor = w->list()->viewport()->findChild<QLineEdit *>());
        editor->selectAll();
        QTest::keyClicks(editor, "unter/ordner.txt");
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(w->files()->resultBar()->text(),
                     "Ein Dateiname kann kein „/“ enthalten: Umbenennen verschiebt keine Dateien in andere Ordner.");
        QCOMPARE(w->engine->jobs().at(0).suggestedName, "Brief.txt");

        // "Warum dieser Name?" keeps what the model was sent and answered.
        Q_EMIT w->list()->customContextMenuRequested(w->list()->visualRect(row).center());
        QMenu *menu = nullptr;
        QTRY_VERIFY((menu = w->review()->findChild<QMenu *>()) && menu->isVisible());
        const QList<QAction *> actions = menu->actions();
        (*std::ranges::find(actions, "Warum dieser Name?", &QAction::text))->trigger();
        auto *panel = w->review()->findChild<ExplanationPanel *>();
        QVERIFY(panel && panel->isVisible());
        QCOMPARE(panel->browser()->accessibleName(), "Warum dieser Name?");
        const QString shown = panel->browser()->toPlainText();
        for (const char *part :
             {"Gesendeter Textauszug", "Stadtwerke, Rechnung 49,99 EUR", "2024-03-15", "Antwort des Modells"})
            QVERIFY2(shown.contains(part), qPrintable(shown));
        Grounding::Explanation backed;
        backed.excerpt = "Summe 12,50 € <b>";
        backed.report.fields = {{"betrag", Grounding::Status::verified, {}, "12,50", 6}};
        QVERIFY(ExplanationPanel::html(backed).contains("Summe <mark>12,50</mark> € &lt;b&gt;"));
        backed.excerpt = "DE89370400440532013000 Summe 12,50 € a@b.de, c@d.de";
        backed.report.fields[0].position = 29;
        backed.metadataLine = "from: a@b.de";
        backed.masked = Privacy::MaskedPrompt{.fileName = Privacy::maskFileName("x.txt"),
                                              .metadata = Privacy::mask(backed.metadataLine),
                                              .excerpt = Privacy::mask(backed.excerpt),
                                              .nameTemplate = std::nullopt};
        // The count covers every part sent; each part marks its own placeholders.
        const QString html = ExplanationPanel::html(backed);
        QVERIFY2(html.contains("<i>4 Angaben maskiert: 3 E-Mail, 1 IBAN</i>"), qPrintable(html));
        QVERIFY(html.contains("<span style=\"background-color:#d2e3fc\">[IBAN]</span> Summe <mark>12,50</mark>"));
        QVERIFY(html.contains("from: <span style=\"background-color:#d2e3fc\">[E-Mail]</span>"));
        menu->close();
        panel->close();

        // The date the document lacks left the row unticked; the user ticks it (Space), applies it,
        // is told so until closed, and takes it back from the message.
        QVERIFY(!w->engine->jobs().at(0).approved);
        w->list()->setFocus();
        QTest::keyClick(w->list(), Qt::Key_Space);
        QVERIFY(w->engine->jobs().at(0).approved);
        w->button("Umbenennen")->click();
        QTRY_VERIFY(QFile::exists(w->dir.filePath("Brief.txt")));
        QTRY_COMPARE(w->files()->currentWidget(), static_cast<QWidget *>(w->files()->dropTarget()));
        QCOMPARE(w->files()->resultBar()->text(), "1 Datei umbenannt");
        named<QPushButton>(w->files()->resultBar(), "Rückgängig")->click();
        QTRY_COMPARE(w->files()->resultBar()->text(), "1 Umbenennung rückgängig gemacht");

        // A copy of it is answered from the store, and the row says so.
        w->files()->analyze({QUrl::fromLocalFile(w->touch("kopie.txt", "Stadtwerke, Rechnung 49,99 EUR"))});
        QTRY_COMPARE_WITH_TIMEOUT(w->files()->currentWidget(), static_cast<QWidget *>(w->review()), 10000);
        QCOMPARE(w->list()->model()->index(0, 0).data(Qt::AccessibleDescriptionRole).toString(),
                 "Datum nicht im Dokument gefunden\naus dem Zwischenspeicher");
        w->list()->viewport()->grab(); // paints the note beside the old name
        QVERIFY(
            ExplanationPanel::html(*w->engine->jobs().at(0).explanation).contains("Antwort aus dem Zwischenspeicher"));

        // "Neu analysieren" asks the model again, past the kept reply, and replaces the row.
        const QModelIndex copy = w->list()->model()->index(0, 0);
        w->list()->setCurrentIndex(copy);
        Q_EMIT w->list()->customContextMenuRequested(w->list()->visualRect(copy).center());
        QMenu *rowMenu = nullptr;
        QTRY_VERIFY((rowMenu = w->review()->findChild<QMenu *>()) && rowMenu->isVisible());
        const QList<QAction *> rowActions = rowMenu->actions();
        const auto again = std::ranges::find(rowActions, "Neu analysieren", &QAction::text);
        QVERIFY(again != rowActions.end());
        QCOMPARE((*again)->shortcut(), QKeySequence(Qt::Key_F5));
        (*again)->trigger();
        rowMenu->close();
        QTRY_COMPARE(w->fx.llm.server().requests().size(), 2);
        QTRY_VERIFY(!w->engine->isProcessing());
        QCOMPARE(w->engine->jobs().size(), 1);
        QVERIFY(!w->engine->jobs().at(0).explanation->fromCache);
    }

    // The preview of a row's file: what it shows. Pages and pictures are drawn by an extraction
    // helper, so no parser is loaded here; a file that stalls its helper shows the icon and the
    // reason, and the next preview works (a crash is the same failure: tst_extractionsandbox).
    void previewContent_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("view"); // the shown view's class
        QTest::addColumn<QSize>("imageSize"); // of an image preview: the upright shape matters
        QTest::addColumn<QString>("says");    // part of the info view's text
        QTest::newRow("text") << "notiz.txt" << QByteArray("QPlainTextEdit") << QSize() << QString();
        QTest::newRow("photo turned by EXIF") << "foto.jpg" << QByteArray("QLabel") << QSize(20, 40) << QString();
        QTest::newRow("other") << "daten.bin" << QByteArray("QWidget") << QSize() << "Größe: 4";
        QTest::newRow("missing") << "weg.txt" << QByteArray("QWidget") << QSize() << "nicht mehr vorhanden";
        QTest::newRow("helper stalls") << "seite.hang" << QByteArray("QWidget") << QSize()
                                       << "Keine Vorschau: Zeitlimit von 2 s überschritten";
    }

    void previewContent()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, view);
        QFETCH(QSize, imageSize);
        QFETCH(QString, says);
        const QString path = w->dir.filePath(name);
        const QString letter = w->dir.filePath("brief.pdf");
        {
            QPdfWriter writer(letter);
            QPainter painter(&writer);
            painter.drawText(100, 100, "Sehr geehrte Damen und Herren");
        }
        if (name == "notiz.txt") {
            w->touch(name, QByteArray(100 * 1024, 'a'));
        } else if (name == "foto.jpg") {
            QImage landscape(40, 20, QImage::Format_RGB32);
            landscape.fill(Qt::red);
            QImageWriter writer(path, "jpeg");
            writer.setTransformation(QImageIOHandler::TransformationRotate90); // EXIF orientation 6
            QVERIFY(writer.write(landscape));
        } else if (name == "daten.bin") {
            w->touch(name, QByteArray("\x00\x01\x02\xff", 4));
        } else if (name.startsWith("seite.")) { // a PDF by its content; the test helper misbehaves on it
            QVERIFY(QFile::copy(letter, path));
        }
        // The app's helper draws; the test helper is the same but for the misbehaving extensions.
        ExtractionSandbox hostile(NAMORIX_EXTRACT_TEST, {.perRender = std::chrono::seconds(2), .helpers = 1});
        const auto preview = std::make_unique<PreviewWindow>(nullptr, name.startsWith("seite.") ? &hostile : nullptr);
        preview->showFile(QUrl::fromLocalFile(path));
        QTRY_VERIFY_WITH_TIMEOUT(preview->isReady(), 10000);
        QCOMPARE(QByteArray(preview->currentView()->metaObject()->className()), view);
        QCOMPARE(preview->currentView()->accessibleName(), name);
        if (auto *image = qobject_cast<QLabel *>(preview->currentView())) {
            QVERIFY(!image->pixmap().isNull());
            if (imageSize.isValid())
                QCOMPARE(image->pixmap().size(), imageSize);
        }
        if (auto *text = qobject_cast<QPlainTextEdit *>(preview->currentView()))
            QCOMPARE(text->toPlainText().size(), PreviewContent::TextLimitBytes);
        if (!says.isEmpty()) {
            QStringList shown;
            for (const QLabel *label : preview->currentView()->findChildren<QLabel *>())
                shown << label->text();
            QVERIFY2(shown.join('\n').contains(says), qPrintable(shown.join('\n')));
        }
        // The next file's page comes, from a fresh helper where the last one was lost.
        preview->showFile(QUrl::fromLocalFile(letter));
        QTRY_VERIFY_WITH_TIMEOUT(preview->isReady(), 10000);
        QVERIFY(qobject_cast<QLabel *>(preview->currentView()));

        QFile maps("/proc/self/maps");
        QVERIFY(maps.open(QIODevice::ReadOnly));
        const QByteArray mapped = maps.readAll();
        for (const char *parser : {"libpoppler", "libtesseract", "libexiv2", "libheif", "libavformat", "libgmime"})
            QVERIFY2(!mapped.contains(parser), parser);
    }

    void previewKeysFollowTheList()
    {
        w->engine->setJobs({w->job("a.txt", "A.txt"), w->job("b.txt", "B.txt")});
        QListView *list = w->list();
        list->setFocus();
        list->setCurrentIndex(list->model()->index(0, 0));
        QTest::keyClick(list, Qt::Key_Space, Qt::ControlModifier);
        PreviewWindow *preview = w->review()->preview();
        QVERIFY(preview && preview->isVisible());
        // Its size fits the screen (680 high here); where it goes is the window manager's, and a
        // Wayland client is not even told.
        const QSize room = preview->screen()->availableGeometry().size();
        QCOMPARE(preview->frameGeometry().size().boundedTo(room), preview->frameGeometry().size());
        QCOMPARE(preview->file().fileName(), "a.txt");
        QTest::keyClick(preview, Qt::Key_Down);
        QCOMPARE(preview->file().fileName(), "b.txt");
        QTest::keyClick(preview, Qt::Key_Down); // stays on the last job
        QCOMPARE(preview->file().fileName(), "b.txt");
        QTest::keyClick(preview, Qt::Key_Up);
        QCOMPARE(preview->file().fileName(), "a.txt");
        QTRY_VERIFY(preview->isReady());
        QTest::keyClick(preview, Qt::Key_Escape);
        QTRY_VERIFY(!w->review()->preview());
    }
};

QTEST_MAIN(TestFilesSection)
#include "tst_filessection.moc"
