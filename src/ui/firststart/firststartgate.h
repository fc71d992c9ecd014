#pragma once

#include <QObject>
#include <QPointer>

class AISettings;
class DefaultsStore;
class LegalAcceptanceView;
class OnboardingView;
class QWidget;

/**
 * What the first start shows over the main window: the legal acceptance screen until the terms
 * are accepted, then the onboarding sheet exactly once ("onboardingDone" is set the moment it
 * is shown, so quitting during it does not bring it back). Later starts show neither.
 */
class FirstStartGate final : public QObject
{
    Q_OBJECT

public:
    FirstStartGate(DefaultsStore &defaults, AISettings &aiSettings, QWidget *window);
    ~FirstStartGate() override;

    /**
     * Shows what is outstanding; call when the main window is first shown. A shown window that
     * is not on screen yet is waited for, so that the sheets open centred on where it lands.
     */
    void start();

    [[nodiscard]] LegalAcceptanceView *legalScreen() const;
    [[nodiscard]] OnboardingView *onboarding() const;

Q_SIGNALS:
    /** The user declined the legal terms: the application has to end. */
    void declined();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showOutstanding();
    void showOnboardingOnce();

    DefaultsStore &m_defaults;
    AISettings &m_aiSettings;
    QWidget *m_window;
    QPointer<LegalAcceptanceView> m_legal;
    QPointer<OnboardingView> m_onboarding;
};
