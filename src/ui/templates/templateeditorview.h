#pragma once

#include "store/namingtemplate.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <optional>

class ObjectStore;
class QLabel;
class QListWidget;
class QStackedWidget;
class QToolButton;
class TemplateForm;

/**
 * The templates section: every naming template, oldest first, live from the store; add and
 * delete under the list; the selected one's form beside it, stored half a second after the last
 * keystroke, on leaving a field and on closing (a synced commit per keystroke made typing wait
 * on the disk). A change the core refuses (a pattern with "{dat") is not stored; the line above
 * says why as the user types.
 * A template the REST API adds appears at once, one it deletes drops the selection.
 */
class TemplateEditorView final : public QWidget
{
    Q_OBJECT

public:
    /** `store` may be null (it could not be opened): the list stays empty and adding is off. */
    explicit TemplateEditorView(ObjectStore *store, QWidget *parent = nullptr);
    ~TemplateEditorView() override;
    Q_DISABLE_COPY_MOVE(TemplateEditorView)

    void addTemplate();
    void deleteSelected();
    [[nodiscard]] QListWidget *list() const { return m_list; }
    /** True while the placeholder stands where the form would be. */
    [[nodiscard]] bool showsPlaceholder() const;

protected:
    void hideEvent(QHideEvent *event) override;

private:
    void reload();
    void select(qint64 id);
    /** Keeps `value` to store once typing pauses. */
    void edited(const NamingTemplate &value);
    /** Stores the kept edit now, if there is one. */
    void saveEdit();
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
    std::optional<NamingTemplate> m_edit;
    QTimer m_saveLater;
};
