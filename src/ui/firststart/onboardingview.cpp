#include "ui/firststart/onboardingview.h"

#include "ai/aisettings.h"
#include "ai/providercatalogue.h"
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
    // dialog. The device comes first, on a line of its own with what it means; the language
    // models follow as the way to richer descriptions. A provider that cannot run here is not offered.
    m_group = new QButtonGroup(this);
    const auto choice = [this](AIProviderType type) {
        const QString name = ProviderCatalogue::facts(type).displayName;
        auto *button = new QRadioButton(name);
        button->setAccessibleName(name);
        m_group->addButton(button, int(type));
        return button;
    };
    auto *local = choice(AIProviderType::local);
    auto *localHint = new QLabel(qtTrId("onboarding.localHint"));
    localHint->setWordWrap(true);
    localHint->setContentsMargins(24, 0, 0, 0);
    local->setAccessibleDescription(localHint->text());
    auto *modelsHint = new QLabel(qtTrId("onboarding.modelsHint"));
    modelsHint->setWordWrap(true);
    for (QLabel *hint : {localHint, modelsHint}) {
        QPalette secondary = hint->palette();
        secondary.setColor(QPalette::WindowText, UIColors::secondary(secondary));
        hint->setPalette(secondary);
    }
    auto *models = new QHBoxLayout;
    for (const AIProviderType type : ProviderCatalogue::offered()) {
        if (type != AIProviderType::local)
            models->addWidget(choice(type));
    }
    models->addStretch(1);
    auto *choices = new QVBoxLayout;
    choices->setSpacing(6);
    choices->addWidget(local, 0, Qt::AlignLeft); // as wide as its text: a click beside it is no choice
    choices->addWidget(localHint);
    choices->addSpacing(8);
    choices->addWidget(modelsHint);
    choices->addLayout(models);
    // Toggled, not clicked: the arrow keys and assistive technology change it without a click.
    connect(m_group, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked)
            m_settings.setProvider(AIProviderType(id));
    });
    connect(&m_settings, &AISettings::providerChanged, this, &OnboardingView::showProvider);

    m_key->setEchoMode(QLineEdit::Password);
    m_key->setPlaceholderText(qtTrId("settings.apiKey"));
    m_key->setAccessibleName(qtTrId("settings.apiKey"));
    // Hidden for a provider without a key, yet keeping its room: the sheet does not jump.
    QSizePolicy keepsRoom = m_key->sizePolicy();
    keepsRoom.setRetainSizeWhenHidden(true);
    m_key->setSizePolicy(keepsRoom);
    connect(m_key, &QLineEdit::editingFinished, this, &OnboardingView::storeKey);
    // Closed by a button's own action (a screen reader's), the field never lost the focus.
    connect(this, &QDialog::finished, this, &OnboardingView::storeKey);
    auto *keyHint = new QLabel(qtTrId("onboarding.keyHint"));
    keyHint->setWordWrap(true);
    QPalette hintPalette = keyHint->palette();
    hintPalette.setColor(QPalette::WindowText, UIColors::secondary(hintPalette));
    keyHint->setPalette(hintPalette);
    QSizePolicy hintRoom = keyHint->sizePolicy();
    hintRoom.setRetainSizeWhenHidden(true);
    keyHint->setSizePolicy(hintRoom);
    m_key->setAccessibleDescription(keyHint->text());
    m_keyHint = keyHint;

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
    column->addWidget(m_keyHint);
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
    m_storedKey.clear();
    m_key->setVisible(AISettings::needsAPIKey(provider));
    m_keyHint->setVisible(m_key->isVisibleTo(this));
}

void OnboardingView::storeKey()
{
    if (!AISettings::needsAPIKey(m_settings.provider()) || m_key->text() == m_storedKey)
        return;
    m_storedKey = m_key->text();
    m_settings.setApiKey(m_storedKey);
}
