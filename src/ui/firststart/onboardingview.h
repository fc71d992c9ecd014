#pragma once

#include "ai/aiprovidertype.h"

#include <QDialog>

class AISettings;
class QAbstractButton;
class QButtonGroup;
class QLabel;
class QLineEdit;

/**
 * The onboarding sheet: how files are named — on the device, or by a language model and, for one
 * that needs it, its key. The choice is stored as made; the key once, when the field is left or
 * the sheet closes (a keyring that has to ask for its password must not be asked per keystroke),
 * so "Überspringen" and "Fertig" only close the sheet.
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
    /** Stores the typed key for the chosen provider, unless that text is stored already. */
    void storeKey();

    AISettings &m_settings;
    QButtonGroup *m_group;
    QLineEdit *m_key;
    QLabel *m_keyHint = nullptr;
    QString m_storedKey; ///< what the field held when the key was last stored
};
