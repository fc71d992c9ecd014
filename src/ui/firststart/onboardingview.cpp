#include "ui/firststart/onboardingview.h"

#include "ai/aisettings.h"
#include "common/rawenum.h"
#include "ui/common/icons.h"
#include "ui/common/palette.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

OnboardingView::OnboardingView(AISettings &settings, QWidget *parent)
    : QDialog(parent)
    , m_settings(settings)
    , m_key(new QLineEdit)
{
    setWindowTitle(qtTrId("onboarding.title"));
    setModal(true);
    setMinimumWidth(480);

    auto *symbol = new QLabel;
    symbol->setPixmap(Icons::symbol(u"wand.and.stars").pixmap(48, 48));
    symbol->setAlignment(Qt::AlignCenter);
    auto *title = new QLabel(qtTrId("onboarding.title"));
    QFont font = title->font();
    font.setPointSizeF(font.pointSizeF() * 1.5);
    title->setFont(font);
    title->setAlignment(Qt::AlignCenter);
    auto *subtitle = new QLabel(qtTrId("onboarding.subtitle"));
    subtitle->setWordWrap(true);
    subtitle->setAlignment(Qt::AlignCenter);
    QPalette palette = subtitle->palette();
    palette.setColor(QPalette::WindowText, UIColors::secondary(palette));
    subtitle->setPalette(palette);

    // A segmented control: one exclusive, checkable button per provider, side by side.
    auto *segments = new QHBoxLayout;
    segments->setSpacing(0);
    segments->addStretch(1);
    auto *group = new QButtonGroup(this);
    for (const QString &name : allRawValues<AIProviderType>()) {
        auto *segment = new QPushButton(name);
        segment->setCheckable(true);
        segment->setAccessibleName(name);
        group->addButton(segment, int(m_providers.size()));
        m_providers.append(segment);
        segments->addWidget(segment);
    }
    segments->addStretch(1);
    // Toggled, not clicked: assistive technology toggles the segment without a click.
    connect(group, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked)
            m_settings.setProvider(AIProviderType(id));
    });
    connect(&m_settings, &AISettings::providerChanged, this, &OnboardingView::showProvider);

    m_key->setEchoMode(QLineEdit::Password);
    m_key->setPlaceholderText(QStringLiteral("API Key"));
    m_key->setAccessibleName(QStringLiteral("API Key"));
    connect(m_key, &QLineEdit::textEdited, this, [this](const QString &key) { m_settings.setApiKey(key); });

    auto *skip = new QPushButton(qtTrId("onboarding.skip"));
    auto *done = new QPushButton(qtTrId("onboarding.done"));
    done->setDefault(true);
    done->setPalette(UIColors::primaryButton(done->palette()));
    connect(skip, &QPushButton::clicked, this, &QDialog::accept);
    connect(done, &QPushButton::clicked, this, &QDialog::accept);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(skip);
    buttons->addStretch(1);
    buttons->addWidget(done);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(32, 28, 32, 24);
    column->setSpacing(14);
    column->addWidget(symbol);
    column->addWidget(title);
    column->addWidget(subtitle);
    column->addLayout(segments);
    column->addWidget(m_key);
    column->addLayout(buttons);
    showProvider();
}

QAbstractButton *OnboardingView::providerButton(int index) const
{
    return m_providers.value(index);
}

void OnboardingView::showProvider()
{
    const AIProviderType provider = m_settings.provider();
    m_providers.at(int(provider))->setChecked(true);
    // The text typed for one provider is never shown as, or taken for, another's key.
    m_key->clear();
    m_key->setVisible(AISettings::needsAPIKey(provider));
}
