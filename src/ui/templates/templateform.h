#pragma once

#include "store/namingtemplate.h"

#include <QWidget>

class QCheckBox;
class QLineEdit;

/**
 * The detail form of one template: name, pattern and example written through on every
 * keystroke, the default toggle, and the help table of the tokens the model understands.
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

private:
    QLineEdit *field(const QString &label, QString NamingTemplate::*member);

    NamingTemplate m_template;
    QList<std::pair<QLineEdit *, QString NamingTemplate::*>> m_fields;
    QCheckBox *m_default;
};
