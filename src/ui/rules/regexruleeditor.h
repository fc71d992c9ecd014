#pragma once

#include <QList>
#include <QUuid>
#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;
class RenameRules;

/**
 * The find/replace rules: one row per rule (enable toggle, pattern, replacement, remove) and an
 * add row that takes only a pattern the regular-expression engine compiles; any other pattern is
 * ignored without a message and the fields keep their text.
 */
class RegexRuleEditor final : public QWidget
{
    Q_OBJECT

public:
    explicit RegexRuleEditor(RenameRules &rules, QWidget *parent = nullptr);
    Q_DISABLE_COPY_MOVE(RegexRuleEditor)

    void addRule();

private:
    void showRules();
    void rebuildRows();
    void setRuleEnabled(const QUuid &id, bool enabled);
    void remove(const QUuid &id);

    RenameRules &m_rules;
    QVBoxLayout *m_rows;
    /** The rules the rows show, by id, and their toggles in the same order. */
    QList<QUuid> m_shown;
    QList<QCheckBox *> m_toggles;
    QLineEdit *m_pattern;
    QLineEdit *m_replacement;
    QPushButton *m_add;
    QLabel *m_problem;
};
