#pragma once

#include <QCoroTask>
#include <QWidget>

class AISettings;
class UsageLedger;
class CostSection;
struct SecretPlacement;
class QCheckBox;
class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

/**
 * The AI tab: provider, the provider's key (filled from the credential store asynchronously,
 * stored on every edit), model and endpoint with the provider's defaults as placeholders,
 * whether the text goes to this provider with personal data masked, the user's own details (one
 * per line, for all providers), whether the provider is ready to use and what it was asked this month. A key entered
 * for another endpoint is not used; the tab says for which address it was entered and offers to confirm it for the new
 * one. A key the keyring did not take is announced at once: where it went instead, or why it was not stored.
 */
class AISettingsTab final : public QWidget
{
    Q_OBJECT

public:
    AISettingsTab(AISettings &settings, UsageLedger &ledger, QWidget *parent = nullptr);

    [[nodiscard]] QLineEdit *keyField() const { return m_key; }
    [[nodiscard]] QLabel *status() const { return m_statusText; }
    [[nodiscard]] QPushButton *confirmKeyButton() const { return m_confirmKey; }
    /** Where the last typed key went, when not to the keyring; hidden otherwise. */
    [[nodiscard]] QLabel *keyNotice() const { return m_noticeText; }
    [[nodiscard]] QCheckBox *maskToggle() const { return m_mask; }
    [[nodiscard]] QCheckBox *localFirstToggle() const { return m_localFirst; }
    [[nodiscard]] QPlainTextEdit *ownDetailsField() const { return m_ownDetails; }
    /** The selected provider's replies and tokens this month. */
    [[nodiscard]] QLabel *usage() const { return m_usage; }
    /** Prices, the queue's budget and this month's cost. */
    [[nodiscard]] CostSection *costs() const { return m_costs; }

protected:
    void hideEvent(QHideEvent *event) override;

private:
    void showProvider();
    /** Stores what the user typed into the key field, once. */
    void commitKey();
    QCoro::Task<> storeKey(QString key);
    void showPlacement(const SecretPlacement &placed);
    QCoro::Task<> fillKey();
    QCoro::Task<> refreshStatus();

    AISettings &m_settings;
    UsageLedger &m_ledger;
    QFormLayout *m_form;
    QComboBox *m_provider;
    QLineEdit *m_key;
    QLineEdit *m_model;
    QLineEdit *m_endpoint;
    QCheckBox *m_mask;
    QCheckBox *m_localFirst;
    QPlainTextEdit *m_ownDetails;
    QLabel *m_statusIcon;
    QLabel *m_statusText;
    QWidget *m_notice;
    QLabel *m_noticeIcon;
    QLabel *m_noticeText;
    QPushButton *m_confirmKey;
    QLabel *m_usage;
    CostSection *m_costs = nullptr;
    quint64 m_keyGeneration = 0; ///< bumped by every provider switch and edit: an older fill is dropped
    quint64 m_statusGeneration = 0;
};
