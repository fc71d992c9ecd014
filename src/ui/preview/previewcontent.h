#pragma once

#include "extraction/sandbox/rendering.h"

#include <QDateTime>
#include <QImage>
#include <QSize>
#include <QString>

#include <memory>
#include <optional>

class SourceFile;

/** What the preview shows of one file. */
struct PreviewContent {
    enum class Kind { image, text, info, missing };

    Kind kind = Kind::info;
    QImage image;    ///< first PDF page or the picture, upright, as an extraction helper drew it
    QString text;    ///< start of a text file
    QString failure; ///< why a page or picture could not be drawn (German); shown with the icon
    QString name;
    QString typeName;
    QString iconName;
    QString genericIconName;
    qint64 size = 0;
    QDateTime created; ///< invalid when the file system keeps no birth time
    QDateTime modified;

    static constexpr qint64 TextLimitBytes = 64 * 1024;
};

/**
 * What a preview starts from: the file's name, type, size and dates, the start of a text file,
 * and for a PDF or a picture the open file and what a helper is to draw of it. Nothing is decoded
 * in this process.
 */
struct PreviewSource {
    PreviewContent content;
    std::optional<RenderRequest::Kind> render;
    std::shared_ptr<SourceFile> file; ///< open when `render` is set
};

/** Looks at `path` for a preview; reads the disk, so call it on a worker. */
[[nodiscard]] PreviewSource inspectPreview(const QString &path);

/** `bounds` shrunk, shape kept, to what a helper may draw (RenderRequest::MaxPixels). */
[[nodiscard]] QSize renderBounds(QSize bounds);
