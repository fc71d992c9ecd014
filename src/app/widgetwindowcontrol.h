#pragma once

#include "api/windowcontrol.h"

#include <QPointer>
#include <QWidget>

/** The UI endpoints' view of the app's widgets: the main window, or another window by its title. */
class WidgetWindowControl final : public WindowControl
{
public:
    explicit WidgetWindowControl(QWidget *mainWindow);

    [[nodiscard]] std::optional<State> state() const override;
    [[nodiscard]] std::optional<QImage> capture(const std::optional<QString> &title) const override;

private:
    QPointer<QWidget> m_mainWindow;
};
