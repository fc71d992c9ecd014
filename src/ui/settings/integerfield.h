#pragma once

#include <QLineEdit>

/**
 * A text field for a whole number bound to a stored value: only digits (and a leading minus)
 * can be typed, each edit that reads as an integer is handed on at once, and anything else
 * (an emptied field, a lone "-") is never taken over: leaving the field shows the stored value
 * again.
 */
class IntegerField final : public QLineEdit
{
    Q_OBJECT

public:
    explicit IntegerField(QWidget *parent = nullptr);

    /** Shows `value`, unless the text being typed already reads as it. */
    void setValue(qint64 value);

Q_SIGNALS:
    void valueEdited(qint64 value);

protected:
    void focusOutEvent(QFocusEvent *event) override;

private:
    qint64 m_value = 0;
};
