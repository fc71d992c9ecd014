#pragma once

#include "extraction/fileprocessor.h"

/**
 * Camera data, caption, recognised text and scene labels of photos and scans. Never fails: a file that
 * is no readable image gives empty text and no metadata. Only the first image of a file counts.
 */
class ImageProcessor final : public ExtensionProcessor
{
public:
    /** Pictures above this many pixels are not decoded (no text, no labels): a guard against
     *  files that are tiny on disk but expand to gigabytes. Their EXIF data is still read. */
    static constexpr qint64 MaxDecodedPixels = 100'000'000;

    /** A caption longer than this many characters is cut: a few sentences name a picture. */
    static constexpr qsizetype MaxDescription = 300;

    ImageProcessor();

    [[nodiscard]] ExtractionResult extractFrom(const SourceFile &file) const override;
};
