#include "ui/templates/templateform.h"

#include "ui/rules/formsection.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

/** Help text only: patterns are stored and forwarded as typed, never checked against this. */
constexpr std::pair<const char16_t *, const char16_t *> TemplateTokens[] = {
    {u"{datum}", u"Änderungsdatum (YYYY-MM-DD)"},
    {u"{zeit}", u"Änderungszeit (HH-MM-SS)"},
    {u"{typ}", u"Dateiendung"},
    {u"{name}", u"Originaler Dateiname"},
    {u"{vorschlag}", u"KI-Vorschlag"},
    {u"{camera_make}", u"Kamerahersteller (Bilder)"},
    {u"{camera_model}", u"Kameramodell (Bilder)"},
};

} // namespace

TemplateForm::TemplateForm(QWidget *parent)
    : QWidget(parent)
    , m_default(new QCheckBox(QStringLiteral("Standard-Vorlage")))
{
    auto *column = new QVBoxLayout(this);
    auto *details = new FormSection(QString());
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Name"), field(QStringLiteral("Name"), &NamingTemplate::name));
    form->addRow(QStringLiteral("Muster"), field(QStringLiteral("Muster"), &NamingTemplate::pattern));
    form->addRow(QStringLiteral("Beispiel"), field(QStringLiteral("Beispiel"), &NamingTemplate::example));
    form->addRow(m_default);
    details->body()->addLayout(form);
    column->addWidget(details);
    connect(m_default, &QCheckBox::toggled, this, [this](bool on) {
        m_template.isDefault = on;
        Q_EMIT edited(m_template);
    });

    auto *tokens = new FormSection(QStringLiteral("Verfügbare Tokens"));
    auto *grid = new QGridLayout;
    int row = 0;
    for (const auto &[token, description] : TemplateTokens) {
        auto *name = new QLabel(QString::fromUtf16(token));
        name->setFont(FormStyle::monospace());
        auto *text = new QLabel(QString::fromUtf16(description));
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
    m_fields.append({edit, member});
    return edit;
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
