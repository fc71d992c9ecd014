#include "ui/settings/apisettingstab.h"

#include "common/peeraccount.h"
#include "settings/appsettings.h"
#include "ui/common/icons.h"
#include "ui/settings/integerfield.h"
#include "ui/settings/settingsform.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

APISettingsTab::APISettingsTab(AppSettings &settings, QWidget *parent)
    : QWidget(parent)
    , m_settings(settings)
    , m_health(SettingsForm::caption({}, SettingsForm::Tone::secondary))
{
    auto *group = new QGroupBox;
    auto *form = new QFormLayout(group);
    auto *column = new QVBoxLayout(this);
    column->addWidget(group);
    column->addStretch(1);

    QCheckBox *enabled = SettingsForm::toggle(qtTrId("settings.apiEnabled"), settings.apiEnabled());
    connect(enabled, &QCheckBox::toggled, &settings, &AppSettings::setApiEnabled);
    form->addRow(enabled);

    auto *port = new IntegerField;
    port->setAccessibleName(qtTrId("settings.apiPort"));
    port->setValue(settings.apiPort());
    connect(port, &IntegerField::valueEdited, &settings, &AppSettings::setApiPort);
    form->addRow(qtTrId("settings.port"), port);

    QLineEdit *token = SettingsForm::textField(qtTrId("settings.token"), settings.apiToken());
    connect(token, &QLineEdit::textEdited, &settings, &AppSettings::setApiToken);
    form->addRow(qtTrId("settings.token"), token);

    // Who may connect: the kernel names each caller's account; where it cannot, the token decides.
    QLabel *access = SettingsForm::caption(PeerAccount::tcpLookupAvailable() ? qtTrId("settings.apiAccessChecked")
                                                                             : qtTrId("settings.apiAccessToken"),
                                           SettingsForm::Tone::secondary);
    access->setWordWrap(true);
    access->setAccessibleName(qtTrId("settings.apiAccess"));
    access->setAccessibleDescription(access->text());
    form->addRow(qtTrId("settings.apiAccess"), access);
    QLabel *socket = SettingsForm::caption(AppSettings::apiSocketPath(), SettingsForm::Tone::secondary);
    socket->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    socket->setAccessibleName(qtTrId("settings.apiSocket"));
    socket->setAccessibleDescription(socket->text());
    form->addRow(qtTrId("settings.apiSocket"), socket);

    m_health->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_health->setAccessibleName(qtTrId("settings.healthAddress"));
    form->addRow(m_health);

    auto *docs = new QPushButton(Icons::symbol(u"doc.text.magnifyingglass"), QStringLiteral("API-Dokumentation"));
    docs->setAccessibleName(docs->text());
    connect(docs, &QPushButton::clicked, this, [this] { QDesktopServices::openUrl(docsUrl()); });
    form->addRow(docs);

    const auto showPort = [this, port] {
        port->setValue(m_settings.apiPort());
        m_health->setText(baseAddress() + QStringLiteral("/v1/health"));
        m_health->setAccessibleDescription(m_health->text());
    };
    connect(&settings, &AppSettings::apiPortChanged, this, showPort);
    connect(&settings, &AppSettings::apiEnabledChanged, enabled,
            [enabled, &settings] { enabled->setChecked(settings.apiEnabled()); });
    showPort();
}

QString APISettingsTab::baseAddress() const
{
    return QStringLiteral("http://127.0.0.1:") + QString::number(m_settings.apiPort());
}

QUrl APISettingsTab::docsUrl() const
{
    return QUrl(baseAddress() + QStringLiteral("/v1/docs"));
}
