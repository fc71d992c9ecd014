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
#include <QRadioButton>
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

    // One radio group, one tab stop: the arrow keys move the choice, as in any KDE or GNOME
    // dialog. The provider that cannot run on Linux is not offered.
    auto *choices = new QHBoxLayout;
    choices->addStretch(1);
    m_group = new QButtonGroup(this);
    for (const AIProviderType type : allCases<AIProviderType>()) {
        if (!AISettings::isAvailable(type))
            continue;
        const QString name = rawValue(type);
        auto *choice = new QRadioButton(name);
        choice->setAccessibleName(name);
        m_group->addButton(choice, int(type));
        choices->addWidget(choice);
    }
    choices->addStretch(1);
    // Toggled, not clicked: the arrow keys and assistive technology change it without a click.
    connect(m_group, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked)
            m_settings.setProvider(AIProviderType(id));
    });
    connect(&m_settings, &AISettings::providerChanged, this, &OnboardingView::showProvider);

    m_key->setEchoMode(QLineEdit::Password);
    m_key->setPlaceholderText(QStringLiteral("API Key"));
    m_key->setAccessibleName(QStringLiteral("API Key"));
    // Hidden for a provider without a key, yet keeping its room: the sheet does not jump.
    QSizePolicy keepsRoom = m_key->sizePolicy();
    keepsRoom.setRetainSizeWhenHidden(true);
    m_key->setSizePolicy(keepsRoom);
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
    column->addLayout(choices);
    column->addWidget(m_key);
    column->addLayout(buttons);
    showProvider();
}

QAbstractButton *OnboardingView::providerButton(AIProviderType provider) const
{
    return m_group->button(int(provider));
}

void OnboardingView::showProvider()
{
    const AIProviderType provider = m_settings.provider();
    QAbstractButton *chosen = m_group->button(int(provider));
    if (chosen)
        chosen->setChecked(true);
    // The group's one tab stop is the chosen provider (the first while none is), before the focus
    // has ever been in the group; Qt keeps it so afterwards.
    const QList<QAbstractButton *> buttons = m_group->buttons();
    for (QAbstractButton *button : buttons) {
        const bool stop = button == (chosen ? chosen : buttons.first());
        button->setFocusPolicy(stop ? Qt::StrongFocus : Qt::ClickFocus);
    }
    // The text typed for one provider is never shown as, or taken for, another's key.
    m_key->clear();
    m_key->setVisible(AISettings::needsAPIKey(provider));
}
