// The rules tab over in-memory rules: the add rows' refusals, token buttons with the live
// preview, and the length stepper's bounds.
#include "naming/renamerules.h"
#include "settings/defaultsstore.h"
#include "ui/rules/rulestab.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

class TestRulesTab final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void addCategory_data();
    void addCategory();
    void tokenAppendsAndPreviewFollows();
    void addRegexRule_data();
    void addRegexRule();
    void stepperBounds_data();
    void stepperBounds();
    void screenshot();

private:
    QLineEdit *field(const QString &name) const
    {
        for (QLineEdit *edit : m_tab->findChildren<QLineEdit *>()) {
            if (edit->accessibleName() == name)
                return edit;
        }
        return nullptr;
    }
    QPushButton *button(const QString &name) const
    {
        for (QPushButton *candidate : m_tab->findChildren<QPushButton *>()) {
            if (candidate->accessibleName() == name)
                return candidate;
        }
        return nullptr;
    }

    std::unique_ptr<DefaultsStore> m_defaults;
    std::unique_ptr<RenameRules> m_rules;
    std::unique_ptr<RulesTab> m_tab;
};

void TestRulesTab::init()
{
    m_defaults = std::make_unique<DefaultsStore>();
    m_rules = std::make_unique<RenameRules>(*m_defaults);
    m_tab = std::make_unique<RulesTab>(*m_rules);
    m_tab->show();
}

void TestRulesTab::cleanup()
{
    m_tab.reset();
    m_rules.reset();
    m_defaults.reset();
}

void TestRulesTab::addCategory_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("added");
    QTest::addColumn<QString>("stored");
    QTest::newRow("trimmed and lower-cased") << QStringLiteral(" Steuer\t") << true << QStringLiteral("steuer");
    QTest::newRow("no-break spaces trimmed") << QStringLiteral("\u00a0Miete\u00a0") << true << QStringLiteral("miete");
    QTest::newRow("listed in other case") << QStringLiteral("Rechnung") << false << QString();
    QTest::newRow("only spaces") << QStringLiteral("   ") << false << QString();
}

void TestRulesTab::addCategory()
{
    QFETCH(QString, typed);
    QFETCH(bool, added);
    QFETCH(QString, stored);
    const QStringList before = m_rules->categories();
    QLineEdit *edit = field(QStringLiteral("Neue Kategorie"));
    QTest::keyClicks(edit, typed);
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(m_rules->categories(), added ? before + QStringList{stored} : before);
    if (added) // stored at once
        QCOMPARE(QVariant(m_defaults->arrayValue(QStringLiteral("rules.categories")).value_or(QVariantList()))
                     .toStringList(),
                 m_rules->categories());
    QCOMPARE(edit->text(), added ? QString() : typed);
    QCOMPARE(button(QStringLiteral("Kategorie hinzufügen"))->isEnabled(), !added);
}

void TestRulesTab::tokenAppendsAndPreviewFollows()
{
    QLineEdit *format = field(QStringLiteral("Format"));
    format->selectAll();
    QTest::keyClicks(format, QStringLiteral("{datum}"));
    format->setCursorPosition(0); // appending ignores the cursor
    QTest::mouseClick(button(QStringLiteral("{sep}")), Qt::LeftButton);
    QCOMPARE(m_rules->format(), QStringLiteral("{datum}{sep}"));
    QCOMPARE(format->text(), QStringLiteral("{datum}{sep}"));
    QTest::mouseClick(button(QStringLiteral("{kategorie}")), Qt::LeftButton);
    QCOMPARE(m_tab->previewText(), QStringLiteral("Vorschau: 2024-03-15_rechnung.pdf"));

    m_rules->setSeparator(SeparatorStyle::dot); // changed elsewhere: the settings window or the API
    QCOMPARE(m_tab->previewText(), QStringLiteral("Vorschau: 2024-03-15.rechnung.pdf"));
    m_rules->setFormat(QStringLiteral("{betrag}"));
    QCOMPARE(format->text(), QStringLiteral("{betrag}"));
}

void TestRulesTab::addRegexRule_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("added");
    QTest::newRow("compiles") << QStringLiteral("^Scan_(\\d+)") << true;
    QTest::newRow("open group") << QStringLiteral("(") << false;
    QTest::newRow("dangling quantifier") << QStringLiteral("*x") << false;
}

void TestRulesTab::addRegexRule()
{
    QFETCH(QString, pattern);
    QFETCH(bool, added);
    const qsizetype before = m_rules->regexRules().size();
    QTest::keyClicks(field(QStringLiteral("Pattern")), pattern);
    QTest::keyClicks(field(QStringLiteral("Ersetzung")), QStringLiteral("$1"));
    QTest::mouseClick(button(QStringLiteral("Regel hinzufügen")), Qt::LeftButton);
    QCOMPARE(m_rules->regexRules().size(), before + (added ? 1 : 0));
    QCOMPARE(field(QStringLiteral("Pattern"))->text(), added ? QString() : pattern);
    QCOMPARE(field(QStringLiteral("Ersetzung"))->text(), added ? QString() : QStringLiteral("$1"));
    if (added) {
        const RegexRule rule = m_rules->regexRules().last();
        QVERIFY(rule.sameContent(RegexRule{{}, pattern, QStringLiteral("$1"), true}));
    }
}

void TestRulesTab::stepperBounds_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("steps");
    QTest::addColumn<qint64>("stored");
    QTest::newRow("down at the floor") << 21 << -5 << qint64(20);
    QTest::newRow("up at the ceiling") << 198 << 9 << qint64(200);
    QTest::newRow("one step") << 80 << 1 << qint64(81);
}

void TestRulesTab::stepperBounds()
{
    QFETCH(int, start);
    QFETCH(int, steps);
    QFETCH(qint64, stored);
    auto *stepper = m_tab->findChild<QSpinBox *>(QStringLiteral("rulesMaxLength"));
    m_rules->setMaxLength(start);
    QCOMPARE(stepper->value(), start);
    for (int i = 0; i < std::abs(steps); ++i)
        QTest::keyClick(stepper, steps < 0 ? Qt::Key_Down : Qt::Key_Up);
    QCOMPARE(m_rules->maxLength(), stored);
    QCOMPARE(stepper->text(), QStringLiteral("Max. Länge: %1").arg(stored));
}

void TestRulesTab::screenshot()
{
    const QString folder = qEnvironmentVariable("NAMORIX_SCREENSHOT_DIR");
    if (folder.isEmpty())
        QSKIP("no screenshot folder given");
    m_tab->resize(520, 900);
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(m_tab->grab().save(folder + QStringLiteral("/rules.png")));
}

QTEST_MAIN(TestRulesTab)
#include "tst_rulestab.moc"
