#include "ui/common/filemanager.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFileInfo>
#include <QList>
#include <QUrl>

namespace {

/** An activated file manager needs a moment to start; beyond this the folder opens without it. */
constexpr int AnswerTimeoutMs = 8000;

/** `uris` through FileManager1's `method`, else `folders` opened as local URLs. */
void show(const QDBusConnection &bus, const QString &method, const QStringList &uris, const QStringList &folders,
          QObject *context)
{
    if (uris.isEmpty())
        return;
    const auto openFolders = [folders] {
        for (const QString &folder : folders)
            QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
    };
    if (!bus.isConnected()) {
        openFolders();
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.FileManager1"),
                                                       QStringLiteral("/org/freedesktop/FileManager1"),
                                                       QStringLiteral("org.freedesktop.FileManager1"), method);
    call << uris << QString();
    auto *watcher = new QDBusPendingCallWatcher(QDBusConnection(bus).asyncCall(call, AnswerTimeoutMs), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context, [openFolders](QDBusPendingCallWatcher *w) {
        if (w->isError())
            openFolders();
        w->deleteLater();
    });
}

} // namespace

namespace FileManager {

QStringList showItems(const QStringList &paths, QObject *context, const QDBusConnection &bus)
{
    QStringList items, itemFolders, folders, missing;
    for (const QString &path : paths) {
        const QFileInfo file(path);
        const QString folder = file.absolutePath();
        if (file.exists()) {
            items << QUrl::fromLocalFile(file.absoluteFilePath()).toString();
            if (!itemFolders.contains(folder))
                itemFolders << folder;
        } else if (QFileInfo(folder).isDir()) {
            if (!folders.contains(folder))
                folders << folder;
        } else {
            missing << path;
        }
    }
    show(bus, QStringLiteral("ShowItems"), items, itemFolders, context);
    // A folder shown with a file selected is not opened a second time for a file gone from it.
    folders.removeIf([&itemFolders](const QString &folder) { return itemFolders.contains(folder); });
    QStringList folderUris;
    for (const QString &folder : std::as_const(folders))
        folderUris << QUrl::fromLocalFile(folder).toString();
    show(bus, QStringLiteral("ShowFolders"), folderUris, folders, context);
    return missing;
}

} // namespace FileManager
