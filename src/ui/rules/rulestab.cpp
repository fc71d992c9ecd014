#include "ui/rules/rulestab.h"

#include "common/rawenum.h"
#include "naming/namebuilder.h"
#include "naming/renamerules.h"
#include "ui/rules/categoryeditor.h"
#include "ui/rules/formsection.h"
#include "ui/rules/regexruleeditor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int MinLength = 20;
constexpr int MaxLength = 200;

/** `edit` writes every keystroke into the rules and follows them when they change elsewhere. */
void bindText(QLineEdit *edit, RenameRules &rules, QString (RenameRules::*get)() const,
              void (RenameRules::*set)(const QString &), void (RenameRules::*changed)())
{
    edit->setText((rules.*get)());
    QObject::connect(edit, &QLineEdit::textEdited, &rules, [&rules, set](const QString &text) { (rules.*set)(text); });
    QObject::connect(&rules, changed, edit, [edit, &rules, get] {
        if (edit->text() != (rules.*get)())
            edit->setText((rules.*get)());
    });
}

/** A picker over an enum's cases in case order, showing `labels` (the raw values by default). */
template <typename E>
QComboBox *enumPicker(RenameRules &rules, E (RenameRules::*get)() const, void (RenameRules::*set)(E),
                      void (RenameRules::*changed)(), QStringList labels = allRawValues<E>())
{
    static constexpr auto cases = allCases<E>();
    auto *picker = new QComboBox;
    picker->addItems(labels);
    const auto show = [picker, &rules, get] {
        const auto found = std::ranges::find(cases, (rules.*get)());
        const QSignalBlocker quiet(picker);
        picker->setCurrentIndex(int(found - cases.begin()));
    };
    show();
    QObject::connect(picker, &QComboBox::currentIndexChanged, &rules, [&rules, set](int index) {
        if (index >= 0 && index < int(cases.size()))
            (rules.*set)(cases[size_t(index)]);
    });
    QObject::connect(&rules, changed, picker, show);
    return picker;
}

QWidget *scrolled(QWidget *content)
{
    auto *area = new QScrollArea;
    area->setWidget(content);
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return area;
}

} // namespace

RulesTab::RulesTab(RenameRules &rules, QWidget *parent)
    : QWidget(parent)
    , m_rules(rules)
{
    setAccessibleName(qtTrId("rules.title"));
    auto *content = new QWidget;
    auto *column = new QVBoxLayout(content);
    column->setSpacing(14);
    column->addWidget(makeFormatSection());

    auto *categories = new FormSection(qtTrId("rules.categories.title"), u"sparkles");
    categories->body()->addWidget(new CategoryEditor(m_rules));
    categories->setFooter(qtTrId("rules.categories.footer"));
    column->addWidget(categories);

    column->addWidget(makePostProcessingSection());
    column->addWidget(makePrefixSuffixSection());

    auto *regex = new FormSection(qtTrId("rules.regex.title"));
    regex->body()->addWidget(new RegexRuleEditor(m_rules));
    column->addWidget(regex);
    column->addStretch(1);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scrolled(content));
    connect(&m_rules, &RenameRules::changed, this, &RulesTab::showPreview);
    showPreview();
}

QString RulesTab::previewText() const
{
    return m_preview->text();
}

QWidget *RulesTab::makeFormatSection()
{
    auto *section = new FormSection(qtTrId("rules.format.title"));
    auto *format = new QLineEdit;
    format->setFont(FormStyle::monospace());
    format->setAccessibleName(qtTrId("rules.format.label"));
    bindText(format, m_rules, &RenameRules::format, &RenameRules::setFormat, &RenameRules::formatChanged);
    auto *form = new QFormLayout;
    form->addRow(format->accessibleName(), format);
    section->body()->addLayout(form);

    m_preview = FormStyle::caption({});
    m_preview->setObjectName(QStringLiteral("rulesPreview"));
    m_preview->setTextFormat(Qt::PlainText);
    m_preview->setTextInteractionFlags(Qt::TextSelectableByMouse);
    section->body()->addWidget(m_preview);

    section->body()->addWidget(makeTokenGroup(u"sparkles", qtTrId("rules.tokens.extracted"),
                                              {{u"{datum}", "rules.token.datum"},
                                               {u"{kategorie}", "rules.token.kategorie"},
                                               {u"{beschreibung}", "rules.token.beschreibung"},
                                               {u"{absender}", "rules.token.absender"},
                                               {u"{betrag}", "rules.token.betrag"}}));
    section->body()->addWidget(
        makeTokenGroup(u"gearshape", qtTrId("rules.tokens.fixed"), {{u"{sep}", "rules.token.sep"}}));
    return section;
}

QWidget *RulesTab::makeTokenGroup(QStringView symbol, const QString &title,
                                  std::initializer_list<std::pair<const char16_t *, const char *>> tokens)
{
    auto *group = new QWidget;
    auto *column = new QVBoxLayout(group);
    column->setContentsMargins(0, 4, 0, 0);
    column->setSpacing(2);
    auto *header = new QHBoxLayout;
    header->addWidget(FormStyle::icon(symbol, 12));
    header->addWidget(FormStyle::caption(title));
    header->addStretch(1);
    column->addLayout(header);

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(4);
    for (const auto &[token, description] : tokens) {
        const QString text = QString::fromUtf16(token);
        auto *button = new QPushButton(text);
        button->setToolTip(qtTrId(description));
        button->setAccessibleName(text);
        button->setAccessibleDescription(button->toolTip());
        button->setFont(FormStyle::caption({})->font());
        button->setAutoDefault(false);
        // Appended at the end, never at the cursor.
        connect(button, &QPushButton::clicked, this, [this, text] { m_rules.setFormat(m_rules.format() + text); });
        buttons->addWidget(button);
    }
    buttons->addStretch(1);
    column->addLayout(buttons);
    return group;
}

QWidget *RulesTab::makePostProcessingSection()
{
    auto *section = new FormSection(qtTrId("rules.post.title"), u"gearshape");
    section->setFooter(qtTrId("rules.post.footer"));
    auto *form = new QFormLayout;
    // German labels for the stored values ("DD.MM.YYYY" stays what the settings file and the REST API say).
    QComboBox *date =
        enumPicker(m_rules, &RenameRules::dateFormat, &RenameRules::setDateFormat, &RenameRules::dateFormatChanged,
                   {qtTrId("rules.date.iso"), qtTrId("rules.date.de"), qtTrId("rules.date.us"),
                    qtTrId("rules.date.compact"), qtTrId("rules.date.none")});
    date->setToolTip(qtTrId("rules.date.tooltip"));
    QComboBox *casing = enumPicker(m_rules, &RenameRules::casing, &RenameRules::setCasing, &RenameRules::casingChanged,
                                   {qtTrId("rules.casing.lower"), qtTrId("rules.casing.title"),
                                    qtTrId("rules.casing.upper"), qtTrId("rules.casing.preserve")});
    QComboBox *separator = enumPicker(
        m_rules, &RenameRules::separator, &RenameRules::setSeparator, &RenameRules::separatorChanged,
        {qtTrId("rules.separator.dash"), qtTrId("rules.separator.underscore"), qtTrId("rules.separator.dot")});
    const std::pair<const char *, QComboBox *> pickers[] = {
        {"rules.date.label", date}, {"rules.casing.label", casing}, {"rules.separator.label", separator}};
    for (const auto &[label, picker] : pickers) {
        picker->setAccessibleName(qtTrId(label));
        form->addRow(picker->accessibleName(), picker);
    }

    auto *umlauts = new QCheckBox(qtTrId("rules.umlauts"));
    umlauts->setChecked(m_rules.replaceUmlauts());
    connect(umlauts, &QCheckBox::toggled, &m_rules, &RenameRules::setReplaceUmlauts);
    connect(&m_rules, &RenameRules::replaceUmlautsChanged, umlauts,
            [this, umlauts] { umlauts->setChecked(m_rules.replaceUmlauts()); });
    form->addRow(umlauts);
    section->body()->addLayout(form);
    return section;
}

QWidget *RulesTab::makePrefixSuffixSection()
{
    auto *section = new FormSection(qtTrId("rules.affix.title"));
    auto *form = new QFormLayout;
    const std::tuple<const char *, const char *, QString (RenameRules::*)() const,
                     void (RenameRules::*)(const QString &), void (RenameRules::*)()>
        fields[] = {
            {"rules.prefix", "rules.prefix.placeholder", &RenameRules::prefix, &RenameRules::setPrefix,
             &RenameRules::prefixChanged},
            {"rules.suffix", "rules.suffix.placeholder", &RenameRules::suffix, &RenameRules::setSuffix,
             &RenameRules::suffixChanged},
        };
    for (const auto &[label, placeholder, get, set, changed] : fields) {
        auto *edit = new QLineEdit;
        edit->setPlaceholderText(qtTrId(placeholder));
        edit->setAccessibleName(qtTrId(label));
        bindText(edit, m_rules, get, set, changed);
        form->addRow(edit->accessibleName(), edit);
    }

    auto *length = new QSpinBox;
    length->setObjectName(QStringLiteral("rulesMaxLength"));
    length->setAccessibleName(qtTrId("rules.maxLength"));
    length->setPrefix(qtTrId("rules.maxLength.prefix"));
    length->setRange(MinLength, MaxLength);
    length->setSingleStep(1);
    const auto showLength = [this, length] {
        const QSignalBlocker quiet(length);
        length->setValue(int(std::clamp<qint64>(m_rules.maxLength(), MinLength, MaxLength)));
    };
    showLength();
    connect(length, &QSpinBox::valueChanged, &m_rules, [this](int value) { m_rules.setMaxLength(value); });
    connect(&m_rules, &RenameRules::maxLengthChanged, length, showLength);
    form->addRow(length);
    section->body()->addLayout(form);
    return section;
}

void RulesTab::showPreview()
{
    m_preview->setText(qtTrId("rules.preview").arg(NameBuilder::previewFileName(m_rules)));
}
