#include "ui/firststart/firststartgate.h"

#include "settings/generalflags.h"
#include "ui/firststart/legalacceptanceview.h"
#include "ui/firststart/onboardingview.h"

#include <QEvent>
#include <QWidget>
#include <QWindow>

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
    // Until its first expose the window manager has not placed the window yet: it still stands
    // at the screen's corner, and a sheet centred on it would open there.
    QWindow *handle = m_window && m_window->isVisible() ? m_window->windowHandle() : nullptr;
    if (handle && !handle->isExposed()) {
        handle->installEventFilter(this);
        return;
    }
    showOutstanding();
}

bool FirstStartGate::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Expose && qobject_cast<QWindow *>(watched)->isExposed()) {
        watched->removeEventFilter(this);
        QMetaObject::invokeMethod(this, &FirstStartGate::showOutstanding, Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}

void FirstStartGate::showOutstanding()
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
