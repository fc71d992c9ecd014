#pragma once

#include <QFrame>
#include <QStringView>

class QLabel;
class QToolButton;
class QVBoxLayout;

/**
 * One group of a grouped form: an optional header (small icon and caption text), a framed body
 * the caller fills, and an optional footer in the secondary colour.
 */
class FormSection final : public QWidget
{
    Q_OBJECT

public:
    explicit FormSection(const QString &title, QStringView symbol = {}, QWidget *parent = nullptr);
    Q_DISABLE_COPY_MOVE(FormSection)

    [[nodiscard]] QVBoxLayout *body() const { return m_body; }
    void setFooter(const QString &text);

private:
    QVBoxLayout *m_body;
    QLabel *m_footer;
};

namespace FormStyle {

/** A label in caption size; `tertiary` picks the faintest text tone, else the secondary one. */
[[nodiscard]] QLabel *caption(const QString &text, bool tertiary = false);
/** A small icon (16 px) as a label. */
[[nodiscard]] QLabel *icon(QStringView symbol, int size = 16);
/** The monospaced variant of the application font. */
[[nodiscard]] QFont monospace();
/** A borderless button with only an icon, named for assistive technology. */
[[nodiscard]] QToolButton *iconButton(QStringView symbol, const QString &accessibleName);

} // namespace FormStyle
