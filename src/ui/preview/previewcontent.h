#pragma once

#include <QDateTime>
#include <QImage>
#include <QSize>
#include <QString>

/** What the preview shows of one file, prepared off the GUI thread. */
struct PreviewContent {
    enum class Kind { image, text, info, missing };

    Kind kind = Kind::info;
    QImage image; ///< first PDF page or the picture, upright
    QString text; ///< start of a text file
    QString name;
    QString typeName;
    QString iconName;
    QString genericIconName;
    qint64 size = 0;
    QDateTime created; ///< invalid when the file system keeps no birth time
    QDateTime modified;

    static constexpr qint64 TextLimitBytes = 64 * 1024;
};

/** Reads and renders `path` for a preview of about `bounds`; reads the disk, so call it on a worker. */
[[nodiscard]] PreviewContent renderPreview(const QString &path, const QSize &bounds);
