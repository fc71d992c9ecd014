#include "ui/settings/autostartentry.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

AutostartEntry::AutostartEntry()
    : AutostartEntry(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                     QStringLiteral("/autostart"))
{
}

AutostartEntry::AutostartEntry(QString autostartDir)
    : m_dir(std::move(autostartDir))
{
}

QString AutostartEntry::filePath() const
{
    return m_dir + QStringLiteral("/namorix.desktop");
}

bool AutostartEntry::isEnabled() const
{
    return QFile::exists(filePath());
}

std::expected<void, QString> AutostartEntry::setEnabled(bool enabled) const
{
    if (!enabled) {
        QFile file(filePath());
        if (file.exists() && !file.remove())
            return std::unexpected(qtTrId("settings.autostart.notRemoved").arg(filePath()));
        return {};
    }
    // A plain write: a few hundred bytes, no fsync on the GUI thread for them.
    QFile file(filePath());
    const QByteArray entry = contents();
    if (!QDir().mkpath(m_dir) || !file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(entry) != entry.size())
        return std::unexpected(qtTrId("settings.autostart.notWritten").arg(filePath()));
    return {};
}

QByteArray AutostartEntry::contents()
{
    return QByteArrayLiteral("[Desktop Entry]\n"
                             "Type=Application\n"
                             "Name=Namorix\n"
                             "Comment=") +
           qtTrId("settings.autostart.comment").toUtf8() +
           QByteArrayLiteral("\n"
                             "Exec=namorix --hidden\n"
                             "Icon=namorix\n"
                             "Terminal=false\n"
                             "X-GNOME-Autostart-enabled=true\n");
}
