#pragma once

#include <QString>

#include <expected>

/**
 * The login autostart entry: `<config>/autostart/namorix.desktop` starting Namorix hidden in the
 * tray. The file itself is the setting, so a desktop's own autostart manager and this switch
 * always agree.
 */
class AutostartEntry final
{
public:
    /** Over `$XDG_CONFIG_HOME/autostart`. */
    AutostartEntry();
    explicit AutostartEntry(QString autostartDir);

    [[nodiscard]] QString filePath() const;
    [[nodiscard]] bool isEnabled() const;
    /** Writes or removes the entry; a German reason when that fails. */
    [[nodiscard]] std::expected<void, QString> setEnabled(bool enabled) const;

    /** The entry's text: a desktop file whose command is "namorix --hidden". */
    [[nodiscard]] static QByteArray contents();

private:
    QString m_dir;
};
