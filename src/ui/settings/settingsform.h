#pragma once

#include <QString>

class QCheckBox;
class QColor;
class QLabel;
class QLineEdit;
class QWidget;

/** The small pieces the settings tabs build their grouped forms from. */
namespace SettingsForm {

enum class Tone { secondary, tertiary };

/** A caption-sized label in a fainter tone. */
[[nodiscard]] QLabel *caption(const QString &text, Tone tone);
/** A toggle with its text as accessible name. */
[[nodiscard]] QCheckBox *toggle(const QString &text, bool checked);
/** A text field named `name` for screen readers, showing `text`. */
[[nodiscard]] QLineEdit *textField(const QString &name, const QString &text = {});
/** Paints a status label's icon and text in one colour. */
void showStatus(QLabel *icon, QLabel *text, QStringView symbol, const QColor &color, const QString &message);

} // namespace SettingsForm
