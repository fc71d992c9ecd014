#pragma once

#include <QPointer>
#include <QWidget>

class ObjectStore;
class QLabel;
class QListWidget;
class QStackedWidget;
class QToolButton;
class TemplateForm;
struct NamingTemplate;

/**
 * The templates section: every naming template, oldest first, live from the store; add and
 * delete under the list; the selected one's form beside it, written through on every change. A
 * change the core refuses (a pattern with "{dat") is not stored; the line above says why.
 * A template the REST API adds appears at once, one it deletes drops the selection.
 */
class TemplateEditorView final : public QWidget
{
    Q_OBJECT

public:
    /** `store` may be null (it could not be opened): the list stays empty and adding is off. */
    explicit TemplateEditorView(ObjectStore *store, QWidget *parent = nullptr);
    Q_DISABLE_COPY_MOVE(TemplateEditorView)

    void addTemplate();
    void deleteSelected();
    [[nodiscard]] QListWidget *list() const { return m_list; }
    /** True while the placeholder stands where the form would be. */
    [[nodiscard]] bool showsPlaceholder() const;

private:
    void reload();
    void select(qint64 id);
    void save(const NamingTemplate &value);
    [[nodiscard]] qint64 selectedId() const;
    /** A German failure line above the list; empty hides it. */
    void showProblem(const QString &text);

    QPointer<ObjectStore> m_store;
    QListWidget *m_list;
    QToolButton *m_add;
    QToolButton *m_delete;
    QStackedWidget *m_detail;
    TemplateForm *m_form;
    QLabel *m_problem;
};
