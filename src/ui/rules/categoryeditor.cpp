#include "ui/rules/categoryeditor.h"

#include "common/unicodetext.h"
#include "naming/renamerules.h"
#include "ui/rules/formsection.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

CategoryEditor::CategoryEditor(RenameRules &rules, QWidget *parent)
    : QWidget(parent)
    , m_rules(rules)
    , m_rows(new QVBoxLayout)
    , m_newCategory(new QLineEdit)
    , m_add(new QPushButton(qtTrId("rules.add")))
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    m_rows->setSpacing(0);
    column->addLayout(m_rows);

    m_newCategory->setPlaceholderText(qtTrId("rules.category.new"));
    m_newCategory->setAccessibleName(m_newCategory->placeholderText());
    m_add->setAccessibleName(qtTrId("rules.category.add"));
    m_add->setEnabled(false);
    auto *addRow = new QHBoxLayout;
    addRow->addWidget(m_newCategory, 1);
    addRow->addWidget(m_add);
    column->addLayout(addRow);

    connect(m_newCategory, &QLineEdit::textChanged, this,
            [this](const QString &text) { m_add->setEnabled(!text.isEmpty()); });
    connect(m_newCategory, &QLineEdit::returnPressed, this, &CategoryEditor::addCategory);
    connect(m_add, &QPushButton::clicked, this, &CategoryEditor::addCategory);
    connect(&m_rules, &RenameRules::categoriesChanged, this, &CategoryEditor::showCategories);
    showCategories();
}

void CategoryEditor::addCategory()
{
    const QString category = UnicodeText::toLowerFull(UnicodeText::trimmedSpaces(m_newCategory->text()));
    QStringList categories = m_rules.categories();
    if (category.isEmpty() || categories.contains(category))
        return;
    categories << category;
    m_rules.setCategories(categories);
    m_newCategory->clear();
}

void CategoryEditor::showCategories()
{
    while (QLayoutItem *item = m_rows->takeAt(0)) {
        // Later: the remove button that caused this rebuild is still in its click handler.
        item->widget()->deleteLater();
        delete item;
    }
    for (const QString &category : m_rules.categories()) {
        auto *row = new QWidget;
        auto *line = new QHBoxLayout(row);
        line->setContentsMargins(4, 0, 0, 0);
        line->addWidget(new QLabel(category), 1);
        QToolButton *remove = FormStyle::iconButton(u"minus.circle", qtTrId("rules.category.remove").arg(category));
        line->addWidget(remove);
        connect(remove, &QToolButton::clicked, this, [this, category] {
            QStringList categories = m_rules.categories();
            categories.removeAll(category);
            m_rules.setCategories(categories);
        });
        m_rows->addWidget(row);
    }
}
