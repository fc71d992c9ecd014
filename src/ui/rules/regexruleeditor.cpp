#include "ui/rules/regexruleeditor.h"

#include "naming/renamerules.h"
#include "ui/common/palette.h"
#include "ui/rules/formsection.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

RegexRuleEditor::RegexRuleEditor(RenameRules &rules, QWidget *parent)
    : QWidget(parent)
    , m_rules(rules)
    , m_rows(new QVBoxLayout)
    , m_pattern(new QLineEdit)
    , m_replacement(new QLineEdit)
    , m_add(new QPushButton(qtTrId("rules.add")))
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    m_rows->setSpacing(0);
    column->addLayout(m_rows);

    m_pattern->setPlaceholderText(qtTrId("rules.regex.pattern"));
    m_pattern->setAccessibleName(m_pattern->placeholderText());
    m_pattern->setFont(FormStyle::monospace());
    m_replacement->setPlaceholderText(qtTrId("rules.regex.replacement"));
    m_replacement->setAccessibleName(m_replacement->placeholderText());
    m_add->setAccessibleName(qtTrId("rules.regex.add"));
    m_add->setEnabled(false);
    auto *addRow = new QHBoxLayout;
    addRow->addWidget(m_pattern, 1);
    addRow->addWidget(FormStyle::icon(u"arrow.right"));
    addRow->addWidget(m_replacement, 1);
    addRow->addWidget(m_add);
    column->addLayout(addRow);
    m_problem = FormStyle::caption(QString(), true);
    m_problem->setObjectName(QStringLiteral("regexProblem"));
    m_problem->hide();
    column->addWidget(m_problem);
    column->addWidget(FormStyle::caption(qtTrId("rules.regex.example"), true));

    // Why a pattern cannot be added is said beside it, not left to a button that stays grey.
    connect(m_pattern, &QLineEdit::textChanged, this, [this](const QString &text) {
        const std::optional<QString> problem = text.isEmpty() ? std::nullopt : RenameRules::regexProblem(text);
        m_add->setEnabled(!text.isEmpty() && !problem);
        m_problem->setText(problem.value_or(QString()));
        m_problem->setVisible(problem.has_value());
    });
    connect(m_add, &QPushButton::clicked, this, &RegexRuleEditor::addRule);
    connect(&m_rules, &RenameRules::regexRulesChanged, this, &RegexRuleEditor::showRules);
    showRules();
}

void RegexRuleEditor::addRule()
{
    const QString pattern = m_pattern->text();
    if (RenameRules::regexProblem(pattern))
        return;
    QList<RegexRule> rules = m_rules.regexRules();
    rules << RegexRule{QUuid::createUuid(), pattern, m_replacement->text(), true};
    m_rules.setRegexRules(rules);
    m_pattern->clear();
    m_replacement->clear();
}

void RegexRuleEditor::showRules()
{
    const QList<RegexRule> rules = m_rules.regexRules();
    QList<QUuid> ids;
    for (const RegexRule &rule : rules)
        ids << rule.id;
    if (ids != m_shown) {
        rebuildRows();
        return;
    }
    // Only a flag changed: keep the rows (and the focus on the toggle just used).
    for (qsizetype i = 0; i < rules.size(); ++i) {
        const QSignalBlocker quiet(m_toggles.at(i));
        m_toggles.at(i)->setChecked(rules.at(i).enabled);
    }
}

void RegexRuleEditor::rebuildRows()
{
    while (QLayoutItem *item = m_rows->takeAt(0)) {
        item->widget()->deleteLater(); // the remove button that caused this is still in its handler
        delete item;
    }
    m_shown.clear();
    m_toggles.clear();
    for (const RegexRule &rule : m_rules.regexRules()) {
        auto *row = new QWidget;
        auto *line = new QHBoxLayout(row);
        line->setContentsMargins(4, 0, 0, 0);
        auto *toggle = new QCheckBox;
        toggle->setChecked(rule.enabled);
        toggle->setAccessibleName(qtTrId("rules.regex.enabled").arg(rule.pattern));
        auto *pattern = new QLabel(rule.pattern);
        pattern->setFont(FormStyle::monospace());
        pattern->setTextFormat(Qt::PlainText);
        const bool empty = rule.replacement.isEmpty();
        auto *replacement = new QLabel(empty ? qtTrId("rules.regex.empty") : rule.replacement);
        replacement->setTextFormat(Qt::PlainText);
        if (empty) {
            QPalette palette = replacement->palette();
            palette.setColor(QPalette::WindowText, UIColors::tertiary(palette));
            replacement->setPalette(palette);
        } else {
            replacement->setFont(FormStyle::monospace());
        }
        QToolButton *remove = FormStyle::iconButton(u"minus.circle", qtTrId("rules.regex.remove").arg(rule.pattern));
        line->addWidget(toggle);
        line->addWidget(pattern, 1);
        line->addWidget(FormStyle::icon(u"arrow.right"));
        line->addWidget(replacement);
        line->addWidget(remove);
        m_rows->addWidget(row);

        const QUuid id = rule.id;
        connect(toggle, &QCheckBox::toggled, this, [this, id](bool on) { setRuleEnabled(id, on); });
        connect(remove, &QToolButton::clicked, this, [this, id] { this->remove(id); });
        m_shown << id;
        m_toggles << toggle;
    }
}

void RegexRuleEditor::setRuleEnabled(const QUuid &id, bool enabled)
{
    QList<RegexRule> rules = m_rules.regexRules();
    for (RegexRule &rule : rules) {
        if (rule.id == id)
            rule.enabled = enabled;
    }
    m_rules.setRegexRules(rules);
}

void RegexRuleEditor::remove(const QUuid &id)
{
    QList<RegexRule> rules = m_rules.regexRules();
    rules.removeIf([&id](const RegexRule &rule) { return rule.id == id; });
    m_rules.setRegexRules(rules);
}
