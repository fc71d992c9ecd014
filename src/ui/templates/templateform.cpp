#include "ui/templates/templateform.h"

#include "naming/namingtemplates.h"
#include "ui/rules/formsection.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

TemplateForm::TemplateForm(QWidget *parent)
    : QWidget(parent)
    , m_example(new QLabel)
    , m_default(new QCheckBox(qtTrId("templates.default")))
{
    auto *column = new QVBoxLayout(this);
    // Users took templates for the name's shape; they are the model's brief, the rules build the name.
    auto *about = new QLabel(qtTrId("template.about"));
    about->setObjectName(QStringLiteral("templateAbout"));
    about->setWordWrap(true);
    about->setTextFormat(Qt::PlainText);
    column->addWidget(about);
    auto *details = new FormSection(QString());
    auto *form = new QFormLayout;
    form->addRow(qtTrId("templates.name"), field(qtTrId("templates.name"), &NamingTemplate::name));
    QLineEdit *pattern = field(qtTrId("templates.pattern"), &NamingTemplate::pattern);
    form->addRow(qtTrId("templates.pattern"), pattern);
    // What the pattern makes of one sample file, as the user types; the stored example is the
    // REST API's own note and is not shown here.
    m_example->setAccessibleName(qtTrId("templates.example"));
    m_example->setFont(FormStyle::monospace());
    m_example->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *sample = new QLabel(qtTrId("templates.sample"));
    sample->setWordWrap(true);
    sample->setForegroundRole(QPalette::PlaceholderText);
    auto *exampleColumn = new QVBoxLayout;
    exampleColumn->setSpacing(2);
    exampleColumn->addWidget(m_example);
    exampleColumn->addWidget(sample);
    form->addRow(qtTrId("templates.example"), exampleColumn);
    connect(pattern, &QLineEdit::textChanged, this, &TemplateForm::showExample);
    form->addRow(m_default);
    details->body()->addLayout(form);
    column->addWidget(details);
    connect(m_default, &QCheckBox::toggled, this, [this](bool on) {
        m_template.isDefault = on;
        Q_EMIT edited(m_template);
        Q_EMIT settled();
    });

    auto *tokens = new FormSection(qtTrId("templates.tokens"));
    auto *grid = new QGridLayout;
    int row = 0;
    for (const NamingTemplates::Token &token : NamingTemplates::tokens()) {
        auto *name = new QLabel(token.text);
        name->setFont(FormStyle::monospace());
        auto *text = new QLabel(token.description);
        text->setWordWrap(true);
        text->setForegroundRole(QPalette::PlaceholderText);
        grid->addWidget(name, row, 0);
        grid->addWidget(text, row, 1);
        ++row;
    }
    grid->setColumnStretch(1, 1);
    tokens->body()->addLayout(grid);
    column->addWidget(tokens);
    column->addStretch(1);
}

QLineEdit *TemplateForm::field(const QString &label, QString NamingTemplate::*member)
{
    auto *edit = new QLineEdit;
    edit->setAccessibleName(label);
    connect(edit, &QLineEdit::textEdited, this, [this, member](const QString &text) {
        m_template.*member = text;
        Q_EMIT edited(m_template);
    });
    connect(edit, &QLineEdit::editingFinished, this, &TemplateForm::settled);
    m_fields.append({edit, member});
    return edit;
}

void TemplateForm::showExample(const QString &pattern)
{
    const bool valid = !NamingTemplates::problem(pattern);
    m_example->setText(valid ? NamingTemplates::example(pattern) : QStringLiteral("–"));
    m_example->setAccessibleDescription(m_example->text());
}

void TemplateForm::display(const NamingTemplate &value)
{
    m_template = value;
    for (const auto &[edit, member] : m_fields) {
        if (edit->text() != value.*member)
            edit->setText(value.*member);
    }
    const QSignalBlocker quiet(m_default);
    m_default->setChecked(value.isDefault);
}
