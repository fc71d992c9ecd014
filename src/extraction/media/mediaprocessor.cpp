#include "mediaprocessor.h"

MediaProcessor::MediaProcessor()
    : ExtensionProcessor({QStringLiteral("mp3"), QStringLiteral("m4a"), QStringLiteral("wav"), QStringLiteral("aac"), QStringLiteral("flac"), QStringLiteral("ogg"), QStringLiteral("aiff"), QStringLiteral("mp4"), QStringLiteral("mov"), QStringLiteral("m4v"), QStringLiteral("avi"), QStringLiteral("mkv"), QStringLiteral("wmv"), QStringLiteral("webm")})
{
}

ExtractionResult MediaProcessor::extract(const QString &path) const
{
    // Not yet implemented: the file is described by its attributes only.
    return FileContext::make(path, QString(), MetadataMap());
}
