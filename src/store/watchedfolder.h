#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

/** A folder whose new files are queued for renaming or opened for review. */
struct WatchedFolder {
    qint64 id = 0; // the store's row identity; 0 until stored
    QString path;
    bool isActive = true;
    bool autoRename = false;
    std::optional<QString> templateName;
    QDateTime addedAt;
    /**
     * Until when Namorix last watched the folder; invalid when it never did. Read from the store
     * and written only by `ObjectStore::markWatched`: saving a folder leaves it as it is.
     */
    QDateTime watchedUntil;
};
