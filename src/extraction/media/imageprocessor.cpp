#include "imageprocessor.h"

ImageProcessor::ImageProcessor()
    : ExtensionProcessor({QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("png"), QStringLiteral("heic"), QStringLiteral("heif"), QStringLiteral("tiff"), QStringLiteral("tif"), QStringLiteral("bmp"), QStringLiteral("gif"), QStringLiteral("webp")})
{
}

ExtractionResult ImageProcessor::extract(const QString &path) const
{
    // Not yet implemented: the file is described by its attributes only.
    return FileContext::make(path, QString(), MetadataMap());
}
