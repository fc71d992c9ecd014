#pragma once

#include <QDialog>

/** The four legal texts the Hilfe menu offers. */
enum class LegalInfoType { impressum, terms, privacy, accessibility };

/**
 * One legal text: its title with a close button, a divider, the scrolling text and a bottom
 * close button. Opened from the legal acceptance screen, or from the menu as the information
 * window of a type (520 × 500).
 */
class LegalTextView final : public QDialog
{
    Q_OBJECT

public:
    LegalTextView(const char *titleKey, const char *contentKey, QWidget *parent = nullptr);

    /** The information window for `type`, deleted when closed. */
    [[nodiscard]] static LegalTextView *forType(LegalInfoType type, QWidget *parent = nullptr);

    [[nodiscard]] QString content() const;

private:
    QString m_content;
};
