#pragma once

#include "extraction/fileprocessor.h"

/** Camera data, recognised text and scene labels of photos and scans. */
class ImageProcessor final : public ExtensionProcessor
{
public:
    ImageProcessor();

    [[nodiscard]] ExtractionResult extract(const QString &path) const override;
};
