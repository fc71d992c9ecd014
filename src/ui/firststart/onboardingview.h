#pragma once

#include "ai/aiprovidertype.h"

#include <QDialog>

class AISettings;
class QAbstractButton;
class QButtonGroup;
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

    /** The choice of `provider`; none for one that is not offered. */
    [[nodiscard]] QAbstractButton *providerButton(AIProviderType provider) const;
    [[nodiscard]] QLineEdit *keyField() const { return m_key; }

private:
    void showProvider();

    AISettings &m_settings;
    QButtonGroup *m_group;
    QLineEdit *m_key;
};
