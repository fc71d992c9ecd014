#pragma once

#include "ui/settings/autostartentry.h"

#include <QCoroTask>
#include <QWidget>

class AppSettings;
class DefaultsStore;
class KVXClient;
class QCheckBox;
class QLabel;

/**
 * The general tab: the stored flags (each follows a change made elsewhere), the login autostart
 * entry, and the Korvex settings with a status row that asks Korvex each time it is shown (never while "kvx.enabled" is
 * off).
 */
class GeneralSettingsTab final : public QWidget
{
    Q_OBJECT

public:
    struct Services {
        DefaultsStore &defaults;
        AppSettings &appSettings;
        KVXClient &companion;
        AutostartEntry autostart;
    };

    explicit GeneralSettingsTab(Services services, QWidget *parent = nullptr);

    [[nodiscard]] QLabel *companionStatus() const { return m_statusText; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    QWidget *buildFlags();
    QWidget *buildCompanion();
    void setAutostart(bool enabled);
    QCoro::Task<> checkCompanion();

    Services m_services;
    QCheckBox *m_autostart = nullptr;
    QLabel *m_autostartError = nullptr;
    QLabel *m_statusDot = nullptr;
    QLabel *m_statusText = nullptr;
    quint64 m_checkGeneration = 0;
};
