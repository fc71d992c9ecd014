#pragma once

#include "extraction/fileprocessor.h"

/**
 * Duration, tags and track list of audio and video files, as metadata and as a short text.
 * A file that FFmpeg cannot read as audio or video fails with a German message. Only local
 * files are read, with a fixed set of demuxers, so a crafted file cannot reach the network or
 * pull in other files.
 */
class MediaProcessor final : public ExtensionProcessor
{
public:
    MediaProcessor();

    [[nodiscard]] ExtractionResult extractFrom(const SourceFile &file) const override;
};
