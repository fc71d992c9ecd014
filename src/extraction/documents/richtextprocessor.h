#pragma once

#include "extraction/fileprocessor.h"

/** RTF files and RTFD bundles (their TXT.rtf, see ContentExtraction::contentPath) as plain text. */
class RichTextProcessor final : public ExtensionProcessor
{
public:
    RichTextProcessor();

    [[nodiscard]] ExtractionResult extractFrom(const SourceFile &file) const override;
};
