#pragma once

#include <QDialog>

class DefaultsStore;
class QBoxLayout;
class QCheckBox;
class QPushButton;

/**
 * The legal acceptance screen of the first start. It cannot be closed other than by its two
 * buttons: accepting (possible only with both boxes ticked) records "hasAcceptedLegal" and
 * "legalAcceptanceDate" and reports `acceptedLegal`; declining records nothing and reports
 * `declined`, on which the application quits.
 */
class LegalAcceptanceView final : public QDialog
{
    Q_OBJECT

public:
    explicit LegalAcceptanceView(DefaultsStore &defaults, QWidget *parent = nullptr);

    [[nodiscard]] QCheckBox *termsBox() const { return m_terms; }
    [[nodiscard]] QCheckBox *privacyBox() const { return m_privacy; }
    [[nodiscard]] QPushButton *acceptButton() const { return m_accept; }
    [[nodiscard]] QPushButton *declineButton() const { return m_decline; }

    /** Escape and the window's close do nothing: only the two buttons end this screen. */
    void reject() override {}

Q_SIGNALS:
    void acceptedLegal();
    void declined();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QCheckBox *checkRow(const char *titleKey, const char *contentKey, QBoxLayout *into);

    DefaultsStore &m_defaults;
    QCheckBox *m_terms = nullptr;
    QCheckBox *m_privacy = nullptr;
    QPushButton *m_accept = nullptr;
    QPushButton *m_decline = nullptr;
};
