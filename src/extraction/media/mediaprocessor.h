#pragma once

#include "extraction/fileprocessor.h"

/** Duration, tags and track list of audio and video files. */
class MediaProcessor final : public ExtensionProcessor
{
public:
    MediaProcessor();

    [[nodiscard]] ExtractionResult extract(const QString &path) const override;
};
