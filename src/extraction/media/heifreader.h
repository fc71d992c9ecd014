#pragma once

#include <QByteArray>
#include <QSize>

class QImage;

/**
 * HEIF and HEIC pictures (phone photos) through libheif, for which Qt has no image plugin on
 * Linux. Only the primary image of a file is read; `bytes` is the whole file, read in place.
 */
namespace HEIFReader {

/** Whether the file starts like a HEIF container (its "ftyp" box names a HEIF brand). */
[[nodiscard]] bool isHeif(const QByteArray &bytes);

/** The primary image's size as stored; invalid when the file cannot be read. */
[[nodiscard]] QSize storedSize(const QByteArray &bytes);

/**
 * The primary image, decoded with its stored rotation applied and scaled to fit `bound` when it
 * is larger; null when it cannot be decoded or has more than `maxPixels` pixels.
 */
[[nodiscard]] QImage read(const QByteArray &bytes, QSize bound, qint64 maxPixels);

} // namespace HEIFReader
