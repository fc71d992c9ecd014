#include "ui/firststart/firststartgate.h"

#include "settings/generalflags.h"
#include "ui/firststart/legalacceptanceview.h"
#include "ui/firststart/onboardingview.h"

FirstStartGate::FirstStartGate(DefaultsStore &defaults, AISettings &aiSettings, QWidget *window)
    : QObject()
    , m_defaults(defaults)
    , m_aiSettings(aiSettings)
    , m_window(window)
{
}

FirstStartGate::~FirstStartGate() = default;

LegalAcceptanceView *FirstStartGate::legalScreen() const
{
    return m_legal;
}

OnboardingView *FirstStartGate::onboarding() const
{
    return m_onboarding;
}

void FirstStartGate::start()
{
    if (GeneralFlags::hasAcceptedLegal.read(m_defaults)) {
        showOnboardingOnce();
        return;
    }
    m_legal = new LegalAcceptanceView(m_defaults, m_window);
    connect(m_legal, &LegalAcceptanceView::acceptedLegal, this, [this] {
        m_legal->deleteLater();
        showOnboardingOnce();
    });
    connect(m_legal, &LegalAcceptanceView::declined, this, &FirstStartGate::declined);
    m_legal->open();
}

void FirstStartGate::showOnboardingOnce()
{
    if (GeneralFlags::onboardingDone.read(m_defaults))
        return;
    GeneralFlags::onboardingDone.write(m_defaults, true);
    m_onboarding = new OnboardingView(m_aiSettings, m_window);
    m_onboarding->setAttribute(Qt::WA_DeleteOnClose);
    m_onboarding->open();
}
