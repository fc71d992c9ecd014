#pragma once

#include <QDialog>

class AISettings;
class QAbstractButton;
class QLineEdit;

/**
 * The onboarding sheet: pick the AI provider and, for one that needs it, type its key. Both
 * are stored as chosen and typed, so "Überspringen" and "Fertig" only close the sheet.
 */
class OnboardingView final : public QDialog
{
    Q_OBJECT

public:
    explicit OnboardingView(AISettings &settings, QWidget *parent = nullptr);

    [[nodiscard]] QAbstractButton *providerButton(int index) const;
    [[nodiscard]] QLineEdit *keyField() const { return m_key; }

private:
    void showProvider();

    AISettings &m_settings;
    QList<QAbstractButton *> m_providers;
    QLineEdit *m_key;
};
