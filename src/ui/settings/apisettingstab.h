#pragma once

#include <QUrl>
#include <QWidget>

class AppSettings;
class QLabel;

/**
 * The REST API tab: enablement, port and token, who may connect and the Unix socket, the health
 * address and the documentation page.
 */
class APISettingsTab final : public QWidget
{
    Q_OBJECT

public:
    explicit APISettingsTab(AppSettings &settings, QWidget *parent = nullptr);

    [[nodiscard]] QLabel *healthAddress() const { return m_health; }
    [[nodiscard]] QUrl docsUrl() const;

private:
    QString baseAddress() const;

    AppSettings &m_settings;
    QLabel *m_health;
};
