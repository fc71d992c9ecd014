#pragma once

#include "extraction/fileprocessor.h"

/** RTF files and RTFD bundles (their TXT.rtf) as plain text. */
class RichTextProcessor final : public ExtensionProcessor
{
public:
    RichTextProcessor();

    [[nodiscard]] ExtractionResult extract(const QString &path) const override;
};
