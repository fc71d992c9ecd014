#include "ui/settings/generalsettingstab.h"

#include "companion/kvxclient.h"
#include "settings/appsettings.h"
#include "settings/generalflags.h"
#include "ui/common/palette.h"
#include "ui/settings/integerfield.h"
#include "ui/settings/settingsform.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>

using SettingsForm::Tone;

GeneralSettingsTab::GeneralSettingsTab(Services services, QWidget *parent)
    : QWidget(parent)
    , m_services(std::move(services))
{
    auto *column = new QVBoxLayout(this);
    column->addWidget(buildFlags());
    column->addWidget(buildCompanion());
    column->addStretch(1);
}

QWidget *GeneralSettingsTab::buildFlags()
{
    auto *group = new QGroupBox;
    auto *rows = new QVBoxLayout(group);
    const std::pair<BoolFlag, const char *> flags[] = {
        {GeneralFlags::autoRename, "settings.autoRename"},
        {GeneralFlags::autoRenameVerifiedOnly, "settings.autoRenameVerifiedOnly"},
        {GeneralFlags::showMenuBar, "settings.showMenuBar"},
        {GeneralFlags::preserveTimestamps, "settings.preserveTimestamps"}};
    for (const auto &[flag, key] : flags) {
        QCheckBox *box = SettingsForm::toggle(qtTrId(key), flag.read(m_services.defaults));
        connect(box, &QCheckBox::toggled, this, [this, flag](bool on) { flag.write(m_services.defaults, on); });
        // A change through the REST API shows here at once.
        connect(&FlagChanges::shared(), &FlagChanges::written, box,
                [this, box, flag](const DefaultsStore *store, const QString &changed, bool on) {
                    if (store != &m_services.defaults || changed != flag.keyString())
                        return;
                    const QSignalBlocker quiet(box);
                    box->setChecked(on);
                });
        rows->addWidget(box);
    }
    m_autostart = SettingsForm::toggle(qtTrId("settings.launchAtLogin"), m_services.autostart.isEnabled());
    connect(m_autostart, &QCheckBox::toggled, this, &GeneralSettingsTab::setAutostart);
    rows->addWidget(m_autostart);
    m_autostartError = SettingsForm::caption({}, Tone::secondary);
    m_autostartError->setStyleSheet(QStringLiteral("color:%1;").arg(UIColors::orange().name()));
    m_autostartError->hide();
    rows->addWidget(m_autostartError);
    return group;
}

QWidget *GeneralSettingsTab::buildCompanion()
{
    AppSettings &settings = m_services.appSettings;
    auto *group = new QGroupBox(qtTrId("settings.kvx"));
    auto *form = new QFormLayout(group);

    QCheckBox *enabled = SettingsForm::toggle(qtTrId("settings.kvxEnabled"), settings.kvxEnabled());
    connect(enabled, &QCheckBox::toggled, &settings, &AppSettings::setKvxEnabled);
    connect(&settings, &AppSettings::kvxEnabledChanged, enabled,
            [enabled, &settings] { enabled->setChecked(settings.kvxEnabled()); });
    form->addRow(enabled);

    auto *port = new IntegerField;
    port->setAccessibleName(qtTrId("settings.kvxPort"));
    port->setValue(settings.kvxPort());
    connect(port, &IntegerField::valueEdited, &settings, &AppSettings::setKvxPort);
    connect(&settings, &AppSettings::kvxPortChanged, port, [port, &settings] { port->setValue(settings.kvxPort()); });
    form->addRow(qtTrId("settings.port"), port);

    QLineEdit *token = SettingsForm::textField(qtTrId("settings.kvxToken"), settings.kvxToken());
    connect(token, &QLineEdit::textEdited, &settings, &AppSettings::setKvxToken);
    form->addRow(qtTrId("settings.kvxToken"), token);

    auto *status = new QWidget;
    auto *statusRow = new QHBoxLayout(status);
    statusRow->setContentsMargins(0, 0, 0, 0);
    m_statusDot = new QLabel;
    m_statusDot->setFixedSize(8, 8);
    m_statusText = SettingsForm::caption({}, Tone::secondary);
    statusRow->addWidget(m_statusDot);
    statusRow->addWidget(m_statusText, 1);
    form->addRow(status);
    form->addRow(SettingsForm::caption(qtTrId("settings.kvxHint"), Tone::tertiary));
    return group;
}

void GeneralSettingsTab::setAutostart(bool enabled)
{
    const auto written = m_services.autostart.setEnabled(enabled);
    m_autostartError->setVisible(!written);
    if (written)
        return;
    m_autostartError->setText(written.error());
    const QSignalBlocker quiet(m_autostart);
    m_autostart->setChecked(m_services.autostart.isEnabled());
}

void GeneralSettingsTab::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    checkCompanion();
}

QCoro::Task<> GeneralSettingsTab::checkCompanion()
{
    const quint64 generation = ++m_checkGeneration;
    m_statusDot->hide();
    m_statusText->setText(qtTrId("settings.kvxChecking"));
    bool available = false;
    if (m_services.appSettings.kvxEnabled()) {
        const QPointer<GeneralSettingsTab> self(this);
        QCoro::Task<bool> asking = m_services.companion.isAvailable();
        available = co_await std::move(asking);
        if (!self || generation != m_checkGeneration)
            co_return; // a newer check (the tab was shown again) answers instead
    }
    const QColor color = available ? UIColors::green() : UIColors::grey();
    m_statusDot->setStyleSheet(QStringLiteral("background:%1;border-radius:4px;").arg(color.name()));
    m_statusDot->show();
    m_statusText->setText(qtTrId(available ? "settings.kvxConnected" : "settings.kvxUnavailable"));
    m_statusText->setAccessibleName(m_statusText->text());
}
