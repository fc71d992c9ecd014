#include "ui/templates/templateeditorview.h"

#include "naming/namingtemplates.h"
#include "store/objectstore.h"
#include "ui/common/emptyhint.h"
#include "ui/common/twolinedelegate.h"
#include "ui/rules/formsection.h"
#include "ui/templates/templateform.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QSplitter>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <utility>

namespace {

constexpr int IdRole = Qt::UserRole + 1;

} // namespace

TemplateEditorView::TemplateEditorView(ObjectStore *store, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_list(new QListWidget)
    , m_add(FormStyle::iconButton(u"plus", qtTrId("templates.add")))
    , m_delete(FormStyle::iconButton(u"minus", qtTrId("templates.delete")))
    , m_detail(new QStackedWidget)
    , m_form(new TemplateForm)
    , m_problem(new QLabel)
{
    m_list->setAccessibleName(qtTrId("templates.list"));
    m_list->setItemDelegate(new TwoLineDelegate(m_list));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    new EmptyHint(m_list, qtTrId("templates.empty"));
    auto *left = new QWidget;
    left->setMinimumWidth(200);
    left->setMaximumWidth(300);
    auto *leftColumn = new QVBoxLayout(left);
    leftColumn->setContentsMargins(0, 0, 0, 0);
    leftColumn->addWidget(m_list, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_add);
    buttons->addWidget(m_delete);
    buttons->addStretch(1);
    leftColumn->addLayout(buttons);

    auto *placeholder = new QLabel(qtTrId("templates.placeholder"));
    placeholder->setObjectName(QStringLiteral("templatesPlaceholder"));
    placeholder->setAlignment(Qt::AlignCenter);
    placeholder->setForegroundRole(QPalette::PlaceholderText);
    m_detail->addWidget(placeholder);
    m_detail->addWidget(m_form);

    auto *split = new QSplitter;
    split->setChildrenCollapsible(false);
    split->addWidget(left);
    split->addWidget(m_detail);
    split->setStretchFactor(1, 1);

    m_problem->setObjectName(QStringLiteral("templatesProblem"));
    m_problem->setStyleSheet(QStringLiteral("color: #d9730d"));
    m_problem->setWordWrap(true);
    m_problem->hide();
    auto *column = new QVBoxLayout(this);
    column->addWidget(m_problem);
    column->addWidget(split, 1);

    m_add->setEnabled(m_store);
    m_delete->setEnabled(false);
    connect(m_add, &QToolButton::clicked, this, &TemplateEditorView::addTemplate);
    connect(m_delete, &QToolButton::clicked, this, &TemplateEditorView::deleteSelected);
    m_saveLater.setSingleShot(true);
    m_saveLater.setInterval(500);
    connect(&m_saveLater, &QTimer::timeout, this, &TemplateEditorView::saveEdit);
    connect(m_list, &QListWidget::itemSelectionChanged, this, [this] {
        saveEdit();
        showProblem({}); // a refused pattern of the one left behind
        select(selectedId());
    });
    connect(m_form, &TemplateForm::edited, this, &TemplateEditorView::edited);
    connect(m_form, &TemplateForm::settled, this, &TemplateEditorView::saveEdit);
    if (m_store) {
        connect(m_store, &ObjectStore::changed, this, [this](ObjectStore::Kind kind) {
            if (kind == ObjectStore::Kind::templates)
                reload();
        });
    }
    reload();
}

TemplateEditorView::~TemplateEditorView()
{
    saveEdit();
}

void TemplateEditorView::hideEvent(QHideEvent *event)
{
    saveEdit(); // the window closing or another section taking its place
    QWidget::hideEvent(event);
}

bool TemplateEditorView::showsPlaceholder() const
{
    return m_detail->currentIndex() == 0;
}

void TemplateEditorView::addTemplate()
{
    if (!m_store)
        return;
    NamingTemplate value;
    value.name = qtTrId("templates.newName");
    value.pattern = QStringLiteral("{datum}-{vorschlag}");
    const auto inserted = NamingTemplates::add(*m_store, value);
    if (!inserted) {
        showProblem(inserted.error().message());
        return;
    }
    showProblem({});
    // The insert has already refilled the list through changed().
    for (int row = 0; row < m_list->count(); ++row) {
        if (m_list->item(row)->data(IdRole).toLongLong() == *inserted)
            m_list->setCurrentRow(row);
    }
}

void TemplateEditorView::deleteSelected()
{
    const qint64 id = selectedId();
    if (!m_store || id == 0)
        return;
    if (m_edit && m_edit->id == id)
        m_edit.reset();
    if (const auto removed = NamingTemplates::remove(*m_store, id); !removed)
        showProblem(removed.error().message());
    m_list->clearSelection();
}

void TemplateEditorView::reload()
{
    // A change from elsewhere must not overwrite what the user typed and has not stored yet.
    saveEdit();
    const qint64 selected = selectedId();
    const auto fetched = m_store ? m_store->fetchTemplates() : QList<NamingTemplate>();
    if (!fetched)
        showProblem(fetched.error().message());
    const QList<NamingTemplate> templates = fetched.value_or(QList<NamingTemplate>());
    {
        const QSignalBlocker quiet(m_list);
        m_list->clear();
        for (const NamingTemplate &value : templates) {
            auto *item = new QListWidgetItem(value.name, m_list);
            item->setData(IdRole, value.id);
            item->setData(TwoLineDelegate::SubtitleRole, value.pattern);
            item->setData(Qt::AccessibleTextRole, value.name);
            item->setData(Qt::AccessibleDescriptionRole, value.pattern);
            if (value.id == selected)
                item->setSelected(true);
        }
    }
    select(selectedId());
}

void TemplateEditorView::select(qint64 id)
{
    m_delete->setEnabled(id != 0);
    const auto value = (m_store && id != 0) ? m_store->fetchTemplate(id) : std::unexpected(StoreError{});
    if (!value) {
        m_detail->setCurrentIndex(0);
        return;
    }
    m_form->display(*value);
    m_detail->setCurrentWidget(m_form);
}

void TemplateEditorView::edited(const NamingTemplate &value)
{
    m_edit = value;
    showProblem(NamingTemplates::problem(value.pattern).value_or(QString()));
    m_saveLater.start();
}

void TemplateEditorView::saveEdit()
{
    m_saveLater.stop();
    if (!m_edit || !m_store)
        return;
    // Taken first: the save's changed() reloads the list, which calls back here.
    const NamingTemplate value = *std::exchange(m_edit, std::nullopt);
    const auto saved = NamingTemplates::save(*m_store, value);
    showProblem(saved ? QString() : saved.error().message());
}

qint64 TemplateEditorView::selectedId() const
{
    const QList<QListWidgetItem *> selected = m_list->selectedItems();
    return selected.isEmpty() ? 0 : selected.front()->data(IdRole).toLongLong();
}

void TemplateEditorView::showProblem(const QString &text)
{
    m_problem->setText(text);
    m_problem->setVisible(!text.isEmpty());
}
