#include "ui/settings/integerfield.h"

#include <QRegularExpressionValidator>

IntegerField::IntegerField(QWidget *parent)
    : QLineEdit(parent)
{
    // 18 digits stay inside qint64, so every accepted text converts.
    setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("-?[0-9]{1,18}")), this));
    connect(this, &QLineEdit::textEdited, this, [this](const QString &text) {
        bool isInteger = false;
        const qint64 value = text.toLongLong(&isInteger);
        if (isInteger)
            Q_EMIT valueEdited(value);
    });
}

void IntegerField::focusOutEvent(QFocusEvent *event)
{
    // Qt reports no finished edit for text its validator holds incomplete, so restore here.
    QLineEdit::focusOutEvent(event);
    setText(QString::number(m_value));
}

void IntegerField::setValue(qint64 value)
{
    m_value = value;
    bool isInteger = false;
    if (text().toLongLong(&isInteger) != value || !isInteger)
        setText(QString::number(value));
}
