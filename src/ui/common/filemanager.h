#pragma once

#include <QDBusConnection>
#include <QStringList>

class QObject;

/**
 * Shows files in the desktop's file manager as "Im Ordner anzeigen" does: over the session bus's
 * org.freedesktop.FileManager1, which opens their folders with the files selected; where no
 * file manager answers there, the folders open through QDesktopServices.
 */
namespace FileManager {

/**
 * Shows the files of `paths` that exist, and the folder of each one that is gone; returns the
 * paths of which neither is left. The call is asynchronous: the fallback runs once the bus has
 * answered with an error, unless `context` is gone by then.
 */
QStringList showItems(const QStringList &paths, QObject *context,
                      const QDBusConnection &bus = QDBusConnection::sessionBus());

} // namespace FileManager
