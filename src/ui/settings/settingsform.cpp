#include "ui/settings/settingsform.h"

#include "ui/common/icons.h"
#include "ui/common/palette.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>

namespace SettingsForm {

QLabel *caption(const QString &text, Tone tone)
{
    auto *label = new QLabel(text);
    label->setWordWrap(true);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 0.85);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText,
                     tone == Tone::secondary ? UIColors::secondary(palette) : UIColors::tertiary(palette));
    label->setPalette(palette);
    return label;
}

QCheckBox *toggle(const QString &text, bool checked)
{
    auto *box = new QCheckBox(text);
    box->setAccessibleName(text);
    box->setChecked(checked);
    return box;
}

QLineEdit *textField(const QString &name, const QString &text)
{
    auto *field = new QLineEdit(text);
    field->setAccessibleName(name);
    field->setClearButtonEnabled(false);
    return field;
}

void showStatus(QLabel *icon, QLabel *text, QStringView symbol, const QColor &color, const QString &message)
{
    // The symbol in the status colour, whatever colour the icon theme drew it in.
    QPixmap pixmap = Icons::symbol(symbol).pixmap(14, 14);
    QPainter painter(&pixmap);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(pixmap.rect(), color);
    painter.end();
    icon->setPixmap(pixmap);
    text->setText(message);
    text->setAccessibleName(message);
    QPalette palette = text->palette();
    palette.setColor(QPalette::WindowText, color);
    text->setPalette(palette);
}

} // namespace SettingsForm
