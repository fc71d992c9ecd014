#pragma once

#include <QObject>

/**
 * The application-wide commands ("namorix.openFilePicker", "namorix.revertLastRename"): menus
 * and shortcuts post them, the main window acts on them.
 */
class AppCommands final : public QObject
{
    Q_OBJECT

public:
    static AppCommands &shared();

    void postOpenFilePicker() { Q_EMIT openFilePicker(); }
    void postRevertLastRename() { Q_EMIT revertLastRename(); }

Q_SIGNALS:
    void openFilePicker();
    void revertLastRename();

private:
    AppCommands() = default;
};
