#pragma once

#include "store/namingtemplate.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;

/**
 * The detail form of one template: name and pattern written through on every keystroke, the
 * pattern rendered for a sample file as it is typed, the default toggle, and the tokens a
 * pattern may use.
 */
class TemplateForm final : public QWidget
{
    Q_OBJECT

public:
    explicit TemplateForm(QWidget *parent = nullptr);
    Q_DISABLE_COPY_MOVE(TemplateForm)

    /** Shows `value`; a field already holding the stored text is left alone (cursor and all). */
    void display(const NamingTemplate &value);
    [[nodiscard]] const NamingTemplate &current() const { return m_template; }

Q_SIGNALS:
    /** The user changed a field or the toggle; `value` is the whole template as it now reads. */
    void edited(const NamingTemplate &value);
    /** The user is done for now: left a field, pressed Return or flipped the toggle. */
    void settled();

private:
    QLineEdit *field(const QString &label, QString NamingTemplate::*member);
    void showExample(const QString &pattern);

    NamingTemplate m_template;
    QList<std::pair<QLineEdit *, QString NamingTemplate::*>> m_fields;
    QLabel *m_example;
    QCheckBox *m_default;
};
