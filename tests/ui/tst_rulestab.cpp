// The rules tab over in-memory rules.
#include "ui/common/wheelguard.h"
#include "ui/rules/rulestab.h"
#include "windowfixture.h"

class TestRulesTab final : public QObject
{
    Q_OBJECT

    struct Fixture : MemorySettings {
        RulesTab tab{rules};

        QLineEdit *field(const QString &name) const { return named<QLineEdit>(&tab, name); }
        void click(const QString &button) const { QTest::mouseClick(named<QPushButton>(&tab, button), Qt::LeftButton); }
    };
    std::unique_ptr<Fixture> f;

private Q_SLOTS:
    void init() { f = std::make_unique<Fixture>(); }
    void cleanup() { f.reset(); }

    void addCategory_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("added");
        QTest::addColumn<QString>("stored");
        QTest::newRow("trimmed and lower-cased") << " Steuer\t" << true << "steuer";
        QTest::newRow("no-break spaces trimmed") << "\u00a0Miete\u00a0" << true << "miete";
        QTest::newRow("listed in other case") << "Rechnung" << false << QString();
        QTest::newRow("only spaces") << "   " << false << QString();
    }

    void addCategory()
    {
        QFETCH(QString, typed);
        QFETCH(bool, added);
        QFETCH(QString, stored);
        const QStringList before = f->rules.categories();
        QLineEdit *edit = f->field("Neue Kategorie");
        QTest::keyClicks(edit, typed);
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(f->rules.categories(), added ? before + QStringList{stored} : before); // stored: tst_renamerules
        QCOMPARE(edit->text(), added ? QString() : typed);
        QCOMPARE(named<QPushButton>(&f->tab, "Kategorie hinzufügen")->isEnabled(), !added);
    }

    void tokenAppendsAndPreviewFollows()
    {
        QLineEdit *format = f->field("Format");
        format->selectAll();
        QTest::keyClicks(format, "{datum}");
        format->setCursorPosition(0); // appending ignores the cursor
        f->click("{sep}");
        QCOMPARE(f->rules.format(), "{datum}{sep}");
        QCOMPARE(format->text(), "{datum}{sep}");
        f->click("{kategorie}");
        QCOMPARE(f->tab.previewText(), "Vorschau: 2024-03-15_rechnung.pdf");

        f->rules.setSeparator(SeparatorStyle::dot); // changed elsewhere: the settings window or the API
        QCOMPARE(f->tab.previewText(), "Vorschau: 2024-03-15.rechnung.pdf");
        f->rules.setFormat("{betrag}");
        QCOMPARE(format->text(), "{betrag}");
    }

    void addRegexRule_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("added");
        QTest::newRow("compiles") << "^Scan_(\\d+)" << true;
        QTest::newRow("open group") << "(" << false;
        QTest::newRow("dangling quantifier") << "*x" << false;
    }

    void addRegexRule()
    {
        QFETCH(QString, pattern);
        QFETCH(bool, added);
        const qsizetype before = f->rules.regexRules().size();
        QTest::keyClicks(f->field("Pattern"), pattern);
        QTest::keyClicks(f->field("Ersetzung"), "$1");
        f->click("Regel hinzufügen");
        QCOMPARE(f->rules.regexRules().size(), before + (added ? 1 : 0));
        QCOMPARE(f->field("Pattern")->text(), added ? QString() : pattern);
        QCOMPARE(f->field("Ersetzung")->text(), added ? QString() : "$1");
        if (added)
            QVERIFY(f->rules.regexRules().last().sameContent(RegexRule{{}, pattern, "$1", true}));
    }

    void stepperBounds_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("steps");
        QTest::addColumn<qint64>("stored");
        QTest::newRow("down at the floor") << 21 << -5 << qint64(20);
        QTest::newRow("up at the ceiling") << 198 << 9 << qint64(200);
        QTest::newRow("one step") << 80 << 1 << qint64(81);
    }

    // The wheel changes a drop-down or number field only once it has the focus.
    void wheelNeedsFocus()
    {
        WheelGuard::install();
        showActive(&f->tab);
        auto *stepper = f->tab.findChild<QSpinBox *>("rulesMaxLength");
        auto *picker = f->tab.findChild<QComboBox *>();
        const int index = picker->currentIndex();
        const auto turn = [](QWidget *control) {
            const QPoint at = control->rect().center();
            QWheelEvent wheel(at, control->mapToGlobal(at), {}, QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                              Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(control, &wheel);
        };
        turn(stepper);
        turn(picker);
        QCOMPARE(f->rules.maxLength(), 80);
        QCOMPARE(picker->currentIndex(), index);
        stepper->setFocus();
        turn(stepper);
        QCOMPARE(f->rules.maxLength(), 79);
    }

    void stepperBounds()
    {
        QFETCH(int, start);
        QFETCH(int, steps);
        QFETCH(qint64, stored);
        auto *stepper = f->tab.findChild<QSpinBox *>("rulesMaxLength");
        f->rules.setMaxLength(start);
        QCOMPARE(stepper->value(), start);
        for (int i = 0; i < std::abs(steps); ++i)
            QTest::keyClick(stepper, steps < 0 ? Qt::Key_Down : Qt::Key_Up);
        QCOMPARE(f->rules.maxLength(), stored);
        QCOMPARE(stepper->text(), QString("Max. Länge: %1").arg(stored));
    }
};

QTEST_MAIN(TestRulesTab)
#include "tst_rulestab.moc"
