#include "ui/settings/aisettingstab.h"

#include "ai/aisettings.h"
#include "ai/providercatalogue.h"
#include "ai/usageledger.h"
#include "common/rawenum.h"
#include "ui/common/palette.h"
#include "ui/settings/costsection.h"
#include "ui/settings/settingsform.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>

AISettingsTab::AISettingsTab(AISettings &settings, UsageLedger &ledger, QWidget *parent)
    : QWidget(parent)
    , m_settings(settings)
    , m_ledger(ledger)
    , m_form(nullptr)
    , m_provider(new QComboBox)
    , m_key(SettingsForm::textField(qtTrId("settings.apiKey")))
    , m_model(SettingsForm::textField(qtTrId("settings.model")))
    , m_endpoint(SettingsForm::textField(qtTrId("settings.endpoint")))
    , m_mask(SettingsForm::toggle(qtTrId("settings.maskPersonalData"), settings.maskPersonalData()))
    , m_localFirst(SettingsForm::toggle(qtTrId("settings.localFirst"), settings.localFirst()))
    , m_ownDetails(new QPlainTextEdit(settings.ownDetails().join(u'\n')))
    , m_statusIcon(new QLabel)
    , m_statusText(new QLabel)
    , m_notice(new QWidget)
    , m_noticeIcon(new QLabel)
    , m_noticeText(new QLabel)
    , m_confirmKey(new QPushButton(qtTrId("settings.confirmKeyEndpoint")))
    , m_usage(new QLabel)
{
    auto *group = new QGroupBox;
    m_form = new QFormLayout(group);
    auto *column = new QVBoxLayout(this);
    column->addWidget(group);
    m_costs = new CostSection(settings, ledger);
    column->addWidget(m_costs);
    column->addStretch(1);

    m_provider->setAccessibleName(qtTrId("settings.provider"));
    // The window offers what can run here; the other platform's on-device model only the API knows.
    for (const AIProviderType type : ProviderCatalogue::offered())
        m_provider->addItem(ProviderCatalogue::facts(type).displayName, int(type));
    m_key->setEchoMode(QLineEdit::Password);
    auto *status = new QWidget;
    auto *statusRow = new QHBoxLayout(status);
    statusRow->setContentsMargins(0, 0, 0, 0);
    statusRow->addWidget(m_statusIcon);
    statusRow->addWidget(m_statusText, 1);
    m_statusText->setWordWrap(true);
    auto *noticeRow = new QHBoxLayout(m_notice);
    noticeRow->setContentsMargins(0, 0, 0, 0);
    noticeRow->addWidget(m_noticeIcon, 0, Qt::AlignTop);
    noticeRow->addWidget(m_noticeText, 1);
    // A long path is one word: it must not widen the window or squeeze the icon away. (Word wrap
    // after the policy, which would otherwise drop the height for width that wrapping needs.)
    m_noticeText->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_noticeText->setWordWrap(true);
    m_noticeText->setTextInteractionFlags(Qt::TextSelectableByMouse); // the file's path, to copy
    m_notice->hide();
    m_confirmKey->setAccessibleName(m_confirmKey->text());
    m_confirmKey->hide();
    m_ownDetails->setAccessibleName(qtTrId("settings.ownDetails"));
    m_ownDetails->setPlaceholderText(qtTrId("settings.ownDetails.help"));
    m_ownDetails->setTabChangesFocus(true);
    m_ownDetails->setFixedHeight(m_ownDetails->fontMetrics().lineSpacing() * 4 + 12);

    m_form->addRow(qtTrId("settings.provider"), m_provider);
    m_form->addRow(qtTrId("settings.apiKey"), m_key);
    m_form->addRow(qtTrId("settings.model"), m_model);
    m_form->addRow(qtTrId("settings.endpoint"), m_endpoint);
    m_form->addRow(status);
    m_form->addRow(m_notice);
    m_form->addRow(m_confirmKey);
    m_usage->setForegroundRole(QPalette::PlaceholderText);
    m_form->addRow(m_usage);
    m_form->addRow(m_localFirst);
    m_form->addRow(m_mask);
    // Above the field, not beside it: the label is a sentence and would widen the form.
    auto *ownDetailsLabel = new QLabel(qtTrId("settings.ownDetails"));
    ownDetailsLabel->setBuddy(m_ownDetails);
    m_form->addRow(ownDetailsLabel);
    m_form->addRow(m_ownDetails);

    connect(m_provider, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            m_settings.setProvider(AIProviderType(m_provider->itemData(index).toInt()));
    });
    connect(m_localFirst, &QCheckBox::clicked, &m_settings, &AISettings::setLocalFirst);
    connect(&m_settings, &AISettings::localFirstChanged, this,
            [this] { m_localFirst->setChecked(m_settings.localFirst()); });
    // Stored once, when the field is left: a keyring that has to ask for its password must not be
    // asked per keystroke. Typing drops a lookup still under way, so it cannot overwrite the field.
    connect(m_key, &QLineEdit::textEdited, this, [this] { ++m_keyGeneration; });
    connect(m_key, &QLineEdit::editingFinished, this, &AISettingsTab::commitKey);
    connect(m_model, &QLineEdit::textEdited, &m_settings, &AISettings::setModel);
    connect(m_endpoint, &QLineEdit::textEdited, &m_settings, &AISettings::setEndpoint);
    connect(&m_settings, &AISettings::providerChanged, this, &AISettingsTab::showProvider);
    connect(m_mask, &QCheckBox::clicked, &m_settings, &AISettings::setMaskPersonalData);
    connect(&m_settings, &AISettings::maskPersonalDataChanged, this,
            [this] { m_mask->setChecked(m_settings.maskPersonalData()); });
    connect(m_ownDetails, &QPlainTextEdit::textChanged, this,
            [this] { m_settings.setOwnDetails(m_ownDetails->toPlainText().split(u'\n')); });
    connect(&m_settings, &AISettings::ownDetailsChanged, this, [this] {
        // A change from elsewhere (REST); the field's own edits already agree and keep the cursor.
        if (AISettings::detailLines(m_ownDetails->toPlainText().split(u'\n')) != m_settings.ownDetails())
            m_ownDetails->setPlainText(m_settings.ownDetails().join(u'\n'));
    });
    connect(&m_settings, &AISettings::modelChanged, this, [this] {
        if (m_model->text() != m_settings.model())
            m_model->setText(m_settings.model());
    });
    connect(&m_settings, &AISettings::endpointChanged, this, [this] {
        if (m_endpoint->text() != m_settings.endpoint())
            m_endpoint->setText(m_settings.endpoint());
        fillKey(); // the key entered for the old address is not shown as this one's
        refreshStatus();
    });
    connect(m_confirmKey, &QPushButton::clicked, this, [this] {
        m_settings.confirmKeyForEndpoint();
        fillKey();
    });
    connect(&m_settings, &AISettings::apiKeyChanged, this, &AISettingsTab::refreshStatus);
    connect(&m_ledger, &UsageLedger::usageChanged, this,
            [this] { m_usage->setText(UsageLedger::describeUsage(m_ledger.usage(m_settings.provider()))); });
    showProvider();
}

void AISettingsTab::showProvider()
{
    const AIProviderType provider = m_settings.provider();
    m_provider->setCurrentIndex(m_provider->findData(int(provider)));
    const ProviderFacts &facts = ProviderCatalogue::facts(provider);
    m_form->setRowVisible(m_key, facts.needsKey);
    // On the device there is no model, no address and nothing sent to mask.
    const bool asks = !facts.runsHere;
    m_form->setRowVisible(m_model, asks);
    m_form->setRowVisible(m_endpoint, asks);
    m_form->setRowVisible(m_usage, asks);
    m_form->setRowVisible(m_localFirst, asks);
    m_form->setRowVisible(m_mask, asks);
    m_model->setText(m_settings.model());
    m_model->setPlaceholderText(AISettings::defaultModel(provider));
    m_endpoint->setText(m_settings.endpoint());
    m_endpoint->setPlaceholderText(AISettings::defaultEndpoint(provider));
    m_key->clear();
    m_notice->hide(); // it spoke of the other provider's key
    m_usage->setText(UsageLedger::describeUsage(m_ledger.usage(provider)));
    fillKey();
    refreshStatus();
}

void AISettingsTab::commitKey()
{
    if (!m_key->isModified())
        return;
    m_key->setModified(false);
    storeKey(m_key->text());
}

void AISettingsTab::hideEvent(QHideEvent *event)
{
    commitKey(); // the window closed with the focus still in the field
    QWidget::hideEvent(event);
}

QCoro::Task<> AISettingsTab::storeKey(QString key)
{
    const quint64 generation = ++m_keyGeneration; // what the user types wins over a lookup still under way
    const QPointer<AISettingsTab> self(this);
    QCoro::Task<SecretPlacement> saving = m_settings.setApiKey(key);
    const SecretPlacement placed = co_await std::move(saving);
    if (self && generation == m_keyGeneration)
        showPlacement(placed);
}

void AISettingsTab::showPlacement(const SecretPlacement &placed)
{
    m_notice->setVisible(placed.place != SecretPlacement::Place::keyring);
    if (placed.place == SecretPlacement::Place::privateFile)
        SettingsForm::showStatus(m_noticeIcon, m_noticeText, u"exclamationmark.triangle.fill", UIColors::orange(),
                                 placed.notice);
    else if (placed.place == SecretPlacement::Place::nowhere)
        SettingsForm::showStatus(m_noticeIcon, m_noticeText, u"exclamationmark.triangle.fill", UIColors::red(),
                                 placed.notice);
}

QCoro::Task<> AISettingsTab::fillKey()
{
    const quint64 generation = ++m_keyGeneration;
    if (!AISettings::needsAPIKey(m_settings.provider()))
        co_return;
    const QPointer<AISettingsTab> self(this);
    QCoro::Task<QString> lookup = m_settings.apiKey();
    const QString key = co_await std::move(lookup);
    if (self && generation == m_keyGeneration)
        m_key->setText(key);
}

QCoro::Task<> AISettingsTab::refreshStatus()
{
    const quint64 generation = ++m_statusGeneration;
    const QPointer<AISettingsTab> self(this);
    QCoro::Task<bool> checking = m_settings.isConfigured();
    const bool configured = co_await std::move(checking);
    if (!self || generation != m_statusGeneration)
        co_return;
    QCoro::Task<bool> otherCheck = m_settings.hasKeyForOtherEndpoint();
    const bool keyForOtherEndpoint = co_await std::move(otherCheck);
    if (!self || generation != m_statusGeneration)
        co_return;
    m_confirmKey->setVisible(keyForOtherEndpoint);
    if (!AISettings::isAvailable(m_settings.provider()))
        SettingsForm::showStatus(m_statusIcon, m_statusText, u"exclamationmark.triangle.fill", UIColors::red(),
                                 qtTrId("settings.unavailable"));
    else if (keyForOtherEndpoint)
        SettingsForm::showStatus(m_statusIcon, m_statusText, u"exclamationmark.triangle.fill", UIColors::orange(),
                                 qtTrId("settings.keyOtherEndpoint").arg(m_settings.keyEndpoint()));
    else if (configured)
        SettingsForm::showStatus(m_statusIcon, m_statusText, u"checkmark.circle.fill", UIColors::green(),
                                 ProviderCatalogue::facts(m_settings.provider()).runsHere
                                     ? qtTrId("settings.localReady")
                                     : qtTrId("settings.configured"));
    else
        SettingsForm::showStatus(m_statusIcon, m_statusText, u"exclamationmark.triangle.fill", UIColors::orange(),
                                 qtTrId("settings.keyMissing"));
}
